#pragma once
// Where the program's files live. A copy kept in a folder of its own (or run from its build
// folder) keeps them beside the executable; an installed copy keeps each user's files in the
// user's data folder, since the folder of an installed executable is shared by every user and
// belongs to the system.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Found without Qt, so start-up can begin reading before the application object exists.
// Empty when it cannot be told.
std::filesystem::path executableFolder();

struct FilesFolder {
    std::filesystem::path folder; // empty: no place could be found (installed, without a home)
    bool installed = false;
};

#ifdef _WIN32
// The same rule with the places Windows installs programs. A copy whose folder holds its files
// is portable, whatever the folder's name. Otherwise a copy is installed when its folder is named
// "bin" (in any case, as Windows names are: <prefix>\bin after `cmake --install`) or lies inside
// one of programFolders (Program Files, Program Files (x86), the user's own
// AppData\Local\Programs, where installers put programs); its files go to appData\pikome (the
// user's roaming application data, %APPDATA%), or nowhere when appData is empty or not an
// absolute path. Anywhere else they live beside it.
FilesFolder chooseFilesFolder(const std::filesystem::path& executableFolder,
                              const std::filesystem::path& appData,
                              const std::vector<std::filesystem::path>& programFolders);
#else
// A copy whose folder holds its files is portable, whatever the folder's name (~/bin is where
// many users keep their programs). Otherwise an executable in a folder named "bin" is an
// installed one (/usr/bin, /usr/local/bin, ~/.local/bin, <prefix>/bin); its files go to
// $XDG_DATA_HOME/pikome, or ~/.local/share/pikome when that is unset, empty or not an absolute
// path. Anywhere else they live beside it.
FilesFolder chooseFilesFolder(const std::filesystem::path& executableFolder, std::string_view xdgDataHome,
                              std::string_view home);
#endif

// The choice for this process: its executable, its environment, the password entry's home when
// HOME is unset. On Windows: %APPDATA% when it is set, else the user's known roaming
// application-data folder; the known Program Files folders.
FilesFolder filesFolder();

// Creates an installed copy's folder, and the folders above it that are missing, readable by
// its owner only (on Windows the folders take the inherited access list of the user's
// application data, which is the user's own). Nothing happens for a copy that keeps its files
// beside itself. On failure the reason is in `error`.
bool makeFilesFolder(const FilesFolder& files, std::string& error);

} // namespace platform
