#pragma once
// The keyboard layout of the seat, as the compositor gives it to every client, or the US layout
// when the seat has no keyboard (a headless session). Keys sent through the compositor use the
// layout's own keycodes, so that an X11 program that has not caught up with a keymap change
// still reads the right key.
#include <cstdint>
#include <memory>
#include <vector>

struct wl_keyboard;
struct xkb_context;
struct xkb_keymap;

namespace platform::wayland {

class Connection;

class SeatKeymap {
public:
    explicit SeatKeymap(Connection& connection);
    ~SeatKeymap();
    SeatKeymap(const SeatKeymap&) = delete;
    SeatKeymap& operator=(const SeatKeymap&) = delete;

    // The evdev code whose first level in the first layout is the keysym; 0 when there is none.
    std::uint32_t codeOf(std::uint32_t keysym) const;
    // An evdev code the layout leaves without any keysym, other than those given; 0 when none is left.
    std::uint32_t spareCode(const std::vector<std::uint32_t>& taken) const;

    // The name the program's own keymaps give their keycodes: such a keymap is never taken for the seat's.
    static constexpr const char* kOwnKeycodesName = "pikome";

private:
    void keymapArrived(std::uint32_t format, int fd, std::uint32_t size);
    xkb_keymap* keymap() const;

    Connection& connection_;
    wl_keyboard* keyboard_ = nullptr;
    xkb_context* context_;
    xkb_keymap* seatKeymap_ = nullptr;
    xkb_keymap* usKeymap_ = nullptr;
};

} // namespace platform::wayland
