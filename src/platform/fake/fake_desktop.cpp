#include "platform/fake/fake_desktop.h"
#include <algorithm>

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
    foreground = window;
    if (onForegroundSwitch)
        onForegroundSwitch(window);
    return true;
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

} // namespace platform
