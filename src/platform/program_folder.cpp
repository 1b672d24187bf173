#include "platform/program_folder.h"
#include "platform/file_owner.h"
#include "platform/utf8_path.h"
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#ifdef _WIN32
#include "platform/windows_header.h"
// The known folders' identifiers defined here (selectany), so the platform layer needs no uuid
// library.
#include <initguid.h>
#include <knownfolders.h>
#include <shlobj.h>
#else
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

#ifdef _WIN32
std::filesystem::path executableFolder() {
    // The path the executable was loaded from, as Qt's applicationDirPath() finds it too. A
    // path longer than MAX_PATH comes back truncated: the buffer grows until it fits.
    std::wstring exe(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, exe.data(), DWORD(exe.size()));
        if (length == 0)
            return {};
        if (length < exe.size()) {
            exe.resize(length);
            break;
        }
        if (exe.size() >= 32768) // the longest path Windows has
            return {};
        exe.resize(exe.size() * 2);
    }
    const std::filesystem::path path(exe);
    if (!path.is_absolute())
        return {};
    return path.parent_path();
}
#else
std::filesystem::path executableFolder() {
    // The kernel's own link to the executable: symbolic links on the way are already resolved,
    // so a link to the program elsewhere still finds the files beside the program itself.
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || !exe.is_absolute())
        return {};
    return exe.parent_path();
}
#endif

namespace {
// Whether the folder holds a settings file or a kaomoji file. Whatever stands there under those
// names (a link too) was put there by the user, on purpose.
bool holdsOwnFiles(const std::filesystem::path& folder) {
    for (const char* name : {"設定.ini", "顔文字.ini"}) {
        std::error_code ec;
        if (std::filesystem::exists(std::filesystem::symlink_status(folder / pathFromUtf8(name), ec)))
            return true;
    }
    return false;
}
} // namespace

#ifdef _WIN32
namespace {
// Windows compares names without regard to case (in the file system's own upper-casing, which
// CompareStringOrdinal follows), so "BIN" and "c:\program files" are the same as their usual
// spelling, however the program was started.
bool sameName(const std::filesystem::path& a, const std::filesystem::path& b) {
    const std::wstring& x = a.native();
    const std::wstring& y = b.native();
    return ::CompareStringOrdinal(x.data(), int(x.size()), y.data(), int(y.size()), TRUE) == CSTR_EQUAL;
}

// Whether folder is outer or lies inside it, by their names (C:\Program Files\ぴこめ is inside
// C:\Program Files, C:\Program Files2 is not).
bool isInside(const std::filesystem::path& folder, const std::filesystem::path& outer) {
    if (outer.empty() || !outer.is_absolute())
        return false;
    const std::filesystem::path inner = folder.lexically_normal();
    const std::filesystem::path normalOuter = outer.lexically_normal();
    auto part = inner.begin();
    for (const std::filesystem::path& name : normalOuter) {
        if (name.empty()) // after a trailing separator
            continue;
        if (part == inner.end() || !sameName(*part, name))
            return false;
        ++part;
    }
    return true;
}
} // namespace

FilesFolder chooseFilesFolder(const std::filesystem::path& executableFolder,
                              const std::filesystem::path& appData,
                              const std::vector<std::filesystem::path>& programFolders) {
    bool installed = sameName(executableFolder.filename(), L"bin");
    for (const std::filesystem::path& programs : programFolders)
        installed = installed || isInside(executableFolder, programs);
    if (!installed || holdsOwnFiles(executableFolder))
        return {executableFolder, false};
    if (appData.is_absolute())
        return {appData / "pikome", true};
    return {{}, true};
}

namespace {
std::filesystem::path knownFolder(REFKNOWNFOLDERID id) {
    PWSTR found = nullptr;
    std::filesystem::path folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &found)) && found)
        folder = found;
    ::CoTaskMemFree(found);
    return folder;
}

// The variable as Windows holds it, in UTF-16 (the narrow getenv would give it in the ANSI code
// page, which lacks most of the characters a user's name may hold).
std::filesystem::path environmentFolder(const wchar_t* name) {
    const wchar_t* value = ::_wgetenv(name);
    return value ? std::filesystem::path(value) : std::filesystem::path();
}

// The long form of the folder (C:\PROGRA~1 is C:\Program Files), so that a copy started by its
// short name is told by the same names.
std::filesystem::path longForm(const std::filesystem::path& folder) {
    const DWORD length = ::GetLongPathNameW(folder.c_str(), nullptr, 0);
    if (length == 0)
        return folder;
    std::wstring name(length, L'\0');
    const DWORD written = ::GetLongPathNameW(folder.c_str(), name.data(), length);
    if (written == 0 || written >= length)
        return folder;
    name.resize(written);
    return name;
}
} // namespace

FilesFolder filesFolder() {
    std::filesystem::path appData = environmentFolder(L"APPDATA");
    if (!appData.is_absolute())
        appData = knownFolder(FOLDERID_RoamingAppData);
    return chooseFilesFolder(longForm(executableFolder()), appData,
                             {knownFolder(FOLDERID_ProgramFiles), knownFolder(FOLDERID_ProgramFilesX86),
                              knownFolder(FOLDERID_UserProgramFiles)});
}
#else
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
#endif

bool makeFilesFolder(const FilesFolder& files, std::string& error) {
    if (!files.installed)
        return true;
    if (files.folder.empty()) {
#ifdef _WIN32
        error = "no application data folder is known (APPDATA is not set)";
#else
        error = "no home folder is known (HOME is not set)";
#endif
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
        error = utf8FromPath(files.folder) + ": not a folder";
        return false;
    }
    return true;
}

} // namespace platform
