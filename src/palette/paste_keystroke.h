#pragma once
// The keystroke that makes the target window paste. Most programs paste the clipboard on Ctrl+V;
// a terminal passes Ctrl+V on to the program running in it as a character of its own (bash then
// inserts the next key literally), and Emacs scrolls. Such programs are known by their window
// class: the user's rules (the settings file's "PasteKeys") come first, then the built-in ones.
#include "storage/paste_key_rules.h"
#include <string>
#include <string_view>
#include <vector>

namespace palette {

struct PasteKeystroke {
    std::string keys = "^v"; // in the desktop's notation
    // Shift+Insert pastes the primary selection in many programs (xterm and most terminals) and
    // the clipboard in others, so with it the text goes on both.
    bool alsoPrimary = false;
};

// How long a window with these class names may go between two reads of one paste, in ms; 0 for
// the engine's usual quiet time. Chromium (and the browsers built on it) reads the text twice,
// the second read mostly 4-140 ms after the first and now and then later (261 ms once in 80
// pastes); the user's clipboard coming back in between made it paste nothing.
int readQuietMsFor(const std::vector<std::string>& classNames);

// The keystroke for a window with these class names (X11: class and instance; Wayland: the
// app_id), compared without regard to case. A user's rule with a keystroke the palette cannot
// send is passed over.
PasteKeystroke pasteKeystrokeFor(const std::vector<std::string>& classNames,
                                 const std::vector<storage::PasteKeyRule>& userRules);

// The desktop notation of a paste keystroke as a rule writes it: "^v" (Ctrl+V), "^+v"
// (Ctrl+Shift+V), "+{INSERT}" or "+{INS}" (Shift+Insert, the name in any case); "" for
// anything else.
std::string pasteKeysWritten(std::string_view written);

} // namespace palette
