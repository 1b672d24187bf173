#pragma once
// A scriptable desktop for tests: every answer can be set, every request is recorded.
#include "platform/desktop.h"
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// A window system's clipboard apart from the toolkit's (a Wayland compositor's): it holds what
// was offered last, and fetch() plays a window pasting from it.
class FakeWindowClipboard : public WindowClipboard {
public:
    std::optional<ClipboardSnapshot> read(int) override { return held; }
    bool offer(const ClipboardSnapshot& formats, std::function<void()> onFetched) override;
    bool offerText(const std::string& utf8, std::function<void()> onFetched) override;
    bool stillOffered() override { return offeredByProgram; }
    // The first format's bytes, as a pasting window gets them; counts as the program's fetch.
    std::string fetch();
    // Another program sets the clipboard.
    void setByOther(ClipboardSnapshot formats);

    ClipboardSnapshot held;
    bool offeredByProgram = false;

private:
    std::function<void()> onFetched_;
};

class FakeDesktop : public Desktop {
public:
    struct TopmostCall {
        WindowHandle window;
        bool on;
    };
    struct KeyCall {
        std::string keys;
        bool wait;
        std::uint32_t tick;
        WindowHandle foreground;
    };

    int captionHeightPixels() override { return captionHeight; }
    FrameExtents predictedFrameExtents() override { return frame; }
    void watchFrameExtents(WindowHandle window, std::function<void(FrameExtents)> changed) override {
        frameWatched = window;
        onFrameExtents = std::move(changed);
    }
    void markAsUtilityWindow(WindowHandle window) override { utilityWindows.push_back(window); }
    OsFamily osFamily() override { return family; }
    double osVersion() override { return version; }
    Rect workArea() override { return area; }
    bool setTopmost(WindowHandle window, bool on) override;
    WindowHandle foregroundWindow() override { return foreground; }
    bool setForegroundWindow(WindowHandle window) override;
    bool sendKeys(std::string_view keys, bool wait) override;
    std::vector<std::string> windowClassNames(WindowHandle window) override;
    Point cursorPos() override { return cursor; }
    std::uint32_t tickCount() override;
    void beep() override { ++beeps; }
    bool openUrl(std::string_view url) override;
    std::optional<ClipboardSnapshot> readClipboard(int boundMs) override;
    std::optional<bool> clipboardOwnedWith(WindowHandle) override { return clipboardOwned; }
    bool mayRefuseForegroundSwitch() override { return waylandSession; }
    bool watchForeground(std::function<void()> mayHaveChanged) override;
    bool notifyWhenPointerMoves(Point restingAt, WindowHandle window, std::function<void()> moved) override;
    void cancelPointerNotice() override { pointerMoved_ = nullptr; }

    // What the user does, with the notices a real desktop gives of it: another window takes
    // the focus (0: none has it); the pointer moves.
    void focusWindow(WindowHandle window);
    void movePointer(Point to);
    bool pointerNoticeSet() const { return bool(pointerMoved_); }
    WindowClipboard* clipboardReaching(WindowHandle window) override;
    bool pastesFromCopyOfClipboard(WindowHandle window) override;

    // Scripted answers.
    int captionHeight = 20;
    FrameExtents frame{};
    OsFamily family = OsFamily::Linux;
    double version = 6.1;
    Rect area{0, 0, 1280, 1024};
    // kUnreachableWindow: the user works in a window the program cannot reach (a native window
    // on a Wayland session).
    WindowHandle foreground = 0;
    Point cursor{};
    // When set, the tick count stands still at this value until the test moves it: a test then
    // plays out timed steps in simulated time, exactly and fast.
    std::optional<std::uint32_t> manualTick;
    // Windows that refuse to come to the foreground (closed windows, for example).
    std::vector<WindowHandle> refusingWindows;
    // What reading the clipboard gives; by default the toolkit's clipboard is read instead.
    std::optional<ClipboardSnapshot> clipboardSnapshot;
    // Whether the window system has the clipboard with the program; by default the toolkit's
    // word is taken.
    std::optional<bool> clipboardOwned;
    // Each window's class names; a window not listed has none.
    std::map<WindowHandle, std::vector<std::string>> windowClasses;
    // A Wayland session, where the compositor may refuse a foreground switch.
    bool waylandSession = false;
    // Whether this desktop tells of changes (the focus, the pointer) or must be asked.
    bool givesNotices = true;
    // Native windows of a Wayland session, which paste from windowClipboard (so does
    // kUnreachableWindow) when hasWindowClipboard; and windows that paste from the window
    // system's copy of the toolkit's clipboard.
    std::vector<WindowHandle> nativeWindows;
    bool hasWindowClipboard = false;
    FakeWindowClipboard windowClipboard;
    std::vector<WindowHandle> windowsPastingFromCopy;
    // Called after each accepted foreground switch, e.g. to let a test react.
    std::function<void(WindowHandle)> onForegroundSwitch;
    // Called for each keystroke request after it is recorded, as the target would receive it
    // (a test reads the clipboard there as a pasting target does).
    std::function<void(const std::string& keys)> onSendKeys;

    // What was asked.
    std::vector<TopmostCall> topmostCalls;
    // The window whose frame is watched, and what to call when a test plays the window manager
    // setting a frame.
    WindowHandle frameWatched = 0;
    std::function<void(FrameExtents)> onFrameExtents;
    std::vector<WindowHandle> utilityWindows;
    std::vector<WindowHandle> foregroundRequests;
    std::vector<KeyCall> keys;
    std::vector<std::string> openedUrls;
    int beeps = 0;
    std::vector<int> clipboardReadBounds;

private:
    std::function<void()> foregroundChanged_;
    std::function<void()> pointerMoved_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

} // namespace platform
