#include "platform/x11/x11_clipboard_owner.h"
#include <X11/Xlib.h>

namespace platform::x11 {

bool clipboardOwnedByClientOf(_XDisplay* display, WindowHandle window) {
    const ::Window owner = XGetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False));
    if (owner == None)
        return false;
    // Every resource a client makes carries the client's base in the bits above the mask. Xlib
    // keeps the mask in its display record as "private4" (resource_mask in Xlibint.h).
    const XID mask = reinterpret_cast<_XPrivDisplay>(display)->private4;
    return (owner & ~mask) == (XID(window) & ~mask);
}

} // namespace platform::x11
