#pragma once
// The compositor's list of top-level windows, native ones included, which X11 does not see:
// which one is active, and activating one again. One implementation per protocol family
// (wlroots' foreign-toplevel management, KDE's plasma window management).
#include <cstdint>
#include <memory>

namespace platform::wayland {

class Connection;

class NativeWindows {
public:
    // A window of the list; ids are never reused in a run, and 0 is none.
    using Id = std::uint64_t;
    virtual ~NativeWindows() = default;
    // The window the compositor has activated, as of the events handled so far; 0 when none is.
    virtual Id active() const = 0;
    // Asks the compositor to activate the window (give it the keyboard focus); false when the
    // window has gone. The answer comes as events: active() tells when it took.
    virtual bool activate(Id window) = 0;
};

// wlroots compositors (sway): zwlr_foreign_toplevel_manager_v1; nullptr when not offered.
std::unique_ptr<NativeWindows> foreignToplevels(Connection& connection);
// KWin: org_kde_plasma_window_management, for a program its desktop file lets have it;
// the program's own windows are left out. nullptr when not offered.
std::unique_ptr<NativeWindows> plasmaWindows(Connection& connection);

} // namespace platform::wayland
