#pragma once
// The desktop on Windows (Win32), as the palette uses it: it never takes the focus, remembers the
// window the user works in, and types into it with the clipboard and SendInput. Callers need no
// Windows headers: windows are HWNDs carried in a WindowHandle.
#include "platform/desktop.h"
#include <memory>
#include <optional>

namespace platform {

namespace windows {
class ForegroundWatch;
} // namespace windows

class WindowsDesktop : public Desktop {
public:
    // Made after the QGuiApplication on Qt's "windows" platform: it then also teaches Qt to offer
    // again every clipboard format readClipboard() reads (windows_clipboard_offer.h). Made
    // without one, everything else works the same.
    WindowsDesktop();
    ~WindowsDesktop() override;
    WindowsDesktop(const WindowsDesktop&) = delete;
    WindowsDesktop& operator=(const WindowsDesktop&) = delete;

    // SM_CYCAPTION, as the program always measured it (start-up adds 8 on Windows 6.x itself).
    int captionHeightPixels() override;
    // The frame of a resizable top-level window with a caption as Qt makes the program's windows
    // and reports their frame once shown: AdjustWindowRectEx's, without the invisible resize
    // borders of Windows 10 and later on the left, right and bottom, as Qt 6.4 leaves them out.
    FrameExtents predictedFrameExtents() override;
    // WS_EX_NOACTIVATE (WS_EX_APPWINDOW keeps its task-bar button, which WS_EX_NOACTIVATE alone
    // takes away); see the definition for why not WS_EX_TOOLWINDOW.
    void markAsUtilityWindow(WindowHandle window) override;

    OsFamily osFamily() override { return OsFamily::WindowsNT; }
    // RtlGetVersion's major.minor, the minor's digits as decimals (6.1, 6.3, 10.0).
    double osVersion() override;
    // SPI_GETWORKAREA: the primary monitor without its task bar.
    Rect workArea() override;

    bool setTopmost(WindowHandle window, bool on) override;
    WindowHandle foregroundWindow() override;
    bool setForegroundWindow(WindowHandle window) override;
    void askForForeground(WindowHandle window) override;
    // SendInput puts the keystrokes into the system's input stream before it returns, the
    // counterpart of X11's "the server has processed them", so wait changes nothing: where they
    // go from there (the foreground thread's queue, then its focus window) no call can follow.
    bool sendKeys(std::string_view keys, bool wait) override;
    // The window's class name (GetClassNameW), as UTF-8.
    std::vector<std::string> windowClassNames(WindowHandle window) override;

    Point cursorPos() override;
    std::uint32_t tickCount() override;
    void beep() override;
    // ShellExecuteW "open": true when the shell took the request.
    bool openUrl(std::string_view url) override;
    // Every memory-based format (windows_clipboard_formats.h names them), read on a thread of its
    // own so that an owner that renders late costs the bound, not the program.
    std::optional<ClipboardSnapshot> readClipboard(int boundMs) override;
    // Whether the clipboard's owner (the window that emptied it last) belongs to the process that
    // made window: Qt owns the clipboard through OLE's own hidden window, never the palette's.
    std::optional<bool> clipboardOwnedWith(WindowHandle window) override;
    // EVENT_SYSTEM_FOREGROUND through an out-of-context WinEvent hook; needs the thread that made
    // the desktop to run a message loop (Qt's event loop does).
    bool watchForeground(std::function<void()> mayHaveChanged) override;

private:
    std::optional<int> captionHeight_;
    std::unique_ptr<windows::ForegroundWatch> foregroundWatch_;
    Point lastCursorPos_{};
};

} // namespace platform
