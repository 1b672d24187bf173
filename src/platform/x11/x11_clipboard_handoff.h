#pragma once
// Handing the clipboard to a clipboard manager before the program ends. What the program owns
// on the clipboard (with "クリップボードは使わない" on, the user's own clipboard, given back
// after a paste) goes with the process; a clipboard manager that holds the CLIPBOARD_MANAGER
// selection keeps it when asked to (the freedesktop.org clipboard-manager convention: convert
// CLIPBOARD_MANAGER to SAVE_TARGETS; the manager then fetches every target from the owner,
// takes the clipboard itself, and answers). Qt does this when its application object is
// destroyed; an ending that cannot wait for that (the desktop ending the program) does it here.
#include <functional>

struct _XDisplay;

namespace platform::x11 {

// Asks the manager to keep the clipboard, over a connection of its own to displayName, and
// waits for its answer at most boundMs, calling serveRequests meanwhile: the manager's requests
// for the data reach the owner's connection, and only its event loop can answer them. True when
// the manager said it has the clipboard; false at once when no manager runs.
bool handClipboardToManager(const char* displayName, int boundMs, const std::function<void()>& serveRequests);

} // namespace platform::x11
