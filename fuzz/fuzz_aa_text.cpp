// The ASCII-art text reader (start-up and a file dropped on the editor) on any file: the text
// is the file's lines joined by CR LF, each decoded as it stands, and nothing else.
#include "../tests/common/text_lines.h"
#include "asciiart/aa_store.h"
#include "fuzz_support.h"
#include "platform/cp932.h"
#include "storage/text_codec.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto path = fuzz::scratch() / "AAText_1_00.txt";
    fuzz::writeFile(path, bytes);

    const asciiart::TextRead read = asciiart::readTextFile(path);
    FUZZ_CHECK(read.ok());
    const QString& text = read.text;

    std::string joined;
    const std::vector<std::string> lines = text_lines::split(bytes);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            joined += "\r\n";
        joined += platform::cp932::encode(platform::cp932::decode(lines[i]));
    }
    FUZZ_CHECK(storage::toCp932(text) == joined);
    // Saving the text writes it with a final CR LF; reading that back gives the same text.
    const auto saved = fuzz::scratch() / "AAText_1_01.txt";
    fuzz::writeFile(saved, storage::toCp932(text + QStringLiteral("\r\n")));
    FUZZ_CHECK(asciiart::readTextFile(saved).text == text);
    return 0;
}
