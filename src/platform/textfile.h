#pragma once
// Text files as the program reads and writes them: whole files split into lines, whole-file
// atomic writes.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::textfile {

// How the program's text files (the kaomoji file, the ASCII-art texts, a dropped text file)
// break into lines. The program writes CR LF after every line, and a kaomoji or a piece of
// ASCII art may hold a lone LF as text, so in a file that holds any CR a line ends at CR or at
// a CR LF pair and a lone LF is part of its line. A file that holds no CR at all had its line
// ends converted to LF (dos2unix, git's autocrlf=input, a Linux editor): there every LF ends a
// line, as that file's own line ends. (Such a conversion cannot be undone for an entry that held
// a lone LF of its own: it becomes two lines, as it would in any other program.)
// The line end is not part of the line; a last line without a line end still counts; a file
// that ends with a line end has no empty line after it.
std::vector<std::string_view> splitLines(std::string_view bytes);

enum class ReadResult {
    Ok,
    Missing,    // nothing by that name
    Unreadable, // there, but no regular file, or no permission, or a read failed
    TooLarge,   // larger than the caller's bound: not read at all, so memory stays bounded
};

// Reads the whole file into bytes, if it is a regular file of at most maxBytes. On anything
// but Ok, bytes is empty: the program never works on part of a file.
ReadResult readWhole(const std::filesystem::path& file, std::size_t maxBytes, std::string& bytes);

// True for an existing regular file, whatever its permission bits (read-only files count).
bool isFile(const std::filesystem::path& file);

// True for an existing folder that is not write-protected: on Linux one with its owner-write
// bit (honoured even for root, who could write anyway); on Windows any folder, since Windows
// ignores a folder's read-only attribute (Explorer sets it on every folder it customises). What
// the system then allows is met by the write itself.
bool mayWriteIn(const std::filesystem::path& folder);

// Replaces the file's whole content: writes a temporary file beside it, flushes it to disk,
// then renames it over the target, so a crash or a full disk leaves the old file or the new
// one, never half of either. An existing target keeps its permission bits, and its owner and
// group where the process may give them (see file_owner.h); a new file made by root in a user's
// folder is that user's. On Windows the file is written in binary mode (CR LF and 0x1A are
// bytes like any other), an existing target keeps its hidden and system attributes, and the
// rename is MoveFileExW, which replaces the target (the C library's rename there does not).
// Fails (returns false, sets *error to a short English reason) when the target exists without
// its owner-write bit (a read-only file, honoured even for root; on Windows the read-only
// attribute), when the folder may not be written in (mayWriteIn), or when any step of the
// write fails; the target is then left untouched.
bool writeAtomically(const std::filesystem::path& target, std::string_view bytes,
                     std::string* error = nullptr);

// The same, but a file that already holds exactly these bytes is left untouched (a save that
// changes one file of many pays no disk flush for the others).
bool writeIfChanged(const std::filesystem::path& target, std::string_view bytes,
                    std::string* error = nullptr);

// What a save killed half-way leaves beside its target: the target's name, a dot, eight
// letters or digits, ".tmp". Removes those in the folder whose target isOurs names; the
// program runs once per folder, so none of them belongs to a save under way. Other files,
// and folders, are left alone. Returns how many were removed.
int removeLeftoverTemporaries(const std::filesystem::path& folder,
                              const std::function<bool(std::string_view targetName)>& isOurs);

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
