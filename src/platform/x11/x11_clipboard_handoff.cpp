#include "platform/x11/x11_clipboard_handoff.h"
#include <X11/Xlib.h>
#include <algorithm>
#include <chrono>
#include <poll.h>

namespace platform::x11 {

namespace {
// Between two turns of the owner's event loop while the manager fetches: short, so the
// manager's requests are answered as they come.
constexpr int kServePollMs = 5;
} // namespace

bool handClipboardToManager(const char* displayName, int boundMs,
                            const std::function<void()>& serveRequests) {
    Display* display = XOpenDisplay(displayName);
    if (!display)
        return false;
    const Atom manager = XInternAtom(display, "CLIPBOARD_MANAGER", False);
    const Atom saveTargets = XInternAtom(display, "SAVE_TARGETS", False);
    bool kept = false;
    if (XGetSelectionOwner(display, manager) != None) {
        const Window requestor =
            XCreateSimpleWindow(display, DefaultRootWindow(display), -10, -10, 1, 1, 0, 0, 0);
        const Atom property = XInternAtom(display, "_PIKOME_SAVE_TARGETS", False);
        XConvertSelection(display, manager, saveTargets, property, requestor, CurrentTime);
        XFlush(display);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
        for (bool answered = false; !answered && std::chrono::steady_clock::now() < deadline;) {
            serveRequests();
            while (XPending(display) > 0) {
                XEvent event;
                XNextEvent(display, &event);
                if (event.type == SelectionNotify && event.xselection.selection == manager) {
                    answered = true;
                    // A manager that could not take it answers with no property.
                    kept = event.xselection.property != None;
                }
            }
            if (!answered) {
                pollfd fd{ConnectionNumber(display), POLLIN, 0};
                poll(&fd, 1, kServePollMs);
            }
        }
        XDestroyWindow(display, requestor);
    }
    XCloseDisplay(display);
    return kept;
}

} // namespace platform::x11
