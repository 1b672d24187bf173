#pragma once
// Everything the palette asks of the desktop it runs on, behind one small interface: one
// implementation per desktop (x11/), and a scriptable, recording fake for tests (fake/).
// Plain C++ only, so a Windows backend drops in beside the X11 one.
#include "platform/clipboard_snapshot.h"
#include "platform/window_clipboard.h"
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A top-level window of the desktop; 0 means none.
using WindowHandle = std::uint64_t;

// The window the user works in when the program can see that there is one but cannot address
// it: on a Wayland session the program reaches the desktop through XWayland, and a native
// Wayland window is neither named to it nor reachable by its keystrokes. No real handle has
// this value (X11 window ids use 29 bits).
inline constexpr WindowHandle kUnreachableWindow = ~WindowHandle{0};

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// Pixels the window manager's frame adds around a window's client area.
struct FrameExtents {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
};

enum class OsFamily { WindowsNT, Windows9x, Linux };

class Desktop {
public:
    virtual ~Desktop() = default;

    // The height of a window caption in pixels (Windows: SM_CYCAPTION; X11: the window
    // manager's top frame extent). Measured once; later calls return the same value.
    virtual int captionHeightPixels() = 0;
    // The frame the window manager gives a new top-level window, known before it is mapped.
    virtual FrameExtents predictedFrameExtents() = 0;
    // Calls changed with the frame each time the window manager sets the frame of the window
    // (X11: its _NET_FRAME_EXTENTS), and once at the start if it has one already. The call comes
    // from the event loop, after the toolkit has seen the same change. Some window managers
    // never answer the question behind predictedFrameExtents(); the frame of the mapped window
    // is their only word on it. A desktop whose frames are known ahead calls nothing.
    virtual void watchFrameExtents(WindowHandle window, std::function<void(FrameExtents)> changed) {
        (void)window;
        (void)changed;
    }
    // Tells the window manager that the window is a small persistent utility window, a palette:
    // tiling window managers (i3) float such a window at its own place and size instead of
    // making it a tile. Before the window is first shown.
    virtual void markAsUtilityWindow(WindowHandle window) { (void)window; }

    virtual OsFamily osFamily() = 0;
    // The operating system's version as major.minor (Linux: the kernel's, e.g. 6.1).
    virtual double osVersion() = 0;
    // The usable screen area in pixels (without panels and task bars).
    virtual Rect workArea() = 0;

    // Puts the live window into the always-on-top band (on) or takes it out (off), without
    // hiding, moving or resizing it. Returns true when the request was made.
    virtual bool setTopmost(WindowHandle window, bool on) = 0;

    // The window that has the keyboard focus now, 0 when there is none, kUnreachableWindow when
    // the focus is in a window the program cannot reach.
    virtual WindowHandle foregroundWindow() = 0;
    // Brings the window to the foreground; true only when it really is the foreground window
    // afterwards (within a short bound). A closed window gives false, never a crash; so does
    // kUnreachableWindow.
    virtual bool setForegroundWindow(WindowHandle window) = 0;
    // Asks for the window to come to the foreground and returns at once, for a window whose
    // coming forward nothing waits on (the program's own palette, which never takes the focus:
    // waiting for the focus to arrive there would hold the program for the whole bound).
    virtual void askForForeground(WindowHandle window) { setForegroundWindow(window); }
    // Synthetic keystrokes to the foreground window in the notation "^v" (Ctrl+V), "^+v"
    // (Ctrl+Shift+V), "+{INSERT}" (Shift+Insert), "%{kanji}" (the input-method on/off key:
    // Alt+Kanji on Windows, inputModeKey() on Linux desktops), "{ENTER}", "{TAB}". With wait,
    // returns once the keystrokes have been delivered to the window system. Returns false for
    // a notation it does not know.
    virtual bool sendKeys(std::string_view keys, bool wait) = 0;
    // The names that tell which program made the window, so that a paste can use the keystroke
    // that program pastes with: on X11 the class and then the instance of its WM_CLASS
    // ("XTerm", "xterm"); a native Wayland window's app_id; a Windows window's class name.
    // Empty when the window is gone or the desktop cannot tell: the paste then uses Ctrl+V.
    virtual std::vector<std::string> windowClassNames(WindowHandle window) {
        (void)window;
        return {};
    }

