#pragma once
// The keystroke notation the palette sends ("^v", "%{kanji}", "{ENTER}", "{TAB}"), read into keys
// by their keysyms, for the Wayland routes, which type from keysyms of their own choosing.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace platform::wayland {

// One key pressed while modifiers are held; keysym as xkbcommon (and X11) number them.
struct KeyChord {
    bool control = false;
    bool alt = false;
    bool shift = false;
    std::uint32_t keysym = 0;
};

// "^" holds Ctrl, "%" Alt, "+" Shift for the key after them; a key is one character ("v") or a
// name in braces: ENTER and TAB as in the notation, any other name as the keysym of that name
// in any case ("{kanji}", "{Zenkaku_Hankaku}"). nullopt when a name is no keysym or the text
// ends inside a chord.
std::optional<std::vector<KeyChord>> readKeyNotation(std::string_view keys);

} // namespace platform::wayland
