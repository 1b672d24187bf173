// GetPrivateProfileString and GetPrivateProfileInt on any file, for any section, key, default
// and buffer size taken from the input: no crash, no hang, and answers within their rules.
#include "fuzz_support.h"
#include "platform/cp932.h"
#include "platform/profile.h"

#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>

using namespace platform;

namespace {

// GetPrivateProfileInt's reading of a value, as Windows documents and does it: blanks, one sign,
// a lower-case 0x / 0o / 0b prefix, digits up to the first that is none, modulo 2^32.
std::int32_t windowsNumber(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && static_cast<unsigned char>(s[i]) <= ' ')
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    std::uint32_t base = 10;
    if (s.substr(i, 2) == "0x")
        base = 16;
    else if (s.substr(i, 2) == "0o")
        base = 8;
    else if (s.substr(i, 2) == "0b")
        base = 2;
    if (base != 10)
        i += 2;
    std::uint32_t total = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        std::uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = std::uint32_t(c - '0');
        else if (c >= 'a' && c <= 'z')
            digit = std::uint32_t(c - 'a' + 10);
        else if (c >= 'A' && c <= 'Z')
            digit = std::uint32_t(c - 'A' + 10);
        else
            break;
        if (digit >= base)
            break;
        total = total * base + digit;
    }
    return static_cast<std::int32_t>(negative ? 0u - total : total);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(64);
    const std::string key = input.ConsumeRandomLengthString(64);
    const bool hasDefault = input.ConsumeBool();
    const std::string defaultValue = input.ConsumeRandomLengthString(64);
    const std::size_t bufferSize = input.ConsumeIntegralInRange<std::size_t>(0, 300);
    const std::int32_t defaultInt = input.ConsumeIntegral<std::int32_t>();
    const std::string content = input.ConsumeRemainingBytesAsString();

    const auto path = fuzz::scratch() / "設定.ini";
    fuzz::writeFile(path, content);
    const std::optional<std::string_view> def =
        hasDefault ? std::optional<std::string_view>(defaultValue) : std::nullopt;

    const std::string value = profile::getString(section, key, def, bufferSize, path);
    // The buffer bound holds, and a cut never splits a double-byte character.
    FUZZ_CHECK(bufferSize == 0 ? value.empty() : value.size() < bufferSize);
    FUZZ_CHECK(cp932::prefixLength(value, value.size()) == value.size());
    // A value comes from the file or from the default; it never holds a line end of the file.
    FUZZ_CHECK(content.find(value) != std::string::npos || defaultValue.find(value) != std::string::npos ||
               value == " ");

    // The integer is read from the same text as a 30-byte string read would give.
    const std::int32_t number = profile::getInt(section, key, defaultInt, path);
    const std::string asText = profile::getString(section, key, std::nullopt, 30, path);
    FUZZ_CHECK(number == (asText.empty() ? defaultInt : windowsNumber(asText)));

    // Reading the file from a missing path gives the default, whatever the name.
    const std::string missing =
        profile::getString(section, key, def, bufferSize, fuzz::scratch() / "none.ini");
    const std::string fromDefault = profile::getString("", "", def, bufferSize, fuzz::scratch() / "none.ini");
    FUZZ_CHECK(missing == fromDefault);

    // A batch's in-memory copy answers exactly as the file does.
    {
        profile::Batch batch;
        // Loads the file into the batch and changes nothing: no section header of a file can
        // hold a line end, so there is no such key to delete.
        FUZZ_CHECK(profile::writeString("x\ny", std::string_view("k"), std::nullopt, path));
        FUZZ_CHECK(profile::getString(section, key, def, bufferSize, path) == value);
        FUZZ_CHECK(profile::getInt(section, key, defaultInt, path) == number);
    }
    FUZZ_CHECK(fuzz::readFile(path) == content);
    return 0;
}
