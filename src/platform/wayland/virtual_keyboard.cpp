// Keys through wlroots' virtual keyboard: the keyboard brings its own keymap, so any keysym can be
// typed whatever the user's layout. The keymap holds the three modifiers and one key per keysym
// asked for so far, each on the keycode the seat's layout has it on (a keysym the layout lacks on
// a keycode the layout leaves free); a new keysym sends a new keymap.
//
// WORKAROUND: XWayland takes over the keymap of the keyboard last used, and an X11 program reads
// a key by the keymap it knew before until it has caught up with the change: keys on keycodes
// of a keymap of another shape reached an XWayland window as other keys ("3" for "v").
#include "platform/wayland/key_senders.h"
#include "platform/wayland/seat_keymap.h"
#include "platform/wayland/wayland_connection.h"
#include "virtual-keyboard-unstable-v1-client.h"
#include <algorithm>
#include <ctime>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

namespace platform::wayland {

namespace {

constexpr std::uint32_t kEvdevOffset = 8;
// The real modifiers' masks, in the order every compiled keymap gives them.
constexpr std::uint32_t kShiftMask = 1u << 0;
constexpr std::uint32_t kControlMask = 1u << 2;
constexpr std::uint32_t kMod1Mask = 1u << 3;

std::uint32_t nowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return std::uint32_t(std::uint64_t(t.tv_sec) * 1000u + std::uint64_t(t.tv_nsec) / 1000000u);
}

std::string keysymName(std::uint32_t keysym) {
    char name[64];
    if (xkb_keysym_get_name(keysym, name, sizeof name) <= 0)
        return {};
    return name;
}

class VirtualKeyboard : public KeySender {
public:
    VirtualKeyboard(Connection& connection, zwp_virtual_keyboard_manager_v1* manager,
                    zwp_virtual_keyboard_v1* keyboard)
        : connection_(connection), manager_(manager), keyboard_(keyboard), layout_(connection) {
        for (std::uint32_t modifier : {XKB_KEY_Control_L, XKB_KEY_Alt_L, XKB_KEY_Shift_L})
            codeFor(modifier);
        sendKeymap();
    }
    ~VirtualKeyboard() override {
        zwp_virtual_keyboard_v1_destroy(keyboard_);
        zwp_virtual_keyboard_manager_v1_destroy(manager_);
        connection_.dispatchPending();
    }

    bool send(std::span<const KeyChord> chords, bool wait) override {
        if (connection_.broken())
            return false;
        const std::size_t known = keys_.size();
        std::vector<std::uint32_t> codes;
        for (const KeyChord& chord : chords) {
            const std::uint32_t code = codeFor(chord.keysym);
            if (!code)
                return false;
            codes.push_back(code);
        }
        if (keys_.size() != known)
            sendKeymap();
        for (std::size_t i = 0; i < chords.size(); ++i)
            type(chords[i], codes[i]);
        if (wait)
            return connection_.roundtrip();
        connection_.dispatchPending();
        return !connection_.broken();
    }

private:
    struct Key {
        std::uint32_t keysym;
        std::uint32_t code; // evdev
    };

    // The key's evdev code in the keymap, added to it when new; 0 when it cannot be typed.
    std::uint32_t codeFor(std::uint32_t keysym) {
        for (const Key& k : keys_)
            if (k.keysym == keysym)
                return k.code;
        if (keysymName(keysym).empty())
            return 0;
        std::vector<std::uint32_t> taken;
        for (const Key& k : keys_)
            taken.push_back(k.code);
        std::uint32_t code = layout_.codeOf(keysym);
        if (!code || std::find(taken.begin(), taken.end(), code) != taken.end())
            code = layout_.spareCode(taken);
        if (!code)
            return 0;
        keys_.push_back({keysym, code});
        return code;
    }

