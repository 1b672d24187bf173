#include "platform/file_owner.h"
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::file_owner {

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
        error = folder.string() + ": " + std::strerror(errno);
        return false;
    }
    struct stat parent {};
    if (!userFolder(folder.parent_path(), parent))
        return true;
    // Not followed if something replaced the new folder with a link meanwhile.
    if (::lchown(folder.c_str(), parent.st_uid, parent.st_gid) != 0) {
        error = folder.string() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace platform::file_owner