    // The mouse cursor's position on the screen in pixels.
    virtual Point cursorPos() = 0;
    // Milliseconds since an arbitrary start; wraps modulo 2^32 like GetTickCount.
    virtual std::uint32_t tickCount() = 0;
    virtual void beep() = 0;
    // Opens the address with the desktop's default browser; true when the request was handed on.
    virtual bool openUrl(std::string_view url) = 0;
    // Every format the clipboard's owner offers, as bytes, read within boundMs (an owner that
    // never answers costs the bound; a transfer in parts that keeps coming may take up to ten
    // times as long, never more). nullopt: this desktop leaves reading the clipboard to the
    // toolkit.
    virtual std::optional<ClipboardSnapshot> readClipboard(int boundMs) {
        (void)boundMs;
        return std::nullopt;
    }
    // The primary selection (X11: the text the user last highlighted, which the middle button
    // pastes, and Shift+Insert in many terminals), read as readClipboard reads the clipboard.
    // nullopt: this desktop has no primary selection (Windows), or leaves it to the toolkit.
    virtual std::optional<ClipboardSnapshot> readPrimarySelection(int boundMs) {
        (void)boundMs;
        return std::nullopt;
    }
    // Whether the window system has the clipboard with this program (the one that made
    // window). A toolkit may believe it owns the clipboard when the window system refused it
    // (another program took it later by the server's clock). nullopt: this desktop cannot tell.
    virtual std::optional<bool> clipboardOwnedWith(WindowHandle window) {
        (void)window;
        return std::nullopt;
    }
    // True on a desktop where the compositor may refuse to hand the focus to another window at
    // the program's request (a Wayland session: sway by default only marks the window urgent).
    virtual bool mayRefuseForegroundSwitch() { return false; }
    // The clipboard the window pastes from when it is not the toolkit's (a native window on a
    // Wayland session pastes from the compositor's, which follows the toolkit's X11 clipboard
    // only while an X11 window has the focus on some compositors); also for kUnreachableWindow.
    // nullptr: the toolkit's clipboard reaches the window, as on X11 and Windows. The desktop
    // keeps what it returns.
    virtual WindowClipboard* clipboardReaching(WindowHandle window) {
        (void)window;
        return nullptr;
    }
    // True when the window pastes from a copy that the window system makes of the toolkit's
    // clipboard (mutter copies the X11 clipboard to its own for native Wayland windows): the
    // window system reads the new clipboard for its copy, and a paste keystroke before that
    // pastes the old one.
    virtual bool pastesFromCopyOfClipboard(WindowHandle window) {
        (void)window;
        return false;
    }

    // Notices: the desktop tells the program what changed, so that an idle program sleeps
    // instead of asking again and again. They come on the thread that runs the program's event
    // loop. A desktop that cannot give one says so (false), and the program asks at intervals.

    // Calls mayHaveChanged whenever the window with the keyboard focus may have changed (X11:
    // the root's _NET_ACTIVE_WINDOW changed; Windows: EVENT_SYSTEM_FOREGROUND), until replaced
    // by another call; an empty function ends the notices.
    virtual bool watchForeground(std::function<void()> mayHaveChanged) {
        (void)mayHaveChanged;
        return false;
    }
    // Calls moved once, at the pointer's next move: a motion of a pointing device anywhere on
    // the screen, or the pointer crossing into or out of the window (its frame included), which
    // is all a program that warps the pointer shows. False when this desktop cannot tell, or
    // when the pointer is no longer at restingAt (it moved while the notice was being set up);
    // moved is then never called. A later call or cancelPointerNotice() replaces the notice.
    virtual bool notifyWhenPointerMoves(Point restingAt, WindowHandle window, std::function<void()> moved) {
        (void)restingAt;
        (void)window;
        (void)moved;
        return false;
    }
    virtual void cancelPointerNotice() {}
};

} // namespace platform
