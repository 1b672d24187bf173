#pragma once
// Synthetic keystrokes through the XTest extension, including keysyms the keyboard layout lacks
// (the default Xvfb and many Western layouts have no Kanji key).
#include <X11/Xlib.h>
#include <chrono>
#include <span>
#include <vector>

namespace platform::x11 {

// One key pressed while modifiers are held.
struct KeyChord {
    bool control = false;
    bool alt = false;
    bool shift = false;
    KeySym key = NoSymbol;
};

class KeyInjector {
public:
    explicit KeyInjector(Display* display);
    // Gives back the keycodes borrowed for missing keysyms.
    ~KeyInjector();
    KeyInjector(const KeyInjector&) = delete;
    KeyInjector& operator=(const KeyInjector&) = delete;

    bool available() const { return available_; }
    // Presses and releases every chord in order. With wait, returns once the server has
    // processed the events; otherwise only flushes them. False when XTest is missing or a key
    // cannot be typed (no keycode and no spare keycode to borrow).
    bool send(std::span<const KeyChord> chords, bool wait);
    // For a connection that is gone: gives the borrowed keycodes back over another connection to
    // the same server, and forgets them.
    void giveBackOver(Display* display);
    // The connection is gone and nothing can be given back over it (or it was, over another).
    void forgetBorrowedKeycodes() { borrowed_.clear(); }

private:
    struct Borrowed {
        KeyCode code;
        KeySym sym;
    };
    class Keymap;

    KeyCode keycodeFor(Keymap& keymap, KeySym sym);
    KeyCode borrowSpareKeycode(Keymap& keymap, KeySym sym);
    void giveBackBorrowedKeycodes(Display* display);

    Display* display_;
    bool available_ = false;
    std::vector<Borrowed> borrowed_;
    std::chrono::steady_clock::time_point lastSend_{};
};

} // namespace platform::x11
