#include "platform/wayland/wayland_desktop.h"
#include "platform/input_mode_key.h"
#include "platform/wayland/data_control_clipboard.h"
#include "platform/wayland/key_senders.h"
#include "platform/wayland/native_windows.h"
#include "platform/wayland/wayland_connection.h"
#include <chrono>
#include <cstdio>

namespace platform::wayland {

namespace {

using namespace std::chrono_literals;
// Native windows are told apart from X11 ones (29-bit ids) by this bit; the rest is the id.
constexpr WindowHandle kNativeWindowBit = WindowHandle{1} << 62;
// Whatever native window has the focus, on a compositor that does not say which (GNOME), where
// the focus stays in it while the palette is clicked.
constexpr WindowHandle kFocusedNativeWindow = kNativeWindowBit | (kNativeWindowBit - 1);
// sway activated a window in 20–33 ms here; one that is not active after this long was refused.
constexpr auto kActivationTimeout = 200ms;
// Each wait for the compositor's word is cut into steps this long, so the X11 side is looked at too.
constexpr auto kActivationPollStep = 5ms;

} // namespace

std::unique_ptr<WaylandDesktop> WaylandDesktop::open(Desktop& x11) {
    auto connection = Connection::open();
    if (!connection)
        return nullptr;
    std::unique_ptr<WaylandDesktop> desktop(new WaylandDesktop(x11, std::move(connection)));
    // sway and mutter answer at once: the routes are there before the palette's window is.
    // A compositor that takes longer (KWin looking up the program's desktop file on a loaded
    // machine) gives them later, from the event loop.
    desktop->connection_->roundtrip();
    return desktop;
}

WaylandDesktop::WaylandDesktop(Desktop& x11, std::unique_ptr<Connection> connection)
    : x11_(x11), connection_(std::move(connection)) {
    connection_->onGlobalsKnown = [this] { chooseRoutes(); };
}

void WaylandDesktop::chooseRoutes() {
    Connection& c = *connection_;
    if ((windows_ = foreignToplevels(c)))
        windowsRoute_ = "zwlr_foreign_toplevel_manager_v1";
    else if ((windows_ = plasmaWindows(c)))
        windowsRoute_ = "org_kde_plasma_window_management";
    clipboard_ = DataControlClipboard::open(c);
    if ((keys_ = virtualKeyboard(c)))
        keysRoute_ = "zwp_virtual_keyboard_manager_v1";
    else if ((keys_ = kdeFakeInput(c)))
        keysRoute_ = "org_kde_kwin_fake_input";
    else if ((keys_ = mutterRemoteDesktop()))
        keysRoute_ = "org.gnome.Mutter.RemoteDesktop";
    // One line for whoever looks into why a paste did or did not type.
    std::fprintf(stderr, "pikome: Wayland routes: %s\n", routes().c_str());
}

bool WaylandDesktop::routesKnown() {
    if (!connection_->globalsKnown())
        connection_->dispatchPending();
    return connection_->globalsKnown() && !connection_->broken();
}

WaylandDesktop::~WaylandDesktop() {
    // The routes go before the connection they were made on.
    keys_.reset();
    clipboard_.reset();
    windows_.reset();
}

std::string WaylandDesktop::routes() const {
    auto or_none = [](const std::string& s) { return s.empty() ? std::string("none") : s; };
    return "windows=" + or_none(windowsRoute_) +
           " clipboard=" + (clipboard_ ? std::string("zwlr_data_control_manager_v1") : std::string("X11")) +
           " keys=" + or_none(keysRoute_);
}

bool WaylandDesktop::isNative(WindowHandle window) const {
    return window != kUnreachableWindow && (window & kNativeWindowBit) != 0;
}

bool WaylandDesktop::focusOutsideX11() {
    return x11_.foregroundWindow() == kUnreachableWindow;
}

WindowHandle WaylandDesktop::foregroundWindow() {
    const WindowHandle x11Window = x11_.foregroundWindow();
    if (x11Window != kUnreachableWindow || !routesKnown() || !keys_)
        return x11Window;
    if (!windows_)
        return kFocusedNativeWindow;
    connection_->dispatchPending();
    const auto active = windows_->active();
    return active ? kNativeWindowBit | active : 0;
}

bool WaylandDesktop::setForegroundWindow(WindowHandle window) {
    if (!isNative(window))
        return x11_.setForegroundWindow(window);
    if (!routesKnown() || !keys_)
        return false;
    if (window == kFocusedNativeWindow)
        return !windows_ && focusOutsideX11();
    if (!windows_)
        return false;
    const auto id = window & ~kNativeWindowBit;
    auto arrived = [&] {
        connection_->dispatchPending();
        return windows_->active() == id && focusOutsideX11();
    };
    if (arrived())
        return true;
    if (!windows_->activate(id))
        return false;
    const auto deadline = std::chrono::steady_clock::now() + kActivationTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!connection_->dispatchFor(kActivationPollStep))
            return false;
        if (arrived())
            return true;
    }
    return false;
}

bool WaylandDesktop::sendKeys(std::string_view keys, bool wait) {
    if (!routesKnown() || !keys_ || !focusOutsideX11())
        return x11_.sendKeys(keys, wait);
    // The input-mode key is the one every Linux backend sends, not the notation's Alt+Kanji.
    if (keys == "%{kanji}") {
        constexpr KeyStroke inputMode = inputModeKey();
        const KeyChord chord[] = {{inputMode.control, inputMode.alt, false, inputMode.keysym}};
        return keys_->send(chord, wait);
    }
    const auto chords = readKeyNotation(keys);
    return chords && keys_->send(*chords, wait);
}

WindowClipboard* WaylandDesktop::clipboardReaching(WindowHandle window) {
    if (window != kUnreachableWindow && !isNative(window))
        return nullptr;
    if (!routesKnown() || !clipboard_)
        return nullptr;
    return clipboard_.get();
}

bool WaylandDesktop::pastesFromCopyOfClipboard(WindowHandle window) {
    return window == kFocusedNativeWindow && !clipboard_;
}

} // namespace platform::wayland
