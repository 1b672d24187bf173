#pragma once
// Who holds the CLIPBOARD selection, as the X server sees it.
#include "platform/desktop.h"

struct _XDisplay;

namespace platform::x11 {

// Whether the selection's owner window was made by the same client (the same connection) as
// window: a toolkit owns the clipboard through a hidden window of its own, made on the same
// connection as the program's windows.
bool clipboardOwnedByClientOf(_XDisplay* display, WindowHandle window);

} // namespace platform::x11
