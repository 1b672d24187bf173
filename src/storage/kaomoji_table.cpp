#include "storage/kaomoji_table.h"
#include "platform/textfile.h"
#include "storage/text_codec.h"
#include <cassert>

namespace storage {

namespace {
constexpr int kFileRows = 17;
constexpr int kFileSlots = 20;

std::size_t indexOf(int page, int row, int slot) {
    assert(KaomojiTable::inRange(page, row, slot));
    return std::size_t((page * KaomojiTable::kRows + row) * KaomojiTable::kSlots + slot);
}
} // namespace

QString& KaomojiTable::at(int page, int row, int slot) {
    return cells_[indexOf(page, row, slot)];
}
const QString& KaomojiTable::at(int page, int row, int slot) const {
    return cells_[indexOf(page, row, slot)];
}
const QString& KaomojiTable::get(int page, int row, int slot) const {
    static const QString empty;
    return inRange(page, row, slot) ? at(page, row, slot) : empty;
}

namespace kaomoji_file {

namespace {
platform::textfile::ReadResult loadInto(KaomojiTable& table, const std::filesystem::path& file) {
    std::string bytes;
    const platform::textfile::ReadResult result = platform::textfile::readWhole(file, kMaxFileBytes, bytes);
    if (result != platform::textfile::ReadResult::Ok)
        return result;
    const std::vector<std::string_view> lines = platform::textfile::splitLines(bytes);
    std::size_t next = 0;
    for (int page = 0; page < KaomojiTable::kPages; ++page)
        for (int row = 0; row < kFileRows; ++row)
            for (int slot = 0; slot < kFileSlots; ++slot) {
                if (next == lines.size())
                    return result; // a short file: the other cells keep their text
                table.at(page, row, slot) = fromCp932(lines[next++]);
            }
    return result;
}

bool readWhole(platform::textfile::ReadResult result) {
    return result == platform::textfile::ReadResult::Ok || result == platform::textfile::ReadResult::Missing;
}
} // namespace

bool load(KaomojiTable& table, const std::filesystem::path& file) {
    return readWhole(loadInto(table, file));
}

Read read(const std::filesystem::path& file) {
    Read read;
    read.result = loadInto(read.table, file);
    read.whole = readWhole(read.result);
    return read;
}

std::string render(const KaomojiTable& table) {
    std::string bytes;
    bytes.reserve(kLineCount * 8);
    for (int page = 0; page < KaomojiTable::kPages; ++page)
        for (int row = 0; row < kFileRows; ++row)
            for (int slot = 0; slot < kFileSlots; ++slot) {
                bytes += toCp932(table.at(page, row, slot));
                bytes += "\r\n";
            }
    return bytes;
}

bool save(const KaomojiTable& table, const std::filesystem::path& file, std::string* error) {
    const std::string bytes = render(table);
    if (bytes.size() > kMaxFileBytes) {
        if (error)
            *error = "larger than the program reads back";
        return false;
    }
    return platform::textfile::writeIfChanged(file, bytes, error);
}

} // namespace kaomoji_file
} // namespace storage
