#pragma once
// Qt 6 on X11 talks to an input method only through the module QT_IM_MODULE names ("ibus",
// "fcitx"); without it Japanese cannot be typed into the editors. Sessions without im-config
// leave it unset, and Wayland sessions may name a Wayland route, which the palette, running on
// X11, cannot take. Where no usable module is named, the palette takes the input method that
// runs.
#include <optional>
#include <string>

namespace platform {

// What the palette finds of the session's input methods as it starts.
struct InputMethodFacts {
    // QT_IM_MODULE; nullopt when it is not set.
    std::optional<std::string> qtModule;
    bool fcitx5Running = false;
    // fcitx5's Qt 6 front end (Debian: fcitx5-frontend-qt6), the module "fcitx".
    bool fcitx5QtFrontEnd = false;
    // The bus file that Qt's ibus module reads names a running daemon (ibus's own, or the ibus
    // front end of fcitx5).
    bool ibusReachable = false;
};

// The module for QT_IM_MODULE, nullopt to leave it as it is. A module the user named stays
// unless it cannot reach an input method on X11 ("wayland"; "xim", which Qt 6 serves with
// its compose table only; "fcitx" without its front end). Then fcitx5 with its front end, or
// else a reachable ibus.
std::optional<std::string> chooseInputMethodModule(const InputMethodFacts& facts);

// The facts of this session (this user's processes, Qt's plugin folder, ibus's bus file).
InputMethodFacts findInputMethods();

// Sets QT_IM_MODULE for the QApplication made next. Left set afterwards: Qt's input context
// reads it once, at start, and the programs the palette starts (a browser) may use the same
// input method.
void useRunningInputMethod();

} // namespace platform
