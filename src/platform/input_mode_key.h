#pragma once
// The keystroke that switches the input method on or off, sent after a paste when
// "入力モードの変更" is off. On Windows it is Alt+Kanji. On Linux desktops that key does nothing:
// ibus-mozc and fcitx5-mozc ignore Alt+Kanji in Qt and GTK windows, on us and jp layouts alike,
// while 半角/全角 (Zenkaku_Hankaku) toggles both on both layouts (fcitx5 counts it among its
// default trigger keys, mozc's keymaps toggle on it). Every Linux backend (X11, Wayland) sends
// this one, so the input method reacts the same whatever the session.
#include <cstdint>

namespace platform {

struct KeyStroke {
    bool control = false;
    bool alt = false;
    // A keysym: X11 and xkbcommon share the numbers.
    std::uint32_t keysym = 0;
};

// XK_Zenkaku_Hankaku / XKB_KEY_Zenkaku_Hankaku.
inline constexpr std::uint32_t kZenkakuHankakuKeysym = 0xff2a;

constexpr KeyStroke inputModeKey() {
    return {false, false, kZenkakuHankakuKeysym};
}

} // namespace platform
