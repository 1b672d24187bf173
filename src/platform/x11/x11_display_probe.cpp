#include "platform/x11/x11_display_probe.h"
#include <X11/Xlib.h>
#include <cstdlib>

namespace platform::x11 {

std::string missingDisplayMessage() {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name)
        return "pikome: no X display found: DISPLAY is not set (pikome runs on an X11 desktop).";
    // Opening a connection costs a round trip of a few hundred microseconds on a local server.
    if (Display* display = XOpenDisplay(name)) {
        XCloseDisplay(display);
        return {};
    }
    return std::string("pikome: no X display found: no X server answers on DISPLAY=") + name + ".";
}

} // namespace platform::x11
