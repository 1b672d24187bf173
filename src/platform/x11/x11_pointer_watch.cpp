#include "platform/x11/x11_pointer_watch.h"
#include <QCoreApplication>
#include <QSocketNotifier>
#include <utility>

// Xlib's macros (None, Bool …) clash with Qt's names: X headers come after Qt's.
#include "platform/x11/x11_error_trap.h"
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

namespace platform::x11 {

namespace {

// Raw events reach every client that selected them on the root, grab or no grab, from XInput
// 2.1 on; 2.0 servers send them only while nobody grabs the pointer, which still serves.
constexpr int kInputMajor = 2;
constexpr int kInputMinor = 2;

void selectRawMotion(Display* display, Window root, bool on) {
    unsigned char bits[XIMaskLen(XI_RawMotion)] = {};
    if (on)
        XISetMask(bits, XI_RawMotion);
    XIEventMask mask{XIAllMasterDevices, int(sizeof bits), bits};
    XISelectEvents(display, root, &mask, 1);
}

} // namespace

std::unique_ptr<PointerWatch> PointerWatch::over(_XDisplay* display, BrokenTest broken) {
    if (!display)
        return nullptr;
    int opcode = 0, firstEvent = 0, firstError = 0;
    int major = kInputMajor, minor = kInputMinor;
    if (!QCoreApplication::instance() ||
        !XQueryExtension(display, "XInputExtension", &opcode, &firstEvent, &firstError) ||
        XIQueryVersion(display, &major, &minor) != Success) {
        XCloseDisplay(display);
        return nullptr;
    }
    return std::unique_ptr<PointerWatch>(new PointerWatch(display, opcode, broken));
}

PointerWatch::PointerWatch(_XDisplay* display, int inputOpcode, BrokenTest broken)
    : display_(display), inputOpcode_(inputOpcode), broken_(broken), root_(DefaultRootWindow(display)),
      notifier_(std::make_unique<QSocketNotifier>(ConnectionNumber(display), QSocketNotifier::Read)) {
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { eventsArrived(); });
}

PointerWatch::~PointerWatch() {
    notifier_.reset();
    // A connection that broke is left as it is: closing it would talk to it.
    if (!broken_(display_))
        XCloseDisplay(display_);
}

bool PointerWatch::arm(Point restingAt, unsigned long window, std::function<void()> moved) {
    disarm();
    if (broken_(display_))
        return false;
    listen(window);
    // Asked after the selections: the server handles requests in order, so a move after this
    // answer is told, and one before it shows in the answer.
    Window rootReturn = 0, child = 0;
    int x = 0, y = 0, winX = 0, winY = 0;
    unsigned int buttons = 0;
    XQueryPointer(display_, root_, &rootReturn, &child, &x, &y, &winX, &winY, &buttons);
    // A move told while the question was answered is read into Xlib's queue, where the socket
    // notifier never sees it.
    if (broken_(display_) || movesArrived() || !(Point{x, y} == restingAt)) {
        disarm();
        return false;
    }
    moved_ = std::move(moved);
    return true;
}

void PointerWatch::listen(unsigned long window) {
    selectRawMotion(display_, root_, true);
    frame_ = 0;
    if (!window)
        return;
    ErrorTrap trap(display_);
    // The frame is the window's ancestor just below the root (the window itself without a window
    // manager). Asked anew each time: a window manager that restarts makes new frames.
    for (Window w = window;;) {
        Window rootReturn = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        const Status ok = XQueryTree(display_, w, &rootReturn, &parent, &children, &count);
        if (children)
            XFree(children);
        trap.noteReply();
        if (!ok || trap.failed())
            return;
        if (parent == rootReturn) {
            frame_ = w;
            break;
        }
        w = parent;
    }
    XSelectInput(display_, frame_, EnterWindowMask | LeaveWindowMask);
    if (trap.failed())
        frame_ = 0;
}

void PointerWatch::disarm() {
    moved_ = nullptr;
    if (broken_(display_))
        return;
    selectRawMotion(display_, root_, false);
    if (frame_) {
        // Only this connection's own selection on the frame goes; the frame may have gone.
        ErrorTrap trap(display_);
        XSelectInput(display_, frame_, NoEventMask);
        frame_ = 0;
    }
    XFlush(display_);
    movesArrived(); // whatever came before the selections ended
}

bool PointerWatch::movesArrived() {
    bool moved = false;
    while (!broken_(display_) && XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == GenericEvent)
            moved =
                moved || (event.xcookie.extension == inputOpcode_ && event.xcookie.evtype == XI_RawMotion);
        else
            moved = moved || event.type == EnterNotify || event.type == LeaveNotify;
    }
    return moved;
}

void PointerWatch::eventsArrived() {
    if (broken_(display_)) {
        // The server hung up: the socket stays readable, and nothing more will come.
        notifier_->setEnabled(false);
        moved_ = nullptr;
        return;
    }
    if (!movesArrived() || !moved_)
        return;
    auto moved = std::exchange(moved_, nullptr);
    disarm();
    moved();
}

} // namespace platform::x11
