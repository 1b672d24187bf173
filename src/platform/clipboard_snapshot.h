#pragma once
// The clipboard as its owner offers it: every format by the name the window system knows it by,
// with its bytes exactly as the owner gave them. Nothing is decoded, so a picture or a text
// comes back byte for byte when the same formats are offered again.
#include <string>
#include <vector>

namespace platform {

struct ClipboardFormat {
    std::string name; // e.g. "UTF8_STRING", "text/html", "image/png"
    std::string bytes;
};

struct ClipboardSnapshot {
    std::vector<ClipboardFormat> formats;
    // False when the owner did not answer everything before the bound: formats holds only what
    // came in time.
    bool complete = true;
};

} // namespace platform
