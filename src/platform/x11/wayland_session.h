#pragma once
// The palette speaks X11 only: on a Wayland session it runs through XWayland, where it sees and
// reaches X11 windows and nothing else.

namespace platform {

// The desktop session is a Wayland one: WAYLAND_DISPLAY is set, or XDG_SESSION_TYPE says so.
bool isWaylandSession();

// Makes the QApplication built next use Qt's X11 platform (xcb), also where Qt would choose its
// Wayland platform or the user asked for another one (QT_QPA_PLATFORM), and says so on the
// standard error when it overrules the user. The user's QT_QPA_PLATFORM is given back as soon
// as Qt has chosen, so the programs the palette starts (the browser) get the user's setting.
void chooseX11Platform();

} // namespace platform
