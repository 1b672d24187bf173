#include "platform/x11/wayland_session.h"
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

namespace {

constexpr const char* kPlatformVariable = "QT_QPA_PLATFORM";

// What QT_QPA_PLATFORM held before the palette chose; nullopt when it was not set.
std::optional<std::string>& usersPlatformChoice() {
    static std::optional<std::string> choice;
    return choice;
}

void giveBackUsersPlatformChoice() {
    if (const auto& choice = usersPlatformChoice())
        setenv(kPlatformVariable, choice->c_str(), 1);
    else
        unsetenv(kPlatformVariable);
}

} // namespace

bool isWaylandSession() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    const char* type = std::getenv("XDG_SESSION_TYPE");
    return (display && *display) || (type && std::string_view(type) == "wayland");
}

void chooseX11Platform() {
    const char* current = std::getenv(kPlatformVariable);
    if (current) {
        usersPlatformChoice() = current;
        const std::string_view asked(current);
        // "xcb" with options ("xcb:…") is the user's own way of asking for X11: keep it.
        if (asked != "xcb" && !asked.starts_with("xcb:")) {
            std::fprintf(stderr,
                         "pikome: %s=%s is not used: the palette finds the window you work in and types "
                         "into it through X11 only, so it runs on X11 (through XWayland on a Wayland "
                         "session).\n",
                         kPlatformVariable, current);
            setenv(kPlatformVariable, "xcb", 1);
        }
    } else {
        setenv(kPlatformVariable, "xcb", 1);
    }
    // Pre-routines run inside QCoreApplication's constructor, after the platform is chosen.
    qAddPreRoutine(giveBackUsersPlatformChoice);
}

} // namespace platform
