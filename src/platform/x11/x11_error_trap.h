#pragma once
// Xlib's default error handler ends the process. A window can close at any moment between the
// time we learn its id and the time we use it, so every request that names somebody else's
// window runs under an ErrorTrap, which records the error instead.
#include <X11/Xlib.h>

namespace platform::x11 {

class ErrorTrap {
public:
    explicit ErrorTrap(Display* display);
    // Waits for the server to answer the requests made under the trap, so their errors cannot
    // reach whatever handler comes back after it.
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // True when a request made under the trap failed; waits for the server's answer first.
    bool failed();
    // Tells the trap that the request just made had a reply: the server has then answered every
    // request before it, and their errors have come in, so failed() needs no extra round trip.
    void noteReply() { syncedBefore_ = NextRequest(display_); }
    // The first error's code (BadWindow, BadAtom …), 0 when none came in (yet).
    int firstError() const { return firstError_; }

private:
    static int handle(Display* display, XErrorEvent* error);
    void sync();

    Display* display_;
    // Errors for requests older than the trap belong to whoever made them.
    unsigned long firstSerial_;
    unsigned long syncedBefore_ = 0;
    int firstError_ = 0;
    ErrorTrap* outer_;
    XErrorHandler previousHandler_;
};

} // namespace platform::x11
