#include "platform/wayland/seat_keymap.h"
#include "platform/wayland/wayland_connection.h"
#include <algorithm>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

namespace platform::wayland {

namespace {
constexpr std::uint32_t kEvdevOffset = 8;
// X11 programs on XWayland cannot use keycodes above 255.
constexpr xkb_keycode_t kHighestX11Keycode = 255;
} // namespace

SeatKeymap::SeatKeymap(Connection& connection)
    : connection_(connection), context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {
    if (context_) {
        const xkb_rule_names us{"evdev", "pc105", "us", "", ""};
        usKeymap_ = xkb_keymap_new_from_names(context_, &us, XKB_KEYMAP_COMPILE_NO_FLAGS);
    }
    static const wl_keyboard_listener keyboardListener = {
        [](void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd, std::uint32_t size) {
            static_cast<SeatKeymap*>(data)->keymapArrived(format, fd, size);
        },
        [](void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {},                      // enter
        [](void*, wl_keyboard*, std::uint32_t, wl_surface*) {},                                 // leave
        [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}, // key
        [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {
        },                                                      // modifiers
        [](void*, wl_keyboard*, std::int32_t, std::int32_t) {}, // repeat_info
    };
    static const wl_seat_listener seatListener = {
        [](void* data, wl_seat* seat, std::uint32_t capabilities) {
            auto* self = static_cast<SeatKeymap*>(data);
            if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && !self->keyboard_) {
                self->keyboard_ = wl_seat_get_keyboard(seat);
                wl_keyboard_add_listener(self->keyboard_, &keyboardListener, self);
            }
        },
        [](void*, wl_seat*, const char*) {},
    };
    if (wl_seat* seat = connection_.seat()) {
        wl_seat_add_listener(seat, &seatListener, this);
        // The seat's keyboard, then its keymap.
        connection_.roundtrip();
        connection_.roundtrip();
    }
}

SeatKeymap::~SeatKeymap() {
    if (keyboard_)
        wl_keyboard_destroy(keyboard_);
    xkb_keymap_unref(seatKeymap_);
    xkb_keymap_unref(usKeymap_);
    xkb_context_unref(context_);
}

void SeatKeymap::keymapArrived(std::uint32_t format, int fd, std::uint32_t size) {
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && context_) {
        void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (text != MAP_FAILED) {
            const std::string_view keymapText(static_cast<const char*>(text), size);
            // The compositor also hands round the program's own virtual keyboard's keymap.
            const bool own =
                keymapText.find(std::string("xkb_keycodes \"") + kOwnKeycodesName) != std::string_view::npos;
            if (!own) {
                if (xkb_keymap* keymap =
                        xkb_keymap_new_from_string(context_, static_cast<const char*>(text),
                                                   XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS)) {
                    xkb_keymap_unref(seatKeymap_);
                    seatKeymap_ = keymap;
                }
            }
            munmap(text, size);
        }
    }
    ::close(fd);
}

xkb_keymap* SeatKeymap::keymap() const {
    return seatKeymap_ ? seatKeymap_ : usKeymap_;
}

std::uint32_t SeatKeymap::codeOf(std::uint32_t keysym) const {
    connection_.dispatchPending();
    xkb_keymap* k = keymap();
    if (!k)
        return 0;
    const xkb_keycode_t last = std::min(xkb_keymap_max_keycode(k), kHighestX11Keycode);
    for (xkb_keycode_t code = std::max<xkb_keycode_t>(xkb_keymap_min_keycode(k), kEvdevOffset + 1);
         code <= last; ++code) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(k, code, 0, 0, &syms) == 1 && syms[0] == keysym)
            return code - kEvdevOffset;
    }
    return 0;
}

std::uint32_t SeatKeymap::spareCode(const std::vector<std::uint32_t>& taken) const {
    xkb_keymap* k = keymap();
    if (!k)
        return 0;
    // From the top, as on X11: the low spare codes are the ones other tools reach for first.
    for (xkb_keycode_t code = std::min(xkb_keymap_max_keycode(k), kHighestX11Keycode); code > kEvdevOffset;
         --code) {
        if (xkb_keymap_num_layouts_for_key(k, code) != 0)
            continue;
        const std::uint32_t evdev = code - kEvdevOffset;
        if (std::find(taken.begin(), taken.end(), evdev) == taken.end())
            return evdev;
    }
    return 0;
}

} // namespace platform::wayland
