#include "platform/textfile.h"
#include "platform/file_owner.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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

bool writeAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
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
                (static_cast<unsigned long long>(::getpid()) << 32) ^ (attempt * 0x9E3779B97F4A7C15ull);
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
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0)
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Unreadable;
    if (!S_ISREG(info.st_mode))
        return ReadResult::Unreadable; // a folder, a pipe (which would wait forever), a device
    if (std::uintmax_t(info.st_size) > maxBytes)
        return ReadResult::TooLarge;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return ReadResult::Unreadable;
    // One byte more than allowed is asked for, so a file that grew since stat() is noticed.
    bytes.resize(std::size_t(info.st_size) + 1);
    std::size_t got = 0;
    bool failed = false;
    for (;;) {
        if (got == bytes.size()) {
            if (bytes.size() > maxBytes)
                break;
            bytes.resize(std::min(maxBytes + 1, bytes.size() * 2));
        }
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
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
    ::close(fd);
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
        if (std::FILE* file = std::fopen(target.c_str(), "rb")) {
            std::string current(bytes.size(), '\0');
            const bool same = std::fread(current.data(), 1, current.size(), file) == current.size() &&
                              std::fgetc(file) == EOF && !std::ferror(file) && current == bytes;
            std::fclose(file);
            if (same)
                return true;
        }
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
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        setError(error, "folder does not exist");
        return false;
    }
    if (!(st.st_mode & S_IWUSR)) {
        setError(error, "folder is read-only");
        return false;
    }
    bool exists = false;
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
    if (::stat(real.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            setError(error, "not a regular file");
            return false;
        }
        if (!(st.st_mode & S_IWUSR)) {
            setError(error, "file is read-only");
            return false;
        }
        exists = true;
        mode = st.st_mode & 07777;
        owner = st.st_uid;
        group = st.st_gid;
    }

    // open() with 0666 rather than mkstemp(): a new file then gets the umask's bits, as any
    // other file the user creates would.
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < kTempNameAttempts && fd < 0; ++attempt) {
        temp = (folder / (real.filename().string() + "." + tempSuffix(attempt) + ".tmp")).string();
        if (int injected = injectedFault(WriteStage::Open, target)) {
            errno = injected;
            fd = -1;
        } else {
            fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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
            ::close(fd);
        ::unlink(temp.c_str());
        setError(error, what, err);
        return false;
    };
    if (exists) {
        if (int injected = injectedFault(WriteStage::SetMode, target))
            return fail("cannot set permissions", injected);
        if (::fchmod(fd, mode) != 0)
            return fail("cannot set permissions", errno);
    }
    // The user's file stays the user's when root saves it, and a new one becomes the user's.
    if (exists ? !file_owner::keepOwnerOf(fd, owner, group) : !file_owner::giveToFolderOwner(fd, folder))
        return fail("cannot keep the file's owner", errno);
    if (int injected = injectedFault(WriteStage::Write, target)) {
        // A disk that fills up mid-way leaves part of the bytes in the temporary file.
        writeAll(fd, bytes.substr(0, bytes.size() / 2));
        return fail("cannot write", injected);
    }
    if (!writeAll(fd, bytes))
        return fail("cannot write", errno);
    if (int injected = injectedFault(WriteStage::Fsync, target))
        return fail("cannot flush to disk", injected);
    if (::fsync(fd) != 0)
        return fail("cannot flush to disk", errno);
    int closed = ::close(fd);
    int closeError = closed != 0 ? errno : injectedFault(WriteStage::Close, target);
    fd = -1;
    if (closeError != 0)
        return fail("cannot close", closeError);
    // The folder itself is not synced: after a crash the rename may be lost, which leaves the
    // old file whole; that is allowed, and a save of many keys should not pay a sync each.
    if (int injected = injectedFault(WriteStage::Rename, target))
        return fail("cannot replace file", injected);
    if (::rename(temp.c_str(), real.c_str()) != 0)
        return fail("cannot replace file", errno);
    return true;
}

int removeLeftoverTemporaries(const std::filesystem::path& folder,
                              const std::function<bool(std::string_view targetName)>& isOurs) {
    constexpr std::string_view kEnd = ".tmp";
    constexpr std::size_t kSuffix = 8;
    auto isSuffixChar = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); };
    int removed = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() < kEnd.size() + kSuffix + 2 || !name.ends_with(kEnd))
            continue;
        const std::size_t dot = name.size() - kEnd.size() - kSuffix - 1;
        const std::string_view suffix = std::string_view(name).substr(dot + 1, kSuffix);
        if (name[dot] != '.' || !std::all_of(suffix.begin(), suffix.end(), isSuffixChar) ||
            !isOurs(std::string_view(name).substr(0, dot)))
            continue;
        std::error_code typeError;
        if (std::filesystem::is_regular_file(it->symlink_status(typeError)) &&
            ::unlink(it->path().c_str()) == 0)
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
