#pragma once
// Synthetic keystrokes into the focused window of a Wayland session, whatever window that is
// (native or XWayland): one implementation per route a compositor offers.
#include "platform/wayland/key_notation.h"
#include <memory>
#include <span>

namespace platform::wayland {

class Connection;

class KeySender {
public:
    virtual ~KeySender() = default;
    // Presses and releases every chord in order. With wait, returns once the compositor has
    // handled them. False when a key cannot be typed or the route has gone.
    virtual bool send(std::span<const KeyChord> chords, bool wait) = 0;
};

// wlroots compositors (sway): zwp_virtual_keyboard_manager_v1, with a keymap of the program's
// own that holds every keysym asked for; nullptr when not offered. The keyboard is made at once
// and kept for the whole run: a seat's keyboard that comes and goes loses keys.
std::unique_ptr<KeySender> virtualKeyboard(Connection& connection);
// KWin: org_kde_kwin_fake_input, for a program its desktop file lets have it; keys by the
// seat's own layout. nullptr when not offered.
std::unique_ptr<KeySender> kdeFakeInput(Connection& connection);
// GNOME: mutter's RemoteDesktop service on the session bus; nullptr when it is not there.
std::unique_ptr<KeySender> mutterRemoteDesktop();

} // namespace platform::wayland
