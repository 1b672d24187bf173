#pragma once
// The user's whole kaomoji collection in memory: texts by page 0..9, row 0..21, slot 0..21.
// Row 0 of a page holds the sixteen group captions (slots 16..19 are kept but never shown),
// row g + 1 the twenty kaomoji of group g; page 9, row 1 is the history of pasted kaomoji.
#include "platform/textfile.h"
#include <QString>
#include <array>
#include <filesystem>
#include <string>

namespace storage {

class KaomojiTable {
public:
    static constexpr int kPages = 10;
    static constexpr int kRows = 22;
    static constexpr int kSlots = 22;
    static constexpr int kHistoryPage = 9;

    // Out-of-range indices are a programming error; at() checks them in debug builds and
    // inRange() lets callers test first.
    static constexpr bool inRange(int page, int row, int slot) {
        return page >= 0 && page < kPages && row >= 0 && row < kRows && slot >= 0 && slot < kSlots;
    }
    QString& at(int page, int row, int slot);
    const QString& at(int page, int row, int slot) const;
    // The cell's text, or "" for indices outside the table (no page chosen, ASCII-art mode).
    const QString& get(int page, int row, int slot) const;

private:
    std::array<QString, kPages * kRows * kSlots> cells_;
};

// The kaomoji file: 3400 lines of cp932 text, CR LF after each, one cell a line in the order
// page 0..9, row 0..16, slot 0..19. It is not a profile file despite its ".ini" name.
namespace kaomoji_file {

constexpr int kLineCount = 3400;
// The largest file loaded. Lines are never cut (what the program writes it reads back whole);
// a larger file is not read at all, so a huge or binary file cannot exhaust memory, and the
// program never saves over it. Far beyond any real collection: 3400 lines of 16 KiB each.
constexpr std::size_t kMaxFileBytes = 64u << 20;

// Fills the table from the file in line order (lines as platform::textfile::splitLines breaks
// them). A missing file leaves the table as it is; a short file fills only the cells it has;
// lines after line 3400 are never read. Returns false when the file exists but could not be
// read whole (no permission, a failing disk, larger than kMaxFileBytes): then the table holds
// nothing of it, and saving must not replace it.
bool load(KaomojiTable& table, const std::filesystem::path& file);
// The file as start-up reads it: loaded into an empty table. Needs no window, so start-up can
// have it read on another thread.
struct Read {
    KaomojiTable table;
    bool whole = true; // what load() returned
    // Why it was not read whole (Ok, or Missing for no file, when it was).
    platform::textfile::ReadResult result = platform::textfile::ReadResult::Ok;
};
Read read(const std::filesystem::path& file);
// The file's bytes for the table: all 3400 lines, each followed by CR LF.
std::string render(const KaomojiTable& table);
// Writes the whole file atomically; false (with a reason) when it could not be written, or when
// it would be larger than load() takes.
bool save(const KaomojiTable& table, const std::filesystem::path& file, std::string* error = nullptr);

} // namespace kaomoji_file
} // namespace storage
