#include "platform/windows/windows_desktop.h"
#include "platform/windows/win32.h"
#include "platform/windows/windows_clipboard_offer.h"
#include "platform/windows/windows_clipboard_reader.h"
#include "platform/windows/windows_foreground_watch.h"
#include "platform/windows/windows_keys.h"
#include <algorithm>
#include <chrono>
#include <shellapi.h>
#include <thread>

namespace platform {

namespace {

using namespace std::chrono_literals;
using windows::toHandle;
using windows::toHwnd;

// The foreground may follow SetForegroundWindow a little later: Wine returns before another
// process's window has taken the activation, which then came 0-4 ms later (18 ms the slowest of
// 40, idle machine). The bound leaves room for a busy target thread on a loaded machine; a paste
// into a window that has not come forward by then gives up.
constexpr auto kForegroundBound = 500ms;
// Each poll is one call into the window manager; a millisecond apart keeps the wait close to
// the activation's own time.
constexpr auto kPollInterval = 1ms;

// The style Qt 6.4 gives a top-level Qt::Window with a caption, a sizing frame and its buttons
// (WindowCreationData::fromWindow in qwindowswindow.cpp): WS_POPUP, not WS_OVERLAPPED, and no
// extended style that changes the frame (markAsUtilityWindow's do not).
constexpr DWORD kProgramWindowStyle = WS_POPUP | WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX |
                                      WS_MAXIMIZEBOX | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr DWORD kProgramWindowExStyle = 0;

// RtlGetVersion's status for success (STATUS_SUCCESS).
constexpr LONG kStatusSuccess = 0;

double versionNumber(DWORD major, DWORD minor) {
    double scale = 10.0;
    while (minor >= scale)
        scale *= 10.0;
    return double(major) + double(minor) / scale;
}

bool isLiveWindow(WindowHandle window) {
    HWND hwnd = toHwnd(window);
    return hwnd && IsWindow(hwnd);
}

} // namespace

WindowsDesktop::WindowsDesktop() {
    windows::serveSnapshotFormatsThroughQt();
}

WindowsDesktop::~WindowsDesktop() = default;

int WindowsDesktop::captionHeightPixels() {
    if (!captionHeight_)
        captionHeight_ = GetSystemMetrics(SM_CYCAPTION);
    return *captionHeight_;
}

FrameExtents WindowsDesktop::predictedFrameExtents() {
    // At the system's DPI, as GetSystemMetrics measures, which is the primary screen's at logon:
    // Qt uses AdjustWindowRectExForDpi with the window's screen, the same on that screen.
    RECT frame{0, 0, 0, 0};
    if (!AdjustWindowRectEx(&frame, kProgramWindowStyle, FALSE, kProgramWindowExStyle))
        return {};
    // Qt 6.4 reports the frame the user sees: AdjustWindowRectEx's less the resize borders that
    // Windows 10 and later draw invisible on the left, right and bottom (QWindowsWindow::
    // frameMargins and invisibleMargins in qwindowswindow.cpp), and places windows by it.
    const int invisible = GetSystemMetrics(SM_CXSIZEFRAME) + GetSystemMetrics(SM_CXPADDEDBORDER);
    auto visible = [&](LONG side) { return std::max(0, int(side) - invisible); };
    return {visible(-frame.left), visible(frame.right), int(-frame.top), visible(frame.bottom)};
}

void WindowsDesktop::markAsUtilityWindow(WindowHandle window) {
    // Qt answers WM_MOUSEACTIVATE (and WM_POINTERACTIVATE) with MA_NOACTIVATE for a
    // Qt::WindowDoesNotAcceptFocus window, so a click in the palette leaves the user's window in
    // the foreground, but it never sets WS_EX_NOACTIVATE (Qt 6.4's qwindowswindow.cpp and
    // qwindowscontext.cpp). Windows documents what the style adds: the window does not become
    // the foreground window when the user clicks it (its caption too: DefWindowProc activates a
    // window whose caption is pressed before it moves it, and so does Wine's by its source),
    // nor when the foreground window closes or is minimized, nor through accessibility tools.
    // Wine: a click on the caption that its window manager draws leaves the foreground where it
    // was with the style or without it (openbox, measured).
    //
    // Not WS_EX_TOOLWINDOW: on X11 the palette stays a normal window in the task list (its
    // utility type is for tiling window managers, which Windows has none of), and a tool window
    // has a smaller caption than the SM_CYCAPTION the palette's heights are made of, no
    // task-bar button and no place in Alt+Tab (a minimized palette would have nothing to come
    // back from).
    //
    // Qt sets the extended style anew when the window's flags change: the palette sets them
    // before its window is made, and never after.
    HWND hwnd = toHwnd(window);
    if (!hwnd || !IsWindow(hwnd))
        return;
    const LONG_PTR exStyle = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, exStyle | WS_EX_NOACTIVATE | WS_EX_APPWINDOW);
}

