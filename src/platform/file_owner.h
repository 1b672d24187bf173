#pragma once
// Who owns what the program writes. A user's files stay the user's, also when root runs the
// program on them (`sudo pikome` keeps HOME, `sudo ./pikome` in a portable folder): a file a
// save replaces keeps its owner and group, and a file or folder made inside a folder that
// belongs to a user is given to that user, as if the user had made it. Otherwise one run as
// root would leave root-owned files and folders that the user's own copy cannot open or save.
//
// Owners, groups and the effective user are POSIX only. On Windows a file made in a folder takes
// the folder's inherited access list, as any file made there does; only makeFolder is there.
#include <filesystem>
#include <string>
#include <sys/types.h>

namespace platform::file_owner {

#ifndef _WIN32
// Gives the file just made (open as fd) the owner and group of the file it will replace, where
// this process may: root always, anyone else the group when a member of it (an ordinary user
// cannot give a file away, so a file that belonged to another user becomes the saver's).
// False, with errno set, only when root could not.
bool keepOwnerOf(int fd, uid_t owner, gid_t group);

// For a file just made (open as fd) inside folder: as root, in a folder that belongs to a user,
// the file becomes that user's (owner and group of the folder). False, with errno set, when
// that failed.
bool giveToFolderOwner(int fd, const std::filesystem::path& folder);
#endif

// Makes one folder with the given permission bits; as root inside a folder that belongs to a
// user, the new folder is that user's. An existing folder is left as it is. False with the
// reason in error ("<path>: <system's reason>"). On Windows the bits are not used: the folder
// takes its parent's inherited access list.
bool makeFolder(const std::filesystem::path& folder, mode_t mode, std::string& error);

} // namespace platform::file_owner
