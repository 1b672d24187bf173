#include "platform/x11/x11_keys.h"
#include "platform/x11/x11_error_trap.h"
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <memory>
#include <thread>

namespace platform::x11 {

namespace {

// A client that sees a key on a borrowed keycode looks the keycode up only when it handles the
// MappingNotify our binding caused; if the keycode has been given back by then, the key arrives
// as NoSymbol. Measured with Qt under Xvfb: 16 of 20 keys lost when giving back at once, 8 of 20
// at 2 ms, none at 5 or 10 ms. Borrowed keycodes therefore stay bound for the whole run (one
// MappingNotify per missing keysym instead of two per keystroke), and at the end we still leave
// the last keystroke this long before giving them back.
constexpr auto kGiveBackDelay = std::chrono::milliseconds(50);

// Modifiers we can press for a chord, in order of preference.
constexpr KeySym kControlKeys[] = {XK_Control_L, XK_Control_R};
constexpr KeySym kAltKeys[] = {XK_Alt_L, XK_Alt_R, XK_Meta_L};
constexpr KeySym kShiftKeys[] = {XK_Shift_L, XK_Shift_R};

struct XFreeDeleter {
    void operator()(void* p) const {
        if (p)
            XFree(p);
    }
};

} // namespace

// The server's keycode → keysym table, fetched afresh for every send: Xlib's own cache
// (XKeysymToKeycode) is refreshed only when Xlib reads MappingNotify events, and on a connection
// whose events Qt reads, Xlib never does, so it would miss layout switches and our own bindings.
class KeyInjector::Keymap {
public:
    explicit Keymap(Display* display) {
        XDisplayKeycodes(display, &minCode_, &maxCode_);
        KeySym* syms = XGetKeyboardMapping(display, KeyCode(minCode_), maxCode_ - minCode_ + 1, &perCode_);
        syms_.reset(syms);
        if (!syms)
            perCode_ = 0;
    }

    // The keycode whose first level in the first group is the keysym, 0 if none. Only the first
    // level counts: reaching another one takes Shift or a group switch, and Ctrl+Shift+V is not
    // Ctrl+V to the receiving application.
    KeyCode find(KeySym sym) const {
        for (int code = minCode_; code <= maxCode_; ++code)
            if (perCode_ > 0 && at(code, 0) == sym)
                return KeyCode(code);
        return 0;
    }

    KeySym firstLevel(int code) const {
        return perCode_ > 0 && code >= minCode_ && code <= maxCode_ ? at(code, 0) : NoSymbol;
    }

    bool isUnbound(int code) const {
        for (int i = 0; i < perCode_; ++i)
            if (at(code, i) != NoSymbol)
                return false;
        return true;
    }

    void bind(int code, KeySym sym) {
        for (int i = 0; i < perCode_; ++i)
            syms_.get()[index(code, i)] = sym;
    }

    int minCode() const { return minCode_; }
    int maxCode() const { return maxCode_; }

private:
    KeySym at(int code, int level) const { return syms_.get()[index(code, level)]; }
    std::size_t index(int code, int level) const { return std::size_t(code - minCode_) * perCode_ + level; }

    int minCode_ = 0;
    int maxCode_ = -1;
    int perCode_ = 0;
    std::unique_ptr<KeySym, XFreeDeleter> syms_;
};

KeyInjector::KeyInjector(Display* display) : display_(display) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    available_ = XTestQueryExtension(display_, &eventBase, &errorBase, &major, &minor);
}

KeyInjector::~KeyInjector() {
    giveBackBorrowedKeycodes(display_);
}

void KeyInjector::giveBackOver(Display* display) {
    giveBackBorrowedKeycodes(display);
}

bool KeyInjector::send(std::span<const KeyChord> chords, bool wait) {
    if (!available_)
        return false;
    Keymap keymap(display_);

    auto firstFound = [&](std::span<const KeySym> candidates) -> KeyCode {
        for (KeySym sym : candidates)
            if (KeyCode code = keymap.find(sym))
                return code;
        return 0;
    };
    struct Planned {
        KeyCode control, alt, shift, key;
    };
    std::vector<Planned> plan;
    for (const KeyChord& chord : chords) {
        Planned p{0, 0, 0, 0};
        // A modifier only works from a keycode in the modifier map, which a borrowed keycode is
        // not: without one of the usual keys the chord cannot be typed.
        if (chord.control && !(p.control = firstFound(kControlKeys)))
            return false;
        if (chord.alt && !(p.alt = firstFound(kAltKeys)))
            return false;
        if (chord.shift && !(p.shift = firstFound(kShiftKeys)))
            return false;
        if (!(p.key = keycodeFor(keymap, chord.key)))
            return false;
        plan.push_back(p);
    }

    auto fake = [&](KeyCode code, bool press) {
        if (code)
            XTestFakeKeyEvent(display_, code, press ? True : False, CurrentTime);
    };
    for (const Planned& p : plan) {
        fake(p.control, true);
        fake(p.alt, true);
        fake(p.shift, true);
        fake(p.key, true);
        fake(p.key, false);
        fake(p.shift, false);
        fake(p.alt, false);
        fake(p.control, false);
    }
    if (wait)
        XSync(display_, False);
    else
        XFlush(display_);
    lastSend_ = std::chrono::steady_clock::now();
    return true;
}

KeyCode KeyInjector::keycodeFor(Keymap& keymap, KeySym sym) {
    if (sym == NoSymbol)
        return 0;
    if (KeyCode code = keymap.find(sym))
        return code;
    return borrowSpareKeycode(keymap, sym);
}

KeyCode KeyInjector::borrowSpareKeycode(Keymap& keymap, KeySym sym) {
    // A keycode with no keysyms that is no modifier either; pressing it changes nothing else.
    std::unique_ptr<XModifierKeymap, int (*)(XModifierKeymap*)> modifiers(XGetModifierMapping(display_),
                                                                          &XFreeModifiermap);
    auto isModifier = [&](int code) {
        if (!modifiers)
            return false;
        const int n = 8 * modifiers->max_keypermod;
        return std::find(modifiers->modifiermap, modifiers->modifiermap + n, KeyCode(code)) !=
               modifiers->modifiermap + n;
    };
    // From the top: low spare keycodes (8 on evdev) are the ones other tools reach for first.
    for (int code = keymap.maxCode(); code >= keymap.minCode(); --code) {
        if (!keymap.isUnbound(code) || isModifier(code))
            continue;
        // Two entries, as xdotool does: the server derives an XKB key type from the core
        // mapping, and one keysym on both levels keeps Shift from changing what the key types.
        KeySym both[2] = {sym, sym};
        ErrorTrap trap(display_);
        XChangeKeyboardMapping(display_, code, 2, both, 1);
        if (trap.failed())
            return 0;
        keymap.bind(code, sym);
        borrowed_.push_back({KeyCode(code), sym});
        return KeyCode(code);
    }
    return 0;
}

void KeyInjector::giveBackBorrowedKeycodes(Display* display) {
    if (borrowed_.empty())
        return;
    const auto since = std::chrono::steady_clock::now() - lastSend_;
    if (since < kGiveBackDelay)
        std::this_thread::sleep_for(kGiveBackDelay - since);
    Keymap keymap(display);
    ErrorTrap trap(display);
    for (const Borrowed& b : borrowed_) {
        // Someone (a layout switch, setxkbmap) may have reused the keycode since: leave it be.
        if (keymap.firstLevel(b.code) != b.sym)
            continue;
        KeySym none = NoSymbol;
        XChangeKeyboardMapping(display, b.code, 1, &none, 1);
    }
    borrowed_.clear();
}

} // namespace platform::x11
