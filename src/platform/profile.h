#pragma once
// The Windows private-profile functions (GetPrivateProfileStringA, GetPrivateProfileIntA,
// WritePrivateProfileStringA) with Windows' own rules, on cp932 byte strings. Users bring their
// profile files over from Windows, so the answers and the bytes left behind must be the same.
//
// Reading: a line ends at any run of CR and LF; lines are trimmed of 0x09-0x0D, 0x1A, 0x20;
// "[name]" headers (name to the last ']' on the line, trimmed); other lines split at the first
// '='; ';' and '#' are not special; names match case-insensitively (ASCII); only the first
// section of a name is searched and its first matching key wins.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::profile {

// GetPrivateProfileStringA. Returns at most size - 1 bytes, never half a double-byte character.
// A found key gives its value ("k=" gives ""), with one pair of matching enclosing quotes
// removed; a missing file, section or key gives the default (trailing 0x20 removed, an all-space
// default becomes " ", then one pair of enclosing quotes removed). No default means "".
std::string getString(std::string_view section, std::string_view key,
                      std::optional<std::string_view> defaultValue, std::size_t size,
                      const std::filesystem::path& file);

// GetPrivateProfileStringA without a key: the names of the keys of the first section of that
// name, in the file's order (a line without '=' names one too). A missing file or section
// gives none.
std::vector<std::string> keyNames(std::string_view section, const std::filesystem::path& file);

// GetPrivateProfileIntA. Empty result (missing, "k=", k="", no '=') gives the default; else
// leading white space, one sign, 0x / 0o / 0b prefixes (lower case), digits up to the first
// non-digit, wrapping modulo 2^32, read as a signed 32-bit value.
std::int32_t getInt(std::string_view section, std::string_view key, std::int32_t defaultValue,
                    const std::filesystem::path& file);

// WritePrivateProfileStringA. No key deletes the first section of that name; no value deletes
// the first matching key. Every line the write does not touch keeps its bytes; the file is
// replaced atomically. Returns false when the file could not be written, or when the value
// holds CR or LF (it would create new lines, even a new section, so it is refused).
bool writeString(std::string_view section, std::optional<std::string_view> key,
                 std::optional<std::string_view> value, const std::filesystem::path& file);

// Groups the writes of a save so that each file is replaced once, not once per key (a replace
// costs a flush to disk; a save of 200 keys would take most of a second on a slow disk).
// While a Batch lives, writeString and the reads of this thread work on an in-memory copy of
// each file, read from disk and parsed once (a window reading its settings asks for hundreds
// of keys; a change another program makes meanwhile is not seen until the batch ends); commit() (or the
// destructor) writes every changed file atomically. Inside a batch, writeString returns false only for a
// value it refuses or a file it cannot read; whether the files could be written is commit()'s result. A Batch
// made while another is alive on the same thread joins that one and writes nothing itself.
class Batch {
public:
    Batch();
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    // Writes the changed files and ends the batch; true when every one was written.
    bool commit();

private:
    bool outermost_;
};

} // namespace platform::profile
