#include "platform/wayland/key_notation.h"
#include <string>
#include <xkbcommon/xkbcommon.h>

namespace platform::wayland {

namespace {

std::uint32_t keysymNamed(std::string_view name) {
    // The notation's own names for keys whose keysyms are called otherwise.
    if (name == "ENTER" || name == "enter")
        return XKB_KEY_Return;
    const std::string text(name);
    // Exact first: "v" and "V" are different keysyms, and so are some names that differ in case only.
    xkb_keysym_t sym = xkb_keysym_from_name(text.c_str(), XKB_KEYSYM_NO_FLAGS);
    if (sym == XKB_KEY_NoSymbol)
        sym = xkb_keysym_from_name(text.c_str(), XKB_KEYSYM_CASE_INSENSITIVE);
    return sym;
}

} // namespace

std::optional<std::vector<KeyChord>> readKeyNotation(std::string_view keys) {
    std::vector<KeyChord> chords;
    KeyChord chord;
    for (std::size_t i = 0; i < keys.size();) {
        const char c = keys[i];
        if (c == '^' || c == '%' || c == '+') {
            (c == '^' ? chord.control : c == '%' ? chord.alt : chord.shift) = true;
            ++i;
            continue;
        }
        std::string_view name;
        if (c == '{') {
            const std::size_t close = keys.find('}', i + 1);
            if (close == std::string_view::npos || close == i + 1)
                return std::nullopt;
            name = keys.substr(i + 1, close - i - 1);
            i = close + 1;
        } else {
            name = keys.substr(i, 1);
            ++i;
        }
        chord.keysym = keysymNamed(name);
        if (chord.keysym == XKB_KEY_NoSymbol)
            return std::nullopt;
        chords.push_back(chord);
        chord = {};
    }
    if (chord.control || chord.alt || chord.shift)
        return std::nullopt;
    return chords;
}

} // namespace platform::wayland
