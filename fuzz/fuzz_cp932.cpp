// The cp932 codec on any bytes: decoding never fails, and encoding what was decoded gives the
// bytes back, except that a character with two codes may come back in another of its codes;
// reading those bytes again always gives the same text.
#include "fuzz_support.h"
#include "platform/cp932.h"

#include <cstdint>
#include <string>

using namespace platform;

namespace {

void checkRoundTrip(std::string_view bytes) {
    const std::u16string text = cp932::decode(bytes);
    FUZZ_CHECK(text.size() <= bytes.size());
    const std::string again = cp932::encode(text);
    FUZZ_CHECK(again.size() == bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (again[i] == bytes[i])
            continue;
        // Only a whole double-byte character may differ, and only for another code of the same
        // character (its canonical one, or one that keeps a stray byte before it stray).
        FUZZ_CHECK(i + 1 < bytes.size());
        const std::string_view was = bytes.substr(i, 2);
        const std::string_view now = std::string_view(again).substr(i, 2);
        const std::u16string unit = cp932::decode(was);
        FUZZ_CHECK(unit.size() == 1);
        FUZZ_CHECK(cp932::decode(now) == unit);
        ++i;
    }
    FUZZ_CHECK(cp932::decode(again) == text);

    // A prefix never ends inside a double-byte character and is as long as the bound allows.
    for (std::size_t max :
         {std::size_t(0), std::size_t(1), bytes.size() / 2, bytes.size() - 1, bytes.size()}) {
        if (max > bytes.size())
            continue;
        const std::size_t p = cp932::prefixLength(bytes, max);
        FUZZ_CHECK(p <= max);
        FUZZ_CHECK(p + 1 >= max);
        if (p < max)
            FUZZ_CHECK(p < bytes.size() && cp932::isLeadByte(static_cast<unsigned char>(bytes[p])));
    }
}

// Any UTF-16 text (lone surrogates and characters outside the code page included): encoding
// never fails, and what it writes reads back under the same rules as a file's bytes.
void checkEncode(std::string_view bytes) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(
            char16_t(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8));
    const std::string encoded = cp932::encode(text);
    FUZZ_CHECK(encoded.size() <= text.size() * 2);
    checkRoundTrip(encoded);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    checkRoundTrip(bytes);
    checkEncode(bytes);
    return 0;
}
