#pragma once
// The desktop of a Wayland session: the palette's windows live on X11 (through XWayland) and X11
// windows are reached as on X11, while native Wayland windows are reached over a connection of
// the program's own to the compositor, by the routes the compositor offers:
//   - which native window is active, and activating it again: wlroots' foreign-toplevel
//     management (sway), KDE's plasma window management (KWin);
//   - the clipboard it pastes from: wlroots' data control (sway, KWin); elsewhere the
//     compositor copies the X11 clipboard to its own (mutter, weston);
//   - keystrokes: wlroots' virtual keyboard (sway), KDE's fake input (KWin), mutter's
//     RemoteDesktop service on the session bus (GNOME).
// Where no keystrokes can reach a native window (weston, cage, an unknown compositor) it stays
// kUnreachableWindow, and the palette puts the entry on the clipboard for the user's own paste.
#include "platform/desktop.h"
#include <memory>
#include <string>

namespace platform::wayland {

class Connection;
class NativeWindows;
class KeySender;
class DataControlClipboard;

class WaylandDesktop : public Desktop {
public:
    // The routes of this session's compositor (WAYLAND_DISPLAY, the session bus), over the X11
    // desktop the palette's windows live on; nullptr when there is no Wayland compositor to talk
    // to. The routes are chosen when the compositor first answers (and named on the standard
    // error then); until then the desktop is the X11 one.
    static std::unique_ptr<WaylandDesktop> open(Desktop& x11);
    ~WaylandDesktop() override;

    // Which routes were found, for the standard error and the tests: "windows=… clipboard=… keys=…".
    std::string routes() const;

    int captionHeightPixels() override { return x11_.captionHeightPixels(); }
    FrameExtents predictedFrameExtents() override { return x11_.predictedFrameExtents(); }
    OsFamily osFamily() override { return x11_.osFamily(); }
    double osVersion() override { return x11_.osVersion(); }
    Rect workArea() override { return x11_.workArea(); }
    bool setTopmost(WindowHandle window, bool on) override { return x11_.setTopmost(window, on); }
    // An X11 window as on X11; else the active native window, when the compositor names it;
    // else, when keys can reach whatever native window has the focus (GNOME), that one.
    WindowHandle foregroundWindow() override;
    // A native window is activated through the compositor and counts once the compositor reports
    // it active and no X11 window has the focus.
    bool setForegroundWindow(WindowHandle window) override;
    void askForForeground(WindowHandle window) override {
        if (isNative(window))
            setForegroundWindow(window);
        else
            x11_.askForForeground(window);
    }
    // Into a native window through the compositor's route; into an X11 window as on X11.
    bool sendKeys(std::string_view keys, bool wait) override;
    Point cursorPos() override { return x11_.cursorPos(); }
    std::uint32_t tickCount() override { return x11_.tickCount(); }
    void beep() override { x11_.beep(); }
    bool openUrl(std::string_view url) override { return x11_.openUrl(url); }
    std::optional<ClipboardSnapshot> readClipboard(int boundMs) override {
        return x11_.readClipboard(boundMs);
    }
    std::optional<bool> clipboardOwnedWith(WindowHandle window) override {
        return x11_.clipboardOwnedWith(window);
    }
    bool mayRefuseForegroundSwitch() override { return x11_.mayRefuseForegroundSwitch(); }
    WindowClipboard* clipboardReaching(WindowHandle window) override;
    // mutter's native windows paste from its copy of the X11 clipboard.
    bool pastesFromCopyOfClipboard(WindowHandle window) override;

private:
    WaylandDesktop(Desktop& x11, std::unique_ptr<Connection> connection);
    void chooseRoutes();
    // The compositor has answered and the connection holds.
    bool routesKnown();
    bool isNative(WindowHandle window) const;
    // No X11 window has the focus: it is in a native window, or nowhere.
    bool focusOutsideX11();

    Desktop& x11_;
    std::unique_ptr<Connection> connection_;
    std::unique_ptr<NativeWindows> windows_;
    std::unique_ptr<DataControlClipboard> clipboard_;
    std::unique_ptr<KeySender> keys_;
    std::string windowsRoute_, keysRoute_;
};

} // namespace platform::wayland
