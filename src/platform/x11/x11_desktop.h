#pragma once
// The desktop on X11 under an EWMH window manager (openbox, xfwm4, KWin, Mutter …). Callers need
// no X headers: the connection is passed as an opaque pointer.
#include "platform/desktop.h"
#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct _XDisplay;

namespace platform {

namespace x11 {
class KeyInjector;
class PointerWatch;
class PropertyNotices;
} // namespace x11

class X11Desktop : public Desktop {
public:
    // Works on a connection it does not own; the program passes Qt's. Destroy the desktop before
    // the connection closes: it gives back the keycodes it borrowed for keysyms the layout lacks.
    explicit X11Desktop(_XDisplay* display);
    // Opens a connection of its own (nullptr: $DISPLAY) and closes it when destroyed; nullptr when
    // the server cannot be reached.
    static std::unique_ptr<X11Desktop> open(const char* displayName = nullptr);
    ~X11Desktop() override;
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    // The connection broke (the server hung up, or a call found it gone), or was given up at
    // the end: nothing more is asked of it, and every call fails quietly.
    bool unusable() const;

    // Without a window manager (or one that does not answer _NET_REQUEST_FRAME_EXTENTS in time)
    // both report no frame: with no window manager that is the truth, and otherwise windows are
    // placed by their client area, off by the frame at most.
    int captionHeightPixels() override;
    FrameExtents predictedFrameExtents() override;
    // Follows the window's _NET_FRAME_EXTENTS through the property notices Qt receives for its
    // own windows; needs a QCoreApplication. KWin never offers _NET_REQUEST_FRAME_EXTENTS and
    // fluxbox offers it but never answers: both set the property on the mapped window.
    void watchFrameExtents(WindowHandle window, std::function<void(FrameExtents)> changed) override;
    void markAsUtilityWindow(WindowHandle window) override;

    OsFamily osFamily() override { return OsFamily::Linux; }
    // The kernel's release, major.minor with the minor's digits as decimals: "6.1.0-28" → 6.1,
    // "6.18.44" → 6.18.
    double osVersion() override;
    // The first desktop's _NET_WORKAREA, or the whole root window without a window manager.
    Rect workArea() override;

    bool setTopmost(WindowHandle window, bool on) override;
    // The window manager's _NET_ACTIVE_WINDOW: a client window, as Qt's winId() of a top-level.
    // On a Wayland session no active X11 window means the focus is in a native Wayland window
    // (or on no window at all), which keystrokes through XWayland cannot reach: then
    // kUnreachableWindow. (sway sets _NET_ACTIVE_WINDOW to None and the X focus to
    // PointerRoot when a Wayland window takes the focus.)
    WindowHandle foregroundWindow() override;
    // True once the window manager reports the client active and the keyboard focus is in it.
    // Also accepts a frame window or a child of the client; compares with the client it belongs to.
    bool setForegroundWindow(WindowHandle window) override;
    void askForForeground(WindowHandle window) override;
    bool sendKeys(std::string_view keys, bool wait) override;
    // WM_CLASS of the client window the window is or frames: its class, then its instance.
    std::vector<std::string> windowClassNames(WindowHandle window) override;

    Point cursorPos() override;
    std::uint32_t tickCount() override;
    void beep() override;
    // Starts xdg-open detached (its own session, never our child for long, so no zombie); true
    // when it could be started.
    bool openUrl(std::string_view url) override;
    // Over a connection of its own, so Qt's connection never waits on a silent owner.
    std::optional<ClipboardSnapshot> readClipboard(int boundMs) override;
    std::optional<ClipboardSnapshot> readPrimarySelection(int boundMs) override;
    std::optional<bool> clipboardOwnedWith(WindowHandle window) override;
    bool mayRefuseForegroundSwitch() override { return waylandSession_; }
    // From the root's _NET_ACTIVE_WINDOW changing, as Qt reads it: only on Qt's own connection.
    bool watchForeground(std::function<void()> mayHaveChanged) override;
    // Over a connection of its own (x11_pointer_watch.h); needs XInput 2.
    bool notifyWhenPointerMoves(Point restingAt, WindowHandle window, std::function<void()> moved) override;
    void cancelPointerNotice() override;

    _XDisplay* display() const { return display_; }

    // Before the process ends without Qt's own teardown (which does the same): the clipboard
    // this program (the one that made window) owns is handed to the clipboard manager, if one
    // runs, so that it outlives the program; serveRequests runs the program's event loop while
    // the manager fetches. True when the manager took it.
    bool handClipboardToManager(WindowHandle window, const std::function<void()>& serveRequests);

    // The process ends without its teardown, and the connection may be gone (the server died
    // or closed it): nothing more is asked over it; the work area is the last one seen. The
    // keycodes borrowed for missing keysyms are given back over a new connection if the server
    // still answers, since a dead connection cannot give them back.
    void abandonConnection();

private:
    X11Desktop(_XDisplay* display, bool ownsDisplay);

    // Atom and Window are XIDs, unsigned long in Xlib.
    using Xid = unsigned long;
    struct Atoms {
        Xid netActiveWindow = 0;
        Xid netFrameExtents = 0;
        Xid netRequestFrameExtents = 0;
        Xid netSupported = 0;
        Xid netSupportingWmCheck = 0;
        Xid netWmState = 0;
        Xid netWmStateAbove = 0;
        Xid netWmWindowType = 0;
        Xid netWmWindowTypeNormal = 0;
        Xid netWmWindowTypeUtility = 0;
        Xid netWorkarea = 0;
        Xid wmState = 0;
    };

    struct ClientWindow {
        Xid window = 0;
        // The window manager has taken it on (WM_STATE Normal or Iconic).
        bool managed = false;
    };

    // The window manager is asked for the frame extents as soon as the desktop is opened and
    // answers while the program builds its windows; the answer is read when first needed.
    void requestFrameExtents();
    FrameExtents receiveFrameExtents();
    bool windowManagerSupports(Xid atom);
    // The client window (the one with WM_STATE) that the window is, frames or belongs to; nullopt
    // when the window does not exist, the window itself (unmanaged) when no client is found.
    std::optional<ClientWindow> clientWindowOf(Xid window);
    // The window manager's _NET_ACTIVE_WINDOW as it is, 0 when none is active.
    Xid activeWindow();
    // The X keyboard focus is the client or inside it.
    bool hasKeyboardFocus(Xid client);

    // The questions asked on every tick of the idle palette (the active window, the pointer) go
    // over a connection of their own, opened on first use: on the connection Qt shares, every
    // reply also wakes Qt's event reader thread. Falls back to display_ if it cannot be opened.
    _XDisplay* queryDisplay();
    // Another connection to the same server, nullptr when it cannot be opened.
    _XDisplay* openSideConnection();

    _XDisplay* display_;
    _XDisplay* queryDisplay_ = nullptr;
    bool queryDisplayTried_ = false;
    bool ownsDisplay_;
    bool waylandSession_;
    Xid root_;
    Atoms atoms_;
    std::optional<FrameExtents> frameExtents_;
    Xid frameProbe_ = 0; // the unmapped window the extents were asked for, until answered
    std::unique_ptr<x11::KeyInjector> keys_;
    // On Qt's own connection only; made when first needed.
    x11::PropertyNotices* propertyNotices();
    std::unique_ptr<x11::PropertyNotices> propertyNotices_;
    bool propertyNoticesTried_ = false;
    std::unique_ptr<x11::PointerWatch> pointerWatch_;
    bool pointerWatchTried_ = false;
    bool connectionAbandoned_ = false;
    Rect lastWorkArea_{};
};

} // namespace platform