double WindowsDesktop::osVersion() {
    // GetVersionEx answers what the executable's manifest claims to support (6.2 without one);
    // ntdll's RtlGetVersion answers the truth.
    using RtlGetVersionFunction = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto rtlGetVersion = ntdll ? reinterpret_cast<RtlGetVersionFunction>(
                                     reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                               : nullptr;
    RTL_OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!rtlGetVersion || rtlGetVersion(&info) != kStatusSuccess)
        return 0.0;
    return versionNumber(info.dwMajorVersion, info.dwMinorVersion);
}

Rect WindowsDesktop::workArea() {
    RECT area{};
    if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0))
        return {int(area.left), int(area.top), int(area.right - area.left), int(area.bottom - area.top)};
    return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

bool WindowsDesktop::setTopmost(WindowHandle window, bool on) {
    if (!isLiveWindow(window))
        return false;
    return SetWindowPos(toHwnd(window), on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                        SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE) != 0;
}

WindowHandle WindowsDesktop::foregroundWindow() {
    // NULL while the foreground is changing and on a desktop the program cannot see (a UAC
    // prompt, the lock screen).
    return toHandle(GetForegroundWindow());
}

bool WindowsDesktop::setForegroundWindow(WindowHandle window) {
    if (!isLiveWindow(window))
        return false;
    HWND hwnd = toHwnd(window);
    if (GetForegroundWindow() == hwnd)
        return true;
    // Windows lets a process change the foreground only while it may (it is the foreground
    // process, or it received the last input event …): the palette calls this right after the
    // click on one of its buttons, so it may, although the click left the foreground where it
    // was. Refused, SetForegroundWindow flashes the window's task-bar button instead and returns
    // false. No AttachThreadInput to force it: the program only ever needs it in the moments it
    // is allowed anyway, and joining the input state of another thread ties our thread to a
    // window that may hang. Wine: lets every SetForegroundWindow through.
    if (!SetForegroundWindow(hwnd))
        return GetForegroundWindow() == hwnd;
    const auto deadline = std::chrono::steady_clock::now() + kForegroundBound;
    for (;;) {
        if (GetForegroundWindow() == hwnd)
            return true;
        if (!IsWindow(hwnd) || std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(kPollInterval);
    }
}

void WindowsDesktop::askForForeground(WindowHandle window) {
    // For the palette, when the program is started a second time: Qt has shown and raised it
    // already. The first copy got no input, so on Windows this works only when the second copy
    // let it (AllowSetForegroundWindow with the first copy's process before it asks); otherwise
    // the palette's task-bar button flashes. Wine: lets it through.
    if (isLiveWindow(window))
        SetForegroundWindow(toHwnd(window));
}

bool WindowsDesktop::sendKeys(std::string_view keys, bool wait) {
    (void)wait;
    const auto chord = windows::chordFor(keys);
    return chord && windows::sendChord(*chord);
}

std::vector<std::string> WindowsDesktop::windowClassNames(WindowHandle window) {
    if (!isLiveWindow(window))
        return {};
    // Class names are at most 256 characters.
    wchar_t name[257];
    const int n = GetClassNameW(toHwnd(window), name, int(std::size(name)));
    if (n <= 0)
        return {};
    return {windows::utf8(std::wstring_view(name, std::size_t(n)))};
}

Point WindowsDesktop::cursorPos() {
    // Fails while another desktop has the input (a UAC prompt): the last position stands.
    POINT p{};
    if (GetCursorPos(&p))
        lastCursorPos_ = {int(p.x), int(p.y)};
    return lastCursorPos_;
}

std::uint32_t WindowsDesktop::tickCount() {
    return std::uint32_t(GetTickCount());
}

void WindowsDesktop::beep() {
    MessageBeep(MB_OK);
}

bool WindowsDesktop::openUrl(std::string_view url) {
    if (url.empty())
        return false;
    const std::wstring address = windows::utf16(url);
    // ShellExecute returns a value above 32 when it handed the address on.
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

std::optional<ClipboardSnapshot> WindowsDesktop::readClipboard(int boundMs) {
    return windows::readClipboard(boundMs);
}

std::optional<bool> WindowsDesktop::clipboardOwnedWith(WindowHandle window) {
    HWND owner = GetClipboardOwner();
    if (!owner)
        return false;
    DWORD ownerProcess = 0;
    if (!GetWindowThreadProcessId(owner, &ownerProcess))
        return false;
    DWORD program = GetCurrentProcessId();
    if (isLiveWindow(window))
        GetWindowThreadProcessId(toHwnd(window), &program);
    return ownerProcess == program;
}

bool WindowsDesktop::watchForeground(std::function<void()> mayHaveChanged) {
    // WORKAROUND: Wine 8.0 never raises EVENT_SYSTEM_FOREGROUND (set_foreground_window notifies
    // no WinEvent; measured: four foreground changes between two processes, no event, while a
    // NotifyWinEvent of our own arrives); there the program asks at intervals.
    if (windows::runsUnderWine())
        return false;
    if (!mayHaveChanged) {
        foregroundWatch_.reset();
        return true;
    }
    if (foregroundWatch_) {
        foregroundWatch_->tell(std::move(mayHaveChanged));
        return true;
    }
    foregroundWatch_ = windows::ForegroundWatch::start(std::move(mayHaveChanged));
    return foregroundWatch_ != nullptr;
}

} // namespace platform
