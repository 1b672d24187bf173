// Clipboard owners that hold a paste up. With no argument: an owner that never answers; it
// takes the CLIPBOARD selection, says so on stdout, and then never reads another event, as a
// program that hangs would. With --trickle SECONDS: an owner that answers, but sends its text
// in parts (INCR) of one byte every 100 ms for that long. With --slow MS FORMATS: it offers that
// many formats and answers each request MS ms late, as a remote-desktop bridge converting on
// request does. With --stall: it names its formats at once, then never answers for one.
// usage: silent_clipboard_owner [--trickle SECONDS | --slow MS FORMATS | --stall]
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The requestor may give up and destroy its window mid-transfer; that is no reason to end.
int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

void answer(Display* display, const XSelectionRequestEvent& request, Atom property) {
    XEvent notify{};
    notify.xselection.type = SelectionNotify;
    notify.xselection.requestor = request.requestor;
    notify.xselection.selection = request.selection;
    notify.xselection.target = request.target;
    notify.xselection.property = property;
    notify.xselection.time = request.time;
    XSendEvent(display, request.requestor, False, 0, &notify);
    XFlush(display);
}

[[noreturn]] void trickle(Display* display, int seconds) {
    const Atom targets = XInternAtom(display, "TARGETS", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const Atom incr = XInternAtom(display, "INCR", False);
    Window requestor = 0;
    Atom property = None;
    Clock::time_point until{};
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == SelectionRequest) {
            const XSelectionRequestEvent& request = event.xselectionrequest;
            const Atom target = request.property != None ? request.property : request.target;
            if (request.target == targets) {
                const Atom offered[] = {targets, utf8};
                XChangeProperty(display, request.requestor, target, XA_ATOM, 32, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(offered), 2);
                answer(display, request, target);
            } else if (request.target == utf8) {
                requestor = request.requestor;
                property = target;
                until = Clock::now() + std::chrono::seconds(seconds);
                XSelectInput(display, requestor, PropertyChangeMask);
                const long size = seconds * 10;
                XChangeProperty(display, requestor, property, incr, 32, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(&size), 1);
                answer(display, request, property);
            } else {
                answer(display, request, None);
            }
        } else if (event.type == PropertyNotify && event.xproperty.window == requestor &&
                   event.xproperty.atom == property && event.xproperty.state == PropertyDelete) {
            // The requestor took the last part: the next one comes a little later.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            const bool more = Clock::now() < until;
            XChangeProperty(display, requestor, property, utf8, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>("x"), more ? 1 : 0);
            XFlush(display);
            if (!more)
                requestor = 0;
        }
    }
}

// Answers TARGETS with text/x-slow-0 … text/x-slow-<formats - 1>, each format after delayMs
// (never, with a negative delay).
[[noreturn]] void answerLate(Display* display, int delayMs, int formats) {
    const Atom targets = XInternAtom(display, "TARGETS", False);
    std::vector<Atom> offered{targets};
    for (int i = 0; i < formats; ++i)
        offered.push_back(XInternAtom(display, ("text/x-slow-" + std::to_string(i)).c_str(), False));
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != SelectionRequest)
            continue;
        const XSelectionRequestEvent& request = event.xselectionrequest;
        const Atom property = request.property != None ? request.property : request.target;
        if (request.target == targets) {
            XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(offered.data()), int(offered.size()));
            answer(display, request, property);
        } else if (delayMs >= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            XChangeProperty(display, request.requestor, property, XA_STRING, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>("late"), 4);
            answer(display, request, property);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    const bool trickling = argc == 3 && std::strcmp(argv[1], "--trickle") == 0;
    const bool slow = argc == 4 && std::strcmp(argv[1], "--slow") == 0;
    const bool stalling = argc == 2 && std::strcmp(argv[1], "--stall") == 0;
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    XSetErrorHandler(ignoreErrors);
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
    if (trickling)
        trickle(display, std::atoi(argv[2]));
    if (slow)
        answerLate(display, std::atoi(argv[2]), std::atoi(argv[3]));
    if (stalling)
        answerLate(display, -1, 1);
    for (;;)
        pause();
}
