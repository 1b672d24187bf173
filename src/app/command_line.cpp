#include "app/command_line.h"
#include "platform/utf8_path.h"
#include <cstdio>

namespace {
std::string helpText(const platform::FilesFolder& files) {
    std::string text = "Usage: pikome [--help | --version]\n"
                       "ぴこめ: a palette of kaomoji and ASCII art that stays on top; one click types\n"
                       "the entry into the window you were working in.\n"
                       "\n"
                       "  -h, --help     show this help and exit\n"
                       "      --version  show the version and exit\n"
                       "\n"
                       "Your files (設定.ini, 顔文字.ini and the folder AA) live in\n  ";
#ifdef _WIN32
    text += files.folder.empty() ? std::string("(unknown: the application data folder is not known)")
                                 : platform::utf8FromPath(files.folder);
    text += files.installed ? "\nas this copy is installed: each user's files are in %APPDATA%\\pikome.\n"
                            : "\nbeside the executable, as this copy is portable.\n";
    text += "\n"
            "A copy whose folder holds 設定.ini or 顔文字.ini is portable, whatever the folder's\n"
            "name. Otherwise a copy in a folder named bin or under Program Files is installed;\n"
            "anywhere else it is portable.\n";
#else
    text += files.folder.empty() ? std::string("(unknown: HOME is not set)")
                                 : platform::utf8FromPath(files.folder);
    text += files.installed
                ? "\nas this copy is installed: each user's files are in $XDG_DATA_HOME/pikome, by\n"
                  "default ~/.local/share/pikome.\n"
                : "\nbeside the executable, as this copy is portable.\n";
    text += "\n"
            "A copy whose folder holds 設定.ini or 顔文字.ini is portable, whatever the folder's\n"
            "name. Otherwise a copy in a folder named bin is installed; anywhere else it is\n"
            "portable.\n";
#endif
    return text;
}
} // namespace

std::optional<CommandLineAnswer> answerCommandLine(const std::vector<std::string>& arguments,
                                                   const platform::FilesFolder& files) {
    if (arguments.empty())
        return std::nullopt;
    const std::string& first = arguments.front();
    if (arguments.size() == 1 && (first == "--help" || first == "-h"))
        return CommandLineAnswer{0, helpText(files), {}};
    if (arguments.size() == 1 && first == "--version")
        return CommandLineAnswer{0, "pikome " PIKOME_VERSION "\n", {}};
    const std::string& refused =
        (first == "--help" || first == "-h" || first == "--version") ? arguments[1] : first;
    return CommandLineAnswer{
        2, {}, "pikome: unknown argument '" + refused + "' (pikome --help lists the options)\n"};
}

std::optional<int> answerCommandLine(int argc, char* argv[], const platform::FilesFolder& files) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    const auto answer = answerCommandLine(arguments, files);
    if (!answer)
        return std::nullopt;
    std::fputs(answer->out.c_str(), stdout);
    std::fputs(answer->err.c_str(), stderr);
    return answer->exitStatus;
}
