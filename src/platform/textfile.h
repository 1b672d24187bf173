#pragma once
// Text files as the program reads and writes them: sequential lines, whole-file atomic writes.
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::textfile {

// Reads lines one by one. A line ends at CR or at a CR LF pair; the line end is not part of
// the line; a lone LF is ordinary text. A last line without a line end still counts; a file
// that ends with a line end has no empty line after it.
// Memory stays bounded whatever the file holds: a line longer than maxLineBytes keeps its
// first maxLineBytes bytes (never half a double-byte character) and the rest is skipped.
class LineReader {
public:
    static constexpr std::size_t kDefaultMaxLineBytes = 1 << 20;

    explicit LineReader(const std::filesystem::path& file, std::size_t maxLineBytes = kDefaultMaxLineBytes);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    bool isOpen() const { return file_ != nullptr; }
    // True when the file could not be opened or a read failed: what came back is not all of it.
    bool failed() const;
    // Returns false at the end of the file (or when the file could not be opened / read).
    bool next(std::string& line);

private:
    bool fill();
    std::FILE* file_ = nullptr;
    std::size_t maxLineBytes_;
    bool pendingCr_ = false;
    // Bytes read ahead, scanned for line ends a block at a time rather than byte by byte.
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
};

// True for an existing regular file, whatever its permission bits (read-only files count).
bool isFile(const std::filesystem::path& file);

// Replaces the file's whole content: writes a temporary file beside it, flushes it to disk,
// then renames it over the target, so a crash or a full disk leaves the old file or the new
// one, never half of either. An existing target keeps its permission bits.
// Fails (returns false, sets *error to a short English reason) when the target exists without
// its owner-write bit (a read-only file, honoured even for root), when the folder has no
// owner-write bit, or when any step of the write fails; the target is then left untouched.
bool writeAtomically(const std::filesystem::path& target, std::string_view bytes,
                     std::string* error = nullptr);

// The same, but a file that already holds exactly these bytes is left untouched (a save that
// changes one file of many pays no disk flush for the others).
bool writeIfChanged(const std::filesystem::path& target, std::string_view bytes,
                    std::string* error = nullptr);

} // namespace platform::textfile

// Fault injection for the tests of what a failed save leaves behind: a full disk, an I/O error
// or a lost permission can strike at any step of writeAtomically, and each must leave the old
// file whole. Nothing in the program sets a fault, so its writes only pay one test of an empty
// function per step.
namespace platform::textfile::testing {

// The steps of writeAtomically, in the order they run. SetMode runs only when the target exists
// (the temporary file takes over its permission bits).
enum class WriteStage { Open, SetMode, Write, Fsync, Close, Rename };

// Asked before each step with the file being replaced (as given to writeAtomically); a non-zero
// errno value makes that step fail with it. A failed Write has written half of the bytes.
using WriteFault = std::function<int(WriteStage stage, const std::filesystem::path& target)>;

// Installs the fault for all later writes; an empty function removes it.
void setWriteFault(WriteFault fault);

} // namespace platform::textfile::testing
