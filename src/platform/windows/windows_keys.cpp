#include "platform/windows/windows_keys.h"
#include "platform/windows/win32.h"
#include <array>
#include <vector>

namespace platform::windows {

namespace {

struct Notation {
    std::string_view text;
    KeyChord chord;
};

// Ctrl+V and the others by their virtual keys, which is what programs act on whatever the layout
// puts on the key (on a French AZERTY or a Dvorak layout 'V' is elsewhere, VK 'V' is the same).
// VK_KANJI is the key that an IME on a Japanese system turns on or off with Alt (Alt+半角/全角
// sends it); with no IME it is a key nobody acts on, and the Alt around it is no lone Alt tap,
// so no menu bar opens.
constexpr Notation kNotations[] = {
    {"^v", {.control = true, .virtualKey = 'V'}},
    {"^+v", {.control = true, .shift = true, .virtualKey = 'V'}},
    {"+{INSERT}", {.shift = true, .virtualKey = VK_INSERT, .extended = true}},
    {"%{kanji}", {.alt = true, .virtualKey = VK_KANJI}},
    {"{ENTER}", {.virtualKey = VK_RETURN}},
    {"{TAB}", {.virtualKey = VK_TAB}},
};

INPUT keyEvent(WORD virtualKey, bool up, bool extended = false) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    // The scan code too: console programs and some others read it rather than the virtual key.
    input.ki.wScan = WORD(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
    return input;
}

} // namespace

std::optional<KeyChord> chordFor(std::string_view notation) {
    for (const Notation& n : kNotations)
        if (n.text == notation)
            return n.chord;
    return std::nullopt;
}

bool sendChord(const KeyChord& chord) {
    const std::array<std::pair<bool, WORD>, 3> modifiers = {
        {{chord.control, VK_CONTROL}, {chord.shift, VK_SHIFT}, {chord.alt, VK_MENU}}};
    std::vector<INPUT> events;
    for (const auto& [held, key] : modifiers)
        if (held)
            events.push_back(keyEvent(key, false));
    events.push_back(keyEvent(chord.virtualKey, false, chord.extended));
    events.push_back(keyEvent(chord.virtualKey, true, chord.extended));
    for (auto m = modifiers.rbegin(); m != modifiers.rend(); ++m)
        if (m->first)
            events.push_back(keyEvent(m->second, true));
    // Windows: keystrokes for a window of a process with a higher integrity level (one run as
    // administrator) are dropped by UIPI and still count as inserted; nothing tells us.
    return SendInput(UINT(events.size()), events.data(), sizeof(INPUT)) == events.size();
}

} // namespace platform::windows
