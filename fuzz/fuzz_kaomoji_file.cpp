// The kaomoji file loader on any file: every one of the first 3400 lines lands in its cell,
// whole, and rendering the table gives each of those lines back.
#include "../tests/common/text_lines.h"
#include "fuzz_support.h"
#include "platform/cp932.h"
#include "storage/kaomoji_table.h"
#include "storage/text_codec.h"

#include <cstdint>

namespace file = storage::kaomoji_file;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto path = fuzz::scratch() / "顔文字.ini";
    fuzz::writeFile(path, bytes);

    storage::KaomojiTable table;
    FUZZ_CHECK(file::load(table, path));

    const std::vector<std::string> lines = text_lines::split(bytes);
    std::string expected;
    for (int n = 0; n < file::kLineCount; ++n) {
        std::string line;
        if (std::size_t(n) < lines.size())
            line = lines[std::size_t(n)];
        const QString& cell = table.at(n / 340, n % 340 / 20, n % 20);
        FUZZ_CHECK(cell == storage::fromCp932(line));
        expected += platform::cp932::encode(platform::cp932::decode(line)) + "\r\n";
    }
    // Rows and slots outside the file's layout stay empty.
    for (int page = 0; page < storage::KaomojiTable::kPages; ++page)
        for (int row = 0; row < storage::KaomojiTable::kRows; ++row)
            for (int slot = 0; slot < storage::KaomojiTable::kSlots; ++slot)
                if (row >= 17 || slot >= 20)
                    FUZZ_CHECK(table.at(page, row, slot).isEmpty());
    FUZZ_CHECK(file::render(table) == expected);
    return 0;
}