    void key(std::uint32_t code, bool pressed) {
        zwp_virtual_keyboard_v1_key(keyboard_, nowMs(), code,
                                    pressed ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    }
    // The compositor takes the modifiers' state as told, not from the keys.
    void modifiers(std::uint32_t mask) { zwp_virtual_keyboard_v1_modifiers(keyboard_, mask, 0, 0, 0); }

    void type(const KeyChord& chord, std::uint32_t code) {
        std::uint32_t mask = 0;
        const std::pair<bool, std::pair<std::uint32_t, std::uint32_t>> held[] = {
            {chord.control, {codeFor(XKB_KEY_Control_L), kControlMask}},
            {chord.alt, {codeFor(XKB_KEY_Alt_L), kMod1Mask}},
            {chord.shift, {codeFor(XKB_KEY_Shift_L), kShiftMask}},
        };
        for (const auto& [on, modifier] : held) {
            if (!on)
                continue;
            key(modifier.first, true);
            modifiers(mask |= modifier.second);
        }
        key(code, true);
        key(code, false);
        for (auto it = std::rbegin(held); it != std::rend(held); ++it) {
            if (!it->first)
                continue;
            key(it->second.first, false);
            modifiers(mask &= ~it->second.second);
        }
    }

    void sendKeymap() {
        std::string codes, symbols;
        for (const Key& k : keys_) {
            const std::string name = "<K" + std::to_string(k.code + kEvdevOffset) + ">";
            codes += name + " = " + std::to_string(k.code + kEvdevOffset) + ";\n";
            symbols += "key " + name + " { [ " + keysymName(k.keysym) + " ] };\n";
        }
        auto keyName = [&](std::uint32_t keysym) {
            return "<K" + std::to_string(codeFor(keysym) + kEvdevOffset) + ">";
        };
        const std::string keymap = std::string("xkb_keymap {\n") + "xkb_keycodes \"" +
                                   SeatKeymap::kOwnKeycodesName + "\" { minimum = 8; maximum = 255;\n" +
                                   codes +
                                   "};\n"
                                   "xkb_types \"pikome\" { include \"complete\" };\n"
                                   "xkb_compat \"pikome\" { include \"complete\" };\n"
                                   "xkb_symbols \"pikome\" {\n" +
                                   symbols + "modifier_map Control { " + keyName(XKB_KEY_Control_L) +
                                   " };\n"
                                   "modifier_map Mod1 { " +
                                   keyName(XKB_KEY_Alt_L) +
                                   " };\n"
                                   "modifier_map Shift { " +
                                   keyName(XKB_KEY_Shift_L) +
                                   " };\n"
                                   "};\n};\n";
        // The compositor maps the keymap from a file of its own; the text goes with its final NUL.
        const int fd = memfd_create("pikome-keymap", MFD_CLOEXEC);
        if (fd < 0)
            return;
        const std::size_t size = keymap.size() + 1;
        if (::write(fd, keymap.c_str(), size) == ssize_t(size))
            zwp_virtual_keyboard_v1_keymap(keyboard_, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                           std::uint32_t(size));
        ::close(fd);
    }

    Connection& connection_;
    zwp_virtual_keyboard_manager_v1* manager_;
    zwp_virtual_keyboard_v1* keyboard_;
    SeatKeymap layout_;
    std::vector<Key> keys_;
};

} // namespace

std::unique_ptr<KeySender> virtualKeyboard(Connection& connection) {
    wl_seat* seat = connection.seat();
    if (!seat)
        return nullptr;
    auto* manager = static_cast<zwp_virtual_keyboard_manager_v1*>(
        connection.bind(zwp_virtual_keyboard_manager_v1_interface, 1));
    if (!manager)
        return nullptr;
    auto* keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager, seat);
    auto sender = std::make_unique<VirtualKeyboard>(connection, manager, keyboard);
    // A compositor that refuses virtual keyboards ends the connection here, not at the first paste.
    if (!connection.roundtrip() || connection.broken())
        return nullptr;
    return sender;
}

} // namespace platform::wayland
