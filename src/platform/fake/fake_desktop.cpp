#include "platform/fake/fake_desktop.h"
#include <algorithm>
#include <utility>

namespace platform {

bool FakeDesktop::setTopmost(WindowHandle window, bool on) {
    topmostCalls.push_back({window, on});
    return true;
}

bool FakeDesktop::setForegroundWindow(WindowHandle window) {
    foregroundRequests.push_back(window);
    if (window == 0 || window == kUnreachableWindow ||
        std::find(refusingWindows.begin(), refusingWindows.end(), window) != refusingWindows.end())
        return false;
    focusWindow(window);
    if (onForegroundSwitch)
        onForegroundSwitch(window);
    return true;
}

bool FakeDesktop::watchForeground(std::function<void()> mayHaveChanged) {
    foregroundChanged_ = givesNotices ? std::move(mayHaveChanged) : nullptr;
    return givesNotices;
}

bool FakeDesktop::notifyWhenPointerMoves(Point restingAt, WindowHandle, std::function<void()> moved) {
    pointerMoved_ = nullptr;
    if (!givesNotices || !(restingAt == cursor))
        return false;
    pointerMoved_ = std::move(moved);
    return true;
}

void FakeDesktop::focusWindow(WindowHandle window) {
    foreground = window;
    if (foregroundChanged_)
        foregroundChanged_();
}

void FakeDesktop::movePointer(Point to) {
    cursor = to;
    // Told once, as a real desktop does.
    if (auto moved = std::exchange(pointerMoved_, nullptr))
        moved();
}

bool FakeDesktop::sendKeys(std::string_view text, bool wait) {
    keys.push_back({std::string(text), wait, tickCount(), foreground});
    if (onSendKeys)
        onSendKeys(keys.back().keys);
    return text == "^v" || text == "^+v" || text == "+{INSERT}" || text == "%{kanji}" || text == "{ENTER}" ||
           text == "{TAB}";
}

std::vector<std::string> FakeDesktop::windowClassNames(WindowHandle window) {
    const auto it = windowClasses.find(window);
    return it == windowClasses.end() ? std::vector<std::string>{} : it->second;
}

std::uint32_t FakeDesktop::tickCount() {
    if (manualTick)
        return *manualTick;
    auto elapsed = std::chrono::steady_clock::now() - start_;
    return std::uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

std::optional<ClipboardSnapshot> FakeDesktop::readClipboard(int boundMs) {
    clipboardReadBounds.push_back(boundMs);
    return clipboardSnapshot;
}

bool FakeDesktop::openUrl(std::string_view url) {
    openedUrls.emplace_back(url);
    return true;
}

WindowClipboard* FakeDesktop::clipboardReaching(WindowHandle window) {
    const bool native = window == kUnreachableWindow ||
                        std::find(nativeWindows.begin(), nativeWindows.end(), window) != nativeWindows.end();
    return native && hasWindowClipboard ? &windowClipboard : nullptr;
}

bool FakeDesktop::pastesFromCopyOfClipboard(WindowHandle window) {
    return std::find(windowsPastingFromCopy.begin(), windowsPastingFromCopy.end(), window) !=
           windowsPastingFromCopy.end();
}

bool FakeWindowClipboard::offer(const ClipboardSnapshot& formats, std::function<void()> onFetched) {
    held = formats;
    offeredByProgram = true;
    onFetched_ = std::move(onFetched);
    return true;
}

bool FakeWindowClipboard::offerText(const std::string& utf8, std::function<void()> onFetched) {
    return offer({{{"text/plain;charset=utf-8", utf8}}}, std::move(onFetched));
}

std::string FakeWindowClipboard::fetch() {
    if (offeredByProgram && onFetched_)
        onFetched_();
    return held.formats.empty() ? std::string() : held.formats.front().bytes;
}

void FakeWindowClipboard::setByOther(ClipboardSnapshot formats) {
    held = std::move(formats);
    offeredByProgram = false;
    onFetched_ = {};
}

} // namespace platform
