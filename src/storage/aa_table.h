#pragma once
// ASCII-art texts or names by page 1..9 and entry 0..19.
#include "storage/unread_file.h"
#include <QHash>
#include <QString>
#include <array>
#include <cassert>
#include <vector>

namespace storage {

class AATable {
public:
    static constexpr int kFirstPage = 1;
    static constexpr int kLastPage = 9;
    static constexpr int kEntries = 20;

    static constexpr bool inRange(int page, int entry) {
        return page >= kFirstPage && page <= kLastPage && entry >= 0 && entry < kEntries;
    }
    QString& at(int page, int entry) {
        assert(inRange(page, entry));
        return cells_[std::size_t((page - kFirstPage) * kEntries + entry)];
    }
    const QString& at(int page, int entry) const {
        assert(inRange(page, entry));
        return cells_[std::size_t((page - kFirstPage) * kEntries + entry)];
    }

    // The text, or "" for a page or entry outside the table.
    const QString& get(int page, int entry) const {
        static const QString empty;
        return inRange(page, entry) ? at(page, entry) : empty;
    }

private:
    std::array<QString, (kLastPage - kFirstPage + 1) * kEntries> cells_;
};

// The ASCII-art texts as start-up reads them: the text of every entry that has a file (the
// others empty), and the entries whose files could not be read whole, by page * 100 + entry.
struct AATextsRead {
    AATable texts;
    QHash<int, QString> readInPart;
    // The same entries' files, with why each was not read, for the user.
    std::vector<UnreadFile> unread;
};

} // namespace storage
