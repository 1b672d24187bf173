#include "platform/x11/x11_error_trap.h"

namespace platform::x11 {

namespace {
// Xlib has one error handler per process, not per connection; traps nest like a stack on the one
// thread that talks to the server.
ErrorTrap* innermostTrap = nullptr;
XErrorHandler handlerBeforeTraps = nullptr;
} // namespace

ErrorTrap::ErrorTrap(Display* display)
    : display_(display), firstSerial_(NextRequest(display)), outer_(innermostTrap) {
    previousHandler_ = XSetErrorHandler(&ErrorTrap::handle);
    if (!outer_)
        handlerBeforeTraps = previousHandler_;
    innermostTrap = this;
}

ErrorTrap::~ErrorTrap() {
    if (NextRequest(display_) != syncedBefore_)
        XSync(display_, False);
    innermostTrap = outer_;
    XSetErrorHandler(previousHandler_);
}

bool ErrorTrap::failed() {
    sync();
    return firstError_ != 0;
}

void ErrorTrap::sync() {
    if (NextRequest(display_) == syncedBefore_)
        return;
    XSync(display_, False);
    syncedBefore_ = NextRequest(display_);
}

int ErrorTrap::handle(Display* display, XErrorEvent* error) {
    for (ErrorTrap* trap = innermostTrap; trap; trap = trap->outer_) {
        if (trap->display_ == display && error->serial >= trap->firstSerial_) {
            if (trap->firstError_ == 0)
                trap->firstError_ = error->error_code;
            return 0;
        }
    }
    // Not ours: let the handler we replaced decide, as if no trap were there.
    return handlerBeforeTraps ? handlerBeforeTraps(display, error) : 0;
}

} // namespace platform::x11
