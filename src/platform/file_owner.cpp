#include "platform/file_owner.h"
#include "platform/utf8_path.h"
#include <cerrno>
#include <cstring>
#ifdef _WIN32
#include "platform/win32_errno.h"
#include "platform/windows_header.h"
#include <system_error>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform::file_owner {

#ifdef _WIN32

bool makeFolder(const std::filesystem::path& folder, mode_t, std::string& error) {
    if (::CreateDirectoryW(folder.c_str(), nullptr))
        return true;
    const DWORD made = ::GetLastError();
    // As mkdir's EEXIST: whatever stands there is left as it is (the caller tells a file from a
    // folder). A drive's root (C:\) is refused as denied rather than as existing.
    std::error_code ec;
    if (made == ERROR_ALREADY_EXISTS || std::filesystem::exists(folder, ec))
        return true;
    error = utf8FromPath(folder) + ": " + std::strerror(errnoFromWin32(made));
    return false;
}

#else

namespace {
bool runningAsRoot() {
    return ::geteuid() == 0;
}

// The user a folder belongs to, when root works in it on that user's behalf.
bool userFolder(const std::filesystem::path& folder, struct stat& info) {
    return runningAsRoot() && ::stat(folder.c_str(), &info) == 0 && info.st_uid != 0;
}
} // namespace

bool keepOwnerOf(int fd, uid_t owner, gid_t group) {
    struct stat made {};
    if (::fstat(fd, &made) != 0)
        return false;
    if (made.st_uid == owner && made.st_gid == group)
        return true;
    if (runningAsRoot())
        return ::fchown(fd, owner, group) == 0;
    // The group, at least, when the user is one of it; otherwise the new file's group is no
    // loss of access the user could have prevented.
    if (made.st_gid != group)
        (void)::fchown(fd, uid_t(-1), group);
    return true;
}

bool giveToFolderOwner(int fd, const std::filesystem::path& folder) {
    struct stat info {};
    if (!userFolder(folder, info))
        return true;
    return ::fchown(fd, info.st_uid, info.st_gid) == 0;
}

bool makeFolder(const std::filesystem::path& folder, mode_t mode, std::string& error) {
    if (::mkdir(folder.c_str(), mode) != 0) {
        if (errno == EEXIST)
            return true;
        error = utf8FromPath(folder) + ": " + std::strerror(errno);
        return false;
    }
    struct stat parent {};
    if (!userFolder(folder.parent_path(), parent))
        return true;
    // Not followed if something replaced the new folder with a link meanwhile.
    if (::lchown(folder.c_str(), parent.st_uid, parent.st_gid) != 0) {
        error = utf8FromPath(folder) + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

#endif

} // namespace platform::file_owner
