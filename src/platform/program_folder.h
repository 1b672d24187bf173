#pragma once
// Where the program's files live. A copy kept in a folder of its own (or run from its build
// folder) keeps them beside the executable; an installed copy keeps each user's files in the
// user's data folder, since the folder of an installed executable is shared by every user and
// belongs to the system.
#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// Found without Qt, so start-up can begin reading before the application object exists.
// Empty when it cannot be told.
std::filesystem::path executableFolder();

struct FilesFolder {
    std::filesystem::path folder; // empty: no place could be found (installed, without a home)
    bool installed = false;
};

// A copy whose folder holds its files is portable, whatever the folder's name (~/bin is where
// many users keep their programs). Otherwise an executable in a folder named "bin" is an
// installed one (/usr/bin, /usr/local/bin, ~/.local/bin, <prefix>/bin); its files go to
// $XDG_DATA_HOME/pikome, or ~/.local/share/pikome when that is unset, empty or not an absolute
// path. Anywhere else they live beside it.
FilesFolder chooseFilesFolder(const std::filesystem::path& executableFolder, std::string_view xdgDataHome,
                              std::string_view home);

// The choice for this process: its executable, its environment, the password entry's home when
// HOME is unset.
FilesFolder filesFolder();

// Creates an installed copy's folder, and the folders above it that are missing, readable by
// its owner only. Nothing happens for a copy that keeps its files beside itself. On failure the
// reason is in `error`.
bool makeFilesFolder(const FilesFolder& files, std::string& error);

} // namespace platform
