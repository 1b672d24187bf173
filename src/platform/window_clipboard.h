#pragma once
// A clipboard that the window system keeps apart from the toolkit's: on a Wayland session the
// native windows paste from the compositor's clipboard, which a program on XWayland reaches
// only through a connection of its own. Formats are named as that window system names them
// (mime types on Wayland) and go in and out as bytes.
#include "platform/clipboard_snapshot.h"
#include <functional>
#include <optional>
#include <string>

namespace platform {

class WindowClipboard {
public:
    virtual ~WindowClipboard() = default;
    // Every format the clipboard holds now, read within boundMs; complete is false when the
    // owner did not give everything in time. nullopt: it cannot be read at all.
    virtual std::optional<ClipboardSnapshot> read(int boundMs) = 0;
    // Puts the formats on the clipboard in place of what it held (no formats: empties it).
    // onFetched runs, on the thread that runs the event loop, each time a window asks for one of
    // them. False when the clipboard could not be set.
    virtual bool offer(const ClipboardSnapshot& formats, std::function<void()> onFetched) = 0;
    // Puts text (UTF-8) on the clipboard under every name the window system's programs ask
    // for text by.
    virtual bool offerText(const std::string& utf8, std::function<void()> onFetched) = 0;
    // What the last offer put there is still on the clipboard: no other program has set it since.
    virtual bool stillOffered() = 0;
};

} // namespace platform
