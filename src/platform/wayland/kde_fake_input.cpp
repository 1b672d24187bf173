// Keys through KWin's fake input: KWin types them with the seat's own keymap, so each keysym is
// looked up in that layout; a keysym it lacks cannot be typed.
#include "fake-input-client.h"
#include "platform/wayland/key_senders.h"
#include "platform/wayland/seat_keymap.h"
#include "platform/wayland/wayland_connection.h"
#include <linux/input-event-codes.h>
#include <vector>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

namespace platform::wayland {

namespace {

// keyboard_key came with version 4.
constexpr std::uint32_t kKeysSince = 4;
constexpr std::uint32_t kReleased = 0;
constexpr std::uint32_t kPressed = 1;

class FakeInput : public KeySender {
public:
    FakeInput(Connection& connection, org_kde_kwin_fake_input* input)
        : connection_(connection), input_(input), layout_(connection) {
        org_kde_kwin_fake_input_authenticate(input_, "ぴこめ",
                                             "types the kaomoji you click into your window");
    }
    ~FakeInput() override {
        org_kde_kwin_fake_input_destroy(input_);
        connection_.dispatchPending();
    }

    bool send(std::span<const KeyChord> chords, bool wait) override {
        connection_.dispatchPending();
        std::vector<std::uint32_t> keys;
        for (const KeyChord& chord : chords) {
            const std::uint32_t code = layout_.codeOf(chord.keysym);
            if (!code)
                return false;
            keys.push_back(code);
        }
        for (std::size_t i = 0; i < chords.size(); ++i) {
            const std::pair<bool, std::uint32_t> held[] = {{chords[i].control, KEY_LEFTCTRL},
                                                           {chords[i].alt, KEY_LEFTALT},
                                                           {chords[i].shift, KEY_LEFTSHIFT}};
            for (const auto& [on, code] : held)
                if (on)
                    org_kde_kwin_fake_input_keyboard_key(input_, code, kPressed);
            org_kde_kwin_fake_input_keyboard_key(input_, keys[i], kPressed);
            org_kde_kwin_fake_input_keyboard_key(input_, keys[i], kReleased);
            for (auto it = std::rbegin(held); it != std::rend(held); ++it)
                if (it->first)
                    org_kde_kwin_fake_input_keyboard_key(input_, it->second, kReleased);
        }
        if (wait)
            return connection_.roundtrip();
        connection_.dispatchPending();
        return !connection_.broken();
    }

private:
    Connection& connection_;
    org_kde_kwin_fake_input* input_;
    SeatKeymap layout_;
};

} // namespace

std::unique_ptr<KeySender> kdeFakeInput(Connection& connection) {
    auto* input =
        static_cast<org_kde_kwin_fake_input*>(connection.bind(org_kde_kwin_fake_input_interface, kKeysSince));
    if (!input)
        return nullptr;
    if (org_kde_kwin_fake_input_get_version(input) < kKeysSince) {
        org_kde_kwin_fake_input_destroy(input);
        return nullptr;
    }
    return std::make_unique<FakeInput>(connection, input);
}

} // namespace platform::wayland
