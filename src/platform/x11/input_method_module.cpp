#include "platform/x11/input_method_module.h"
#include <QLibraryInfo>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr const char* kModuleVariable = "QT_IM_MODULE";
constexpr const char* kFcitxModule = "fcitx";
constexpr const char* kIbusModule = "ibus";

bool namesFcitx(std::string_view module) {
    return module == "fcitx" || module == "fcitx5";
}

bool reachesAnInputMethod(std::string_view module, const InputMethodFacts& facts) {
    if (module.empty() || module == "wayland" || module == "xim")
        return false;
    if (namesFcitx(module))
        return facts.fcitx5QtFrontEnd;
    return true;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string firstLineOf(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// A process of this user runs the program (its command name, as /proc/PID/comm holds it).
bool ownProcessRuns(std::string_view command) {
    DIR* proc = opendir("/proc");
    if (!proc)
        return false;
    const uid_t self = getuid();
    bool found = false;
    while (dirent* entry = readdir(proc)) {
        const std::string_view name = entry->d_name;
        if (name.empty() || name.find_first_not_of("0123456789") != std::string_view::npos)
            continue;
        const std::string folder = "/proc/" + std::string(name);
        struct stat info {};
        if (stat(folder.c_str(), &info) != 0 || info.st_uid != self)
            continue;
        if (firstLineOf(folder + "/comm") == command) {
            found = true;
            break;
        }
    }
    closedir(proc);
    return found;
}

bool fcitx5QtFrontEndInstalled() {
    const std::string plugins = QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString();
    return access((plugins + "/platforminputcontexts/libfcitx5platforminputcontextplugin.so").c_str(),
                  R_OK) == 0;
}

// The bus file as Qt's ibus module names it: IBUS_ADDRESS_FILE, or under the configuration
// folder "ibus/bus/<machine id>-<host>-<display>", the display being WAYLAND_DISPLAY when set,
// else DISPLAY's number.
std::string ibusBusFile() {
    if (const std::string file = environment("IBUS_ADDRESS_FILE"); !file.empty())
        return file;
    std::string config = environment("XDG_CONFIG_HOME");
    if (config.empty()) {
        const std::string home = environment("HOME");
        if (home.empty())
            return {};
        config = home + "/.config";
    }
    std::string machine = firstLineOf("/var/lib/dbus/machine-id");
    if (machine.empty())
        machine = firstLineOf("/etc/machine-id");
    std::string host = "unix";
    std::string display = environment("WAYLAND_DISPLAY");
    if (display.empty()) {
        const std::string x = environment("DISPLAY");
        const auto colon = x.find(':');
        if (colon == std::string::npos)
            return {};
        if (colon > 0)
            host = x.substr(0, colon);
        display = x.substr(colon + 1, x.find('.', colon) - colon - 1);
    }
    return config + "/ibus/bus/" + machine + "-" + host + "-" + display;
}

// As Qt's module checks it: an address, and the daemon's process alive.
bool ibusDaemonAt(const std::string& busFile) {
    std::ifstream file(busFile);
    bool address = false;
    long pid = -1;
    for (std::string line; std::getline(file, line);) {
        if (line.starts_with("IBUS_ADDRESS="))
            address = line.size() > std::string_view("IBUS_ADDRESS=").size();
        else if (line.starts_with("IBUS_DAEMON_PID="))
            pid = std::strtol(line.c_str() + std::string_view("IBUS_DAEMON_PID=").size(), nullptr, 10);
    }
    return address && pid > 0 && kill(pid_t(pid), 0) == 0;
}

} // namespace

std::optional<std::string> chooseInputMethodModule(const InputMethodFacts& facts) {
    if (facts.qtModule && reachesAnInputMethod(*facts.qtModule, facts))
        return std::nullopt;
    if (facts.fcitx5Running && facts.fcitx5QtFrontEnd)
        return kFcitxModule;
    if (facts.ibusReachable)
        return kIbusModule;
    return std::nullopt;
}

InputMethodFacts findInputMethods() {
    InputMethodFacts facts;
    if (const char* module = std::getenv(kModuleVariable))
        facts.qtModule = module;
    facts.fcitx5QtFrontEnd = fcitx5QtFrontEndInstalled();
    // A named module that works costs no look at the processes.
    if (facts.qtModule && reachesAnInputMethod(*facts.qtModule, facts))
        return facts;
    facts.fcitx5Running = ownProcessRuns("fcitx5");
    if (const std::string busFile = ibusBusFile(); !busFile.empty())
        facts.ibusReachable = ibusDaemonAt(busFile);
    return facts;
}

void useRunningInputMethod() {
    if (const auto module = chooseInputMethodModule(findInputMethods()))
        setenv(kModuleVariable, module->c_str(), 1);
}

} // namespace platform
