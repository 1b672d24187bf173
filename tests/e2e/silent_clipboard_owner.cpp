// A clipboard owner that never answers: it takes the CLIPBOARD selection, says so on stdout,
// and then never reads another event, as a program that hangs would.
// usage: silent_clipboard_owner
#include <X11/Xlib.h>
#include <cstdio>
#include <unistd.h>

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    XSetSelectionOwner(display, clipboard, window, CurrentTime);
    XSync(display, False);
    if (XGetSelectionOwner(display, clipboard) != window) {
        std::fprintf(stderr, "could not take the clipboard\n");
        return 1;
    }
    std::printf("owner\n");
    std::fflush(stdout);
    for (;;)
        pause();
}
