// Another program that sets the clipboard 50 times a second to its own text and serves it, as a
// misbehaving clipboard tool would.
// usage: clipboard_flood TEXT
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <poll.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: clipboard_flood TEXT\n");
        return 2;
    }
    const char* text = argv[1];
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    const Atom targets = XInternAtom(display, "TARGETS", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const Atom plain = XInternAtom(display, "text/plain", False);
    const Atom plainUtf8 = XInternAtom(display, "text/plain;charset=utf-8", False);
    const Atom offered[] = {targets, utf8, XA_STRING, plain, plainUtf8};
    constexpr auto kPeriod = std::chrono::milliseconds(20);
    auto next = std::chrono::steady_clock::now();
    std::printf("flooding\n");
    std::fflush(stdout);
    for (;;) {
        if (std::chrono::steady_clock::now() >= next) {
            XSetSelectionOwner(display, clipboard, window, CurrentTime);
            XFlush(display);
            next += kPeriod;
        }
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != SelectionRequest)
                continue;
            const XSelectionRequestEvent& request = event.xselectionrequest;
            XSelectionEvent reply{};
            reply.type = SelectionNotify;
            reply.display = display;
            reply.requestor = request.requestor;
            reply.selection = request.selection;
            reply.target = request.target;
            reply.time = request.time;
            reply.property = request.property == None ? request.target : request.property;
            if (request.target == targets) {
                XChangeProperty(display, request.requestor, reply.property, XA_ATOM, 32, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(offered), 5);
            } else if (request.target == utf8 || request.target == XA_STRING || request.target == plain ||
                       request.target == plainUtf8) {
                XChangeProperty(display, request.requestor, reply.property, request.target, 8,
                                PropModeReplace, reinterpret_cast<const unsigned char*>(text),
                                int(std::strlen(text)));
            } else {
                reply.property = None;
            }
            XSendEvent(display, request.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
            XFlush(display);
        }
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(next - std::chrono::steady_clock::now());
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        poll(&fd, 1, wait.count() > 0 ? int(wait.count()) : 0);
    }
}
