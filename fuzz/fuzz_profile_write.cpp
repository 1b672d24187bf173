// WritePrivateProfileString into any existing file: every byte the write does not own stays,
// the key then reads back as written, and a batch writes exactly what single writes do.
#include "fuzz_support.h"
#include "platform/cp932.h"
#include "platform/profile.h"

#include <algorithm>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>

using namespace platform;

namespace {

constexpr bool isBlank(unsigned char b) {
    return (b >= 0x09 && b <= 0x0D) || b == 0x1A || b == 0x20;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

// Names a file line can hold as a section or key of its own: not empty, no line end, no
// brackets or '=' that would make the line read as something else, and no lead byte at the end
// that would take the ']' or '=' after it as the second byte of a character.
bool plainName(std::string_view name) {
    const std::string_view t = trim(name);
    return !t.empty() && t.find_first_of("\r\n[]=") == std::string_view::npos &&
           !cp932::isLeadByte(static_cast<unsigned char>(t.back()));
}

std::size_t countLineEnds(std::string_view s) {
    return std::size_t(std::count(s.begin(), s.end(), '\r') + std::count(s.begin(), s.end(), '\n'));
}

// The bytes the write replaced and the bytes it put there, found as what lies between the
// longest common start and the longest common end of the two files.
struct Change {
    std::string_view removed;
    std::string_view added;
};
Change difference(std::string_view before, std::string_view after) {
    std::size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    return {before.substr(prefix, before.size() - prefix - suffix),
            after.substr(prefix, after.size() - prefix - suffix)};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    // 0: set a value, 1: delete a key, 2: delete a section.
    const int kind = input.ConsumeIntegralInRange(0, 2);
    const std::string section = input.ConsumeRandomLengthString(32);
    const std::string key = input.ConsumeRandomLengthString(32);
    const std::string value = input.ConsumeRandomLengthString(64);
    const std::string content = input.ConsumeRemainingBytesAsString();

    const auto path = fuzz::scratch() / "設定.ini";
    fuzz::writeFile(path, content);
    const std::optional<std::string_view> k = kind == 2 ? std::nullopt : std::optional<std::string_view>(key);
    const std::optional<std::string_view> v =
        kind == 0 ? std::optional<std::string_view>(value) : std::nullopt;

    const bool ok = profile::writeString(section, k, v, path);
    const std::string after = fuzz::readFile(path);

    // The arguments are C strings: a NUL ends each. A value with a line end before it is
    // refused and the file stays as it was.
    auto beforeNul = [](std::string_view text) { return text.substr(0, text.find('\0')); };
    if (v && beforeNul(*v).find_first_of("\r\n") != std::string_view::npos) {
        FUZZ_CHECK(!ok);
        FUZZ_CHECK(after == content);
        return 0;
    }
    FUZZ_CHECK(ok);

    const Change change = difference(content, after);
    switch (kind) {
    case 0:
        // One line's content changes (the key's value), or new lines come in; no other byte of
        // the file goes.
        FUZZ_CHECK(countLineEnds(change.removed) == 0);
        if (plainName(beforeNul(section)) && plainName(beforeNul(key))) {
            std::string_view expected = trim(beforeNul(value));
            if (expected.size() >= 2 && (expected.front() == '"' || expected.front() == '\'') &&
                expected.back() == expected.front())
                expected = expected.substr(1, expected.size() - 2);
            const std::string back = profile::getString(section, key, "\x01 absent \x01", 4096, path);
            FUZZ_CHECK(back == expected);
        }
        break;
    case 1:
        // At most one line (its content and its line end) goes; nothing comes in.
        FUZZ_CHECK(change.added.empty());
        FUZZ_CHECK(countLineEnds(change.removed) <= 2);
        break;
    case 2:
        // A stretch of whole lines goes (the section); nothing comes in.
        FUZZ_CHECK(change.added.empty());
        break;
    }

    // The same write inside a batch gives the same bytes.
    fuzz::writeFile(path, content);
    {
        profile::Batch batch;
        FUZZ_CHECK(profile::writeString(section, k, v, path));
        FUZZ_CHECK(batch.commit());
    }
    FUZZ_CHECK(fuzz::readFile(path) == after);
    return 0;
}
