#include "palette/paste_keystroke.h"
#include <algorithm>
#include <cctype>

namespace palette {

namespace {

constexpr std::string_view kCtrlV = "^v";
constexpr std::string_view kCtrlShiftV = "^+v";
constexpr std::string_view kShiftInsert = "+{INSERT}";

struct BuiltInRule {
    std::string_view windowClass;
    std::string_view keys;
    std::string_view why;
};

// Measured under openbox on Debian 12 unless the reason says otherwise.
constexpr BuiltInRule kBuiltInRules[] = {
    {"XTerm", kShiftInsert,
     "Ctrl+V reaches the shell as a character, Ctrl+Shift+V does nothing; Shift+Insert pastes the "
     "primary selection"},
    {"UXTerm", kShiftInsert, "xterm in UTF-8 mode, under a class of its own"},
    {"Xfce4-terminal", kCtrlShiftV, "a VTE terminal: Ctrl+V reaches the shell as a character"},
    {"Gnome-terminal", kCtrlShiftV, "a VTE terminal: Ctrl+V reaches the shell as a character"},
    {"Lxterminal", kCtrlShiftV, "a VTE terminal: Ctrl+V reaches the shell as a character"},
    {"qterminal", kCtrlShiftV, "Ctrl+V reaches the shell as a character"},
    {"konsole", kCtrlShiftV, "Ctrl+V reaches the shell as a character"},
    {"kitty", kCtrlShiftV, "Ctrl+V reaches the shell as a character"},
    {"Emacs", kShiftInsert, "Ctrl+V scrolls; Shift+Insert yanks the clipboard"},
    // Not measured here: each program's documented paste keys.
    {"URxvt", kShiftInsert, "rxvt-unicode pastes the primary selection on Shift+Insert"},
    {"Alacritty", kCtrlShiftV, "Alacritty pastes the clipboard on Ctrl+Shift+V"},
    {"Terminator", kCtrlShiftV, "a VTE terminal"},
    {"Tilix", kCtrlShiftV, "a VTE terminal"},
    {"Mate-terminal", kCtrlShiftV, "a VTE terminal"},
};

bool sameClass(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

bool namedBy(const std::vector<std::string>& classNames, std::string_view windowClass) {
    return std::any_of(classNames.begin(), classNames.end(),
                       [&](const std::string& name) { return sameClass(name, windowClass); });
}

PasteKeystroke keystroke(std::string_view keys) {
    return {std::string(keys), keys == kShiftInsert};
}

} // namespace

std::string pasteKeysWritten(std::string_view written) {
    if (written == kCtrlV || written == kCtrlShiftV)
        return std::string(written);
    if (sameClass(written, kShiftInsert) || sameClass(written, "+{INS}"))
        return std::string(kShiftInsert);
    return {};
}

int readQuietMsFor(const std::vector<std::string>& classNames) {
    constexpr int kChromiumReadQuietMs = 400;
    for (std::string_view browser : {"Chromium", "chromium-browser", "Google-chrome"})
        if (namedBy(classNames, browser))
            return kChromiumReadQuietMs;
    return 0;
}

PasteKeystroke pasteKeystrokeFor(const std::vector<std::string>& classNames,
                                 const std::vector<storage::PasteKeyRule>& userRules) {
    for (const storage::PasteKeyRule& rule : userRules) {
        const std::string keys = pasteKeysWritten(rule.keys);
        if (!keys.empty() && namedBy(classNames, rule.windowClass))
            return keystroke(keys);
    }
    for (const BuiltInRule& rule : kBuiltInRules)
        if (namedBy(classNames, rule.windowClass))
            return keystroke(rule.keys);
    return keystroke(kCtrlV);
}

} // namespace palette
