#include "platform/textfile.h"
#include "platform/file_owner.h"
#include "platform/utf8_path.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <utility>
#ifdef _WIN32
#include "platform/win32_errno.h"
#include "platform/windows_header.h"
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

namespace platform::textfile {
namespace {

using testing::WriteStage;

testing::WriteFault& writeFault() {
    static testing::WriteFault fault;
    return fault;
}

// The errno a test wants the stage to fail with, or 0 (always, outside the tests).
int injectedFault(WriteStage stage, const std::filesystem::path& target) {
    const testing::WriteFault& fault = writeFault();
    return fault ? fault(stage, target) : 0;
}

// Attempts at finding an unused temporary name before giving up; a clash needs another writer
// picking the same random suffix at the same moment, so a few attempts are plenty.
constexpr int kTempNameAttempts = 32;

void setError(std::string* error, std::string_view what, int err = 0) {
    if (!error)
        return;
    *error = what;
    if (err != 0) {
        *error += ": ";
        *error += std::strerror(err);
    }
}

// The system's file calls, on file descriptors both ways. Each sets errno when it fails.
#ifdef _WIN32
// Windows: the wide CRT calls, so that a name in any script reaches its file (the narrow ones
// take the ANSI code page); every file in binary mode, as the text mode would turn CR LF into LF
// and end a read at 0x1A; none inherited by a child process.
struct Status {
    int error = 0; // errno when nothing could be told; ENOENT: nothing by that name
    bool regular = false;
    bool folder = false;
    bool ownerMayWrite = false;
    std::uintmax_t size = 0;
    DWORD attributes = 0; // the target's, which the replacement takes over
};

Status statusOf(const std::filesystem::path& p) {
    Status status;
    struct _stat64 info {};
    if (::_wstat64(p.c_str(), &info) != 0) {
        status.error = errno;
        return status;
    }
    status.regular = (info.st_mode & _S_IFMT) == _S_IFREG; // not a folder, nor a device (NUL, CON)
    status.folder = (info.st_mode & _S_IFMT) == _S_IFDIR;
    status.size = std::uintmax_t(info.st_size);
    const DWORD attributes = ::GetFileAttributesW(p.c_str());
    status.attributes = attributes == INVALID_FILE_ATTRIBUTES ? 0 : attributes;
    // A file's read-only attribute is the user's protection, as the owner-write bit is on Linux.
    // A folder's is none: Windows ignores it, and Explorer sets it on every folder it customises
    // (a desktop.ini icon). What may be written in a folder is said by its access list, which the
    // write itself meets.
    status.ownerMayWrite = status.folder || !(status.attributes & FILE_ATTRIBUTE_READONLY);
    return status;
}

int openForReading(const std::filesystem::path& file) {
    return ::_wopen(file.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

// A new file, never an existing one.
int createNew(const std::filesystem::path& file) {
    return ::_wopen(file.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                    _S_IREAD | _S_IWRITE);
}

// The CRT reads and writes at most INT_MAX bytes a call.
constexpr std::size_t kMostBytesACall = std::size_t(1) << 30;

long long readSome(int fd, char* into, std::size_t most) {
    return ::_read(fd, into, unsigned(std::min(most, kMostBytesACall)));
}

long long writeSome(int fd, const char* from, std::size_t most) {
    return ::_write(fd, from, unsigned(std::min(most, kMostBytesACall)));
}

int flushToDisk(int fd) {
    return ::_commit(fd); // FlushFileBuffers
}

int closeFile(int fd) {
    return ::_close(fd);
}

int removeFile(const std::filesystem::path& file) {
    return ::_wunlink(file.c_str());
}

// The hidden and system attributes a user gave the file stay with it, as its permission bits
// do on Linux (a file with the read-only attribute is never replaced).
int takeOverAttributes(int, const std::filesystem::path& temp, const Status& target) {
    constexpr DWORD kKept =
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (!(target.attributes & kKept))
        return 0;
    const DWORD made = ::GetFileAttributesW(temp.c_str());
    if (made == INVALID_FILE_ATTRIBUTES ||
        !::SetFileAttributesW(temp.c_str(), made | (target.attributes & kKept))) {
        errno = errnoFromWin32(::GetLastError());
        return -1;
    }
    return 0;
}

// The C library's rename never replaces an existing file on Windows; MoveFileExW does, in one
// step on the same volume (NTFS renames atomically), and returns once the move is on disk.
int replaceWith(const std::filesystem::path& temp, const std::filesystem::path& target) {
    if (::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    errno = errnoFromWin32(::GetLastError());
    return -1;
}

unsigned long long processId() {
    return static_cast<unsigned long long>(::_getpid());
}
#else
struct Status {
    int error = 0; // errno when nothing could be told; ENOENT: nothing by that name
    bool regular = false;
    bool folder = false;
    bool ownerMayWrite = false; // the owner-write bit, honoured even for root
    std::uintmax_t size = 0;
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
};

Status statusOf(const std::filesystem::path& p) {
    Status status;
    struct stat info {};
    if (::stat(p.c_str(), &info) != 0) {
        status.error = errno;
        return status;
    }
    status.regular = S_ISREG(info.st_mode); // not a folder, a pipe (which would wait forever), a device
    status.folder = S_ISDIR(info.st_mode);
    status.ownerMayWrite = (info.st_mode & S_IWUSR) != 0;
    status.size = std::uintmax_t(info.st_size);
    status.mode = info.st_mode & 07777;
    status.owner = info.st_uid;
    status.group = info.st_gid;
    return status;
}

int openForReading(const std::filesystem::path& file) {
    return ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
}

// A new file, never an existing one. open() with 0666 rather than mkstemp(): a new file then
// gets the umask's bits, as any other file the user creates would.
int createNew(const std::filesystem::path& file) {
    return ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

long long readSome(int fd, char* into, std::size_t most) {
    return ::read(fd, into, most);
}

long long writeSome(int fd, const char* from, std::size_t most) {
    return ::write(fd, from, most);
}

int flushToDisk(int fd) {
    return ::fsync(fd);
}

int closeFile(int fd) {
    return ::close(fd);
}

int removeFile(const std::filesystem::path& file) {
    return ::unlink(file.c_str());
}

// The temporary file takes over the permission bits of the file it replaces.
int takeOverAttributes(int fd, const std::filesystem::path&, const Status& target) {
    return ::fchmod(fd, target.mode);
}

int replaceWith(const std::filesystem::path& temp, const std::filesystem::path& target) {
    return ::rename(temp.c_str(), target.c_str());
}

unsigned long long processId() {
    return static_cast<unsigned long long>(::getpid());
}
#endif

bool writeAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const long long n = writeSome(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string tempSuffix(unsigned attempt) {
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    auto seed = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                (processId() << 32) ^ (attempt * 0x9E3779B97F4A7C15ull);
    std::string s;
    for (int i = 0; i < 8; ++i) {
        seed ^= seed >> 29;
        seed *= 0xBF58476D1CE4E5B9ull;
        s.push_back(kDigits[seed % 36]);
    }
    return s;
}

} // namespace

std::vector<std::string_view> splitLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    const bool hasCr = bytes.find('\r') != std::string_view::npos;
    const char end = hasCr ? '\r' : '\n';
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t stop = bytes.find(end, pos);
        if (stop == std::string_view::npos) {
            lines.push_back(bytes.substr(pos)); // the last line, without a line end
            break;
        }
        lines.push_back(bytes.substr(pos, stop - pos));
        pos = stop + 1;
        if (hasCr && pos < bytes.size() && bytes[pos] == '\n')
            ++pos;
    }
    return lines;
}

ReadResult readWhole(const std::filesystem::path& file, std::size_t maxBytes, std::string& bytes) {
    bytes.clear();
    const Status info = statusOf(file);
    if (info.error != 0)
        return info.error == ENOENT ? ReadResult::Missing : ReadResult::Unreadable;
    if (!info.regular)
        return ReadResult::Unreadable; // a folder, a pipe (which would wait forever), a device
    if (info.size > maxBytes)
        return ReadResult::TooLarge;
    const int fd = openForReading(file);
    if (fd < 0)
        return ReadResult::Unreadable;
    // One byte more than allowed is asked for, so a file that grew since stat() is noticed.
    bytes.resize(std::size_t(info.size) + 1);
    std::size_t got = 0;
    bool failed = false;
    for (;;) {
        if (got == bytes.size()) {
            if (bytes.size() > maxBytes)
                break;
            bytes.resize(std::min(maxBytes + 1, bytes.size() * 2));
        }
        const long long n = readSome(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            failed = true;
            break;
        }
        if (n == 0)
            break;
        got += std::size_t(n);
    }
    closeFile(fd);
    if (failed) {
        bytes.clear();
        return ReadResult::Unreadable;
    }
    if (got > maxBytes) {
        bytes.clear();
        return ReadResult::TooLarge;
    }
    bytes.resize(got);
    return ReadResult::Ok;
}

bool writeIfChanged(const std::filesystem::path& target, std::string_view bytes, std::string* error) {
    std::error_code ec;
    if (isFile(target) && std::filesystem::file_size(target, ec) == bytes.size() && !ec) {
        std::string current;
        if (readWhole(target, bytes.size(), current) == ReadResult::Ok && current == bytes)
            return true;
    }
    return writeAtomically(target, bytes, error);
}

bool isFile(const std::filesystem::path& file) {
    std::error_code ec;
    return std::filesystem::is_regular_file(file, ec);
}

bool writeAtomically(const std::filesystem::path& target, std::string_view bytes, std::string* error) {
    // Writing through a symbolic link must replace the file it points to, not the link.
    std::filesystem::path real = target;
    std::error_code ec;
    if (std::filesystem::is_symlink(target, ec)) {
        real = std::filesystem::weakly_canonical(target, ec);
        if (ec) {
            setError(error, "cannot resolve link", ec.value());
            return false;
        }
    }
    std::filesystem::path folder = real.parent_path();
    if (folder.empty())
        folder = ".";

    // Permission bits are checked by hand: root may write anywhere, yet a file or folder the
    // user made read-only must stay untouched.
    const Status folderStatus = statusOf(folder);
    if (folderStatus.error != 0 || !folderStatus.folder) {
        setError(error, "folder does not exist");
        return false;
    }
    if (!folderStatus.ownerMayWrite) {
        setError(error, "folder is read-only");
        return false;
    }
    const Status targetStatus = statusOf(real);
    const bool exists = targetStatus.error == 0;
    if (exists) {
        if (!targetStatus.regular) {
            setError(error, "not a regular file");
            return false;
        }
        if (!targetStatus.ownerMayWrite) {
            setError(error, "file is read-only");
            return false;
        }
    }

    std::filesystem::path temp;
    int fd = -1;
    for (int attempt = 0; attempt < kTempNameAttempts && fd < 0; ++attempt) {
        std::filesystem::path name = real.filename();
        name += "." + tempSuffix(attempt) + ".tmp";
        temp = folder / name;
        if (int injected = injectedFault(WriteStage::Open, target)) {
            errno = injected;
            fd = -1;
        } else {
            fd = createNew(temp);
        }
        if (fd < 0 && errno != EEXIST) {
            setError(error, "cannot create temporary file", errno);
            return false;
        }
    }
    if (fd < 0) {
        setError(error, "cannot create temporary file", EEXIST);
        return false;
    }

    auto fail = [&](std::string_view what, int err) {
        if (fd >= 0)
            closeFile(fd);
        removeFile(temp);
        setError(error, what, err);
        return false;
    };
    if (exists) {
        if (int injected = injectedFault(WriteStage::SetMode, target))
            return fail("cannot set permissions", injected);
        if (takeOverAttributes(fd, temp, targetStatus) != 0)
            return fail("cannot set permissions", errno);
    }
#ifndef _WIN32
    // The user's file stays the user's when root saves it, and a new one becomes the user's.
    if (exists ? !file_owner::keepOwnerOf(fd, targetStatus.owner, targetStatus.group)
               : !file_owner::giveToFolderOwner(fd, folder))
        return fail("cannot keep the file's owner", errno);
#endif
    if (int injected = injectedFault(WriteStage::Write, target)) {
        // A disk that fills up mid-way leaves part of the bytes in the temporary file.
        writeAll(fd, bytes.substr(0, bytes.size() / 2));
        return fail("cannot write", injected);
    }
    if (!writeAll(fd, bytes))
        return fail("cannot write", errno);
    if (int injected = injectedFault(WriteStage::Fsync, target))
        return fail("cannot flush to disk", injected);
    if (flushToDisk(fd) != 0)
        return fail("cannot flush to disk", errno);
    int closed = closeFile(fd);
    int closeError = closed != 0 ? errno : injectedFault(WriteStage::Close, target);
    fd = -1;
    if (closeError != 0)
        return fail("cannot close", closeError);
    // The folder itself is not synced: after a crash the rename may be lost, which leaves the
    // old file whole; that is allowed, and a save of many keys should not pay a sync each.
    if (int injected = injectedFault(WriteStage::Rename, target))
        return fail("cannot replace file", injected);
    if (replaceWith(temp, real) != 0)
        return fail("cannot replace file", errno);
    return true;
}

bool mayWriteIn(const std::filesystem::path& folder) {
    const Status status = statusOf(folder);
    return status.error == 0 && status.folder && status.ownerMayWrite;
}

int removeLeftoverTemporaries(const std::filesystem::path& folder,
                              const std::function<bool(std::string_view targetName)>& isOurs) {
    constexpr std::string_view kEnd = ".tmp";
    constexpr std::size_t kSuffix = 8;
    auto isSuffixChar = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); };
    int removed = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = utf8FromPath(it->path().filename());
        if (name.size() < kEnd.size() + kSuffix + 2 || !name.ends_with(kEnd))
            continue;
        const std::size_t dot = name.size() - kEnd.size() - kSuffix - 1;
        const std::string_view suffix = std::string_view(name).substr(dot + 1, kSuffix);
        if (name[dot] != '.' || !std::all_of(suffix.begin(), suffix.end(), isSuffixChar) ||
            !isOurs(std::string_view(name).substr(0, dot)))
            continue;
        std::error_code typeError;
        if (std::filesystem::is_regular_file(it->symlink_status(typeError)) && removeFile(it->path()) == 0)
            ++removed;
    }
    return removed;
}

} // namespace platform::textfile

namespace platform::textfile::testing {

void setWriteFault(WriteFault fault) {
    writeFault() = std::move(fault);
}

} // namespace platform::textfile::testing
