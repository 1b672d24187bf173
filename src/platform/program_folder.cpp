#include "platform/program_folder.h"
#include "platform/file_owner.h"
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace platform {

std::filesystem::path executableFolder() {
    // The kernel's own link to the executable: symbolic links on the way are already resolved,
    // so a link to the program elsewhere still finds the files beside the program itself.
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || !exe.is_absolute())
        return {};
    return exe.parent_path();
}

namespace {
// Whether the folder holds a settings file or a kaomoji file. Whatever stands there under those
// names (a link too) was put there by the user, on purpose.
bool holdsOwnFiles(const std::filesystem::path& folder) {
    for (const char* name : {"設定.ini", "顔文字.ini"}) {
        std::error_code ec;
        if (std::filesystem::exists(std::filesystem::symlink_status(folder / name, ec)))
            return true;
    }
    return false;
}
} // namespace

FilesFolder chooseFilesFolder(const std::filesystem::path& executableFolder, std::string_view xdgDataHome,
                              std::string_view home) {
    if (executableFolder.filename() != "bin" || holdsOwnFiles(executableFolder))
        return {executableFolder, false};
    // A relative XDG_DATA_HOME is invalid and ignored, as the base-directory rules say.
    const std::filesystem::path dataHome(xdgDataHome);
    if (dataHome.is_absolute())
        return {dataHome / "pikome", true};
    const std::filesystem::path homeFolder(home);
    if (homeFolder.is_absolute())
        return {homeFolder / ".local" / "share" / "pikome", true};
    return {{}, true};
}

namespace {
std::string_view environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string homeFolder() {
    std::string_view home = environment("HOME");
    if (!home.empty())
        return std::string(home);
    const passwd* entry = getpwuid(getuid());
    return entry && entry->pw_dir ? entry->pw_dir : "";
}
} // namespace

FilesFolder filesFolder() {
    return chooseFilesFolder(executableFolder(), environment("XDG_DATA_HOME"), homeFolder());
}

bool makeFilesFolder(const FilesFolder& files, std::string& error) {
    if (!files.installed)
        return true;
    if (files.folder.empty()) {
        error = "no home folder is known (HOME is not set)";
        return false;
    }
    // One level at a time, so that every folder made here is private (0700), as the
    // base-directory rules ask of the data folder. Made by root in a user's home (sudo keeps
    // HOME), each belongs to that user, or the user's own copy could not use them, and other
    // programs could not make their folders in ~/.local/share.
    std::filesystem::path made;
    for (const auto& part : files.folder) {
        made /= part;
        if (!file_owner::makeFolder(made, 0700, error))
            return false;
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(files.folder, ec)) {
        error = files.folder.string() + ": not a folder";
        return false;
    }
    return true;
}

} // namespace platform
