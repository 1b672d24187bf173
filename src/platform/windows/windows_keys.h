#pragma once
// The paste keystrokes in the notation the program writes them ("^v", "+{INSERT}" …), as Windows
// virtual keys sent with SendInput.
#include <cstdint>
#include <optional>
#include <string_view>

namespace platform::windows {

// One key pressed while modifiers are held.
struct KeyChord {
    bool control = false;
    bool shift = false;
    bool alt = false;
    std::uint16_t virtualKey = 0;
    // The key sits on the extended part of the keyboard (Insert beside Home, not on the keypad).
    bool extended = false;
};

// "^v" Ctrl+V, "^+v" Ctrl+Shift+V, "+{INSERT}" Shift+Insert, "%{kanji}" Alt+Kanji (the key that
// turns the Japanese input method on or off), "{ENTER}", "{TAB}"; nullopt for anything else.
std::optional<KeyChord> chordFor(std::string_view notation);

// Presses the modifiers, the key, and releases them in reverse, in one SendInput call so that no
// real keystroke comes in between. True when Windows took every event into its input stream.
bool sendChord(const KeyChord& chord);

} // namespace platform::windows
