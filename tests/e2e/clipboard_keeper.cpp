// The part of a clipboard manager that keeps a program's clipboard after the program ends, by
// the freedesktop.org convention that GNOME's and Xfce's managers follow and Qt and GTK use
// when they end: it holds the CLIPBOARD_MANAGER selection; asked for SAVE_TARGETS, it fetches
// the text (UTF8_STRING) from the clipboard's owner, takes the clipboard itself and answers.
// Unlike a full manager it never takes the clipboard on its own, so only a handover can keep it.
// Says "keeping" on stdout once it holds the selection, "kept N bytes" after each handover.
// usage: clipboard_keeper
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <chrono>
#include <climits>
#include <cstdio>
#include <poll.h>
#include <string>

namespace {

int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

void notify(Display* display, const XSelectionRequestEvent& request, Atom property) {
    XEvent event{};
    event.xselection.type = SelectionNotify;
    event.xselection.requestor = request.requestor;
    event.xselection.selection = request.selection;
    event.xselection.target = request.target;
    event.xselection.property = property;
    event.xselection.time = request.time;
    XSendEvent(display, request.requestor, False, 0, &event);
    XFlush(display);
}

// The clipboard's text from its owner, waiting at most two seconds.
bool fetchText(Display* display, Window window, std::string* text) {
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const Atom property = XInternAtom(display, "_KEEPER", False);
    XConvertSelection(display, clipboard, utf8, property, window, CurrentTime);
    XFlush(display);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < deadline) {
        XEvent event;
        if (XCheckTypedWindowEvent(display, window, SelectionNotify, &event)) {
            if (event.xselection.property == None)
                return false;
            Atom type = None;
            int format = 0;
            unsigned long items = 0, after = 0;
            unsigned char* data = nullptr;
            XGetWindowProperty(display, window, property, 0, LONG_MAX / 4, True, AnyPropertyType, &type,
                               &format, &items, &after, &data);
            text->assign(reinterpret_cast<const char*>(data), data ? items : 0);
            if (data)
                XFree(data);
            return true;
        }
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        poll(&fd, 1, 10);
    }
    return false;
}

} // namespace

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    XSetErrorHandler(ignoreErrors);
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom manager = XInternAtom(display, "CLIPBOARD_MANAGER", False);
    const Atom saveTargets = XInternAtom(display, "SAVE_TARGETS", False);
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    const Atom targets = XInternAtom(display, "TARGETS", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    XSetSelectionOwner(display, manager, window, CurrentTime);
    XSync(display, False);
    std::printf("keeping\n");
    std::fflush(stdout);
    std::string kept;
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != SelectionRequest)
            continue;
        const XSelectionRequestEvent request = event.xselectionrequest;
        const Atom property = request.property != None ? request.property : request.target;
        if (request.selection == manager && request.target == saveTargets) {
            std::string text;
            const bool fetched = fetchText(display, window, &text);
            if (fetched) {
                kept = text;
                XSetSelectionOwner(display, clipboard, window, CurrentTime);
                std::printf("kept %zu bytes\n", kept.size());
                std::fflush(stdout);
            }
            notify(display, request, fetched ? property : None);
        } else if (request.selection == clipboard && request.target == targets) {
            const Atom offered[] = {targets, utf8};
            XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(offered), 2);
            notify(display, request, property);
        } else if (request.selection == clipboard && request.target == utf8) {
            XChangeProperty(display, request.requestor, property, utf8, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(kept.data()), int(kept.size()));
            notify(display, request, property);
        } else {
            notify(display, request, None);
        }
    }
}
