#include "platform/x11/x11_clipboard_reader.h"
#include "platform/x11/x11_error_trap.h"
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <algorithm>
#include <chrono>
#include <climits>
#include <poll.h>

namespace platform::x11 {

namespace {
using Clock = std::chrono::steady_clock;

// Targets that are requests or conversions, not data of their own: asking for them does
// something to the owner (DELETE, INSERT_*), names other targets (TARGETS, MULTIPLE), or hands
// out a server resource that lives only as long as the owner (PIXMAP …).
constexpr const char* kNotData[] = {
    "TARGETS", "MULTIPLE",         "TIMESTAMP",       "SAVE_TARGETS",
    "DELETE",  "INSERT_SELECTION", "INSERT_PROPERTY", "INCR",
    "PIXMAP",  "BITMAP",           "DRAWABLE",        "COLORMAP",
    "ATOM",    "ATOM_PAIR",        "INTEGER",         "WINDOW",
};

class Window {
public:
    explicit Window(Display* display)
        : display_(display),
          id_(XCreateSimpleWindow(display, DefaultRootWindow(display), -10, -10, 1, 1, 0, 0, 0)) {
        XSelectInput(display, id_, PropertyChangeMask);
    }
    ~Window() { XDestroyWindow(display_, id_); }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    ::Window id() const { return id_; }

private:
    Display* display_;
    ::Window id_;
};

class Reader {
public:
    Reader(Display* display, Atom selection, Clock::time_point deadline, Clock::time_point lastDeadline)
        : display_(display), window_(display), deadline_(deadline), lastDeadline_(lastDeadline),
          clipboard_(selection), property_(XInternAtom(display, "_PIKOME_CLIPBOARD_COPY", False)),
          incr_(XInternAtom(display, "INCR", False)) {}

    enum class Result { Data, Refused, TimedOut };

    // Asks the owner for the clipboard as target and waits for the answer until the deadline;
    // a transfer in parts (INCR) gets more time with each part that comes, up to the last
    // deadline.
    Result convert(Atom target, std::string* bytes, Atom* type, int* format) {
        XConvertSelection(display_, clipboard_, target, property_, window_.id(), CurrentTime);
        XFlush(display_);
        // An answer to an earlier request that came too late names another target.
        const bool answered = waitForEvent([&](const XEvent& e) {
            return e.type == SelectionNotify && e.xselection.requestor == window_.id() &&
                   e.xselection.selection == clipboard_ && e.xselection.target == target;
        });
        if (!answered)
            return Result::TimedOut;
        if (lastEvent_.xselection.property == None)
            return Result::Refused;
        if (!readProperty(bytes, type, format))
            return Result::Refused;
        if (*type != incr_)
            return Result::Data;
        // In parts: each new value of the property is the next part, an empty one the end.
        bytes->clear();
        for (;;) {
            deadline_ = std::min(std::max(deadline_, Clock::now() + partBound_), lastDeadline_);
            const bool newValue = waitForEvent([&](const XEvent& e) {
                return e.type == PropertyNotify && e.xproperty.window == window_.id() &&
                       e.xproperty.atom == property_ && e.xproperty.state == PropertyNewValue;
            });
            if (!newValue)
                return Result::TimedOut;
            std::string part;
            if (!readProperty(&part, type, format))
                return Result::Refused;
            // A notice of a value already read and deleted (the INCR mark itself, or an
            // earlier target's answer) finds no property: not the end, wait on.
            if (*type == None)
                continue;
            if (part.empty())
                return Result::Data;
            bytes->append(part);
        }
    }

    void setPartBound(std::chrono::milliseconds bound) { partBound_ = bound; }

private:
    bool readProperty(std::string* bytes, Atom* type, int* format) {
        unsigned char* data = nullptr;
        unsigned long items = 0;
        unsigned long after = 0;
        if (XGetWindowProperty(display_, window_.id(), property_, 0, LONG_MAX / 4, True, AnyPropertyType,
                               type, format, &items, &after, &data) != Success)
            return false;
        // Xlib hands out 32-bit items as longs.
        const std::size_t itemSize = *format == 32 ? sizeof(long) : std::size_t(*format / 8);
        bytes->assign(reinterpret_cast<const char*>(data), data ? items * itemSize : 0);
        if (data)
            XFree(data);
        return true;
    }

    // Takes the server's events in the order they came until one matches, then leaves it in
    // lastEvent_; false once the deadline has passed. The others are dropped: this connection
    // serves this one read, and an event left in the queue (the notice of a property deleted by
    // a read, anything another client sends) would otherwise wake every later wait at once and
    // turn it into a spin that never looks at the clock. Between events the wait sleeps in
    // poll(), so an owner that answers late, or never, costs time but no processor.
    template <class Matches> bool waitForEvent(const Matches& matches) {
        for (;;) {
            if (XPending(display_) > 0) {
                XNextEvent(display_, &lastEvent_);
                if (matches(lastEvent_))
                    return true;
            } else {
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
                if (left <= 0)
                    return false;
                pollfd fd{ConnectionNumber(display_), POLLIN, 0};
                // Rounded up: a wait of 0 ms would spin through the last fraction of a millisecond.
                poll(&fd, 1, int(std::min<long long>(left + 1, INT_MAX)));
            }
            // Checked after every event too: a client that keeps sending events to this window
            // must not keep the read going past its bound either.
            if (Clock::now() >= deadline_)
                return false;
        }
    }

    Display* display_;
    Window window_;
    Clock::time_point deadline_;
    Clock::time_point lastDeadline_;
    std::chrono::milliseconds partBound_{0};
    XEvent lastEvent_{};
    Atom clipboard_;
    Atom property_;
    Atom incr_;
};

bool isData(Display* display, Atom target) {
    char* name = XGetAtomName(display, target);
    if (!name)
        return false;
    const std::string text = name;
    XFree(name);
    return std::none_of(std::begin(kNotData), std::end(kNotData), [&](const char* n) { return text == n; });
}

std::string atomName(Display* display, Atom atom) {
    char* name = XGetAtomName(display, atom);
    std::string text = name ? name : "";
    if (name)
        XFree(name);
    return text;
}
} // namespace

std::optional<ClipboardSnapshot> readClipboard(const char* displayName, int boundMs, const char* selection) {
    Display* display = XOpenDisplay(displayName);
    if (!display)
        return std::nullopt;
    ClipboardSnapshot snapshot;
    {
        ErrorTrap trap(display);
        const auto bound = std::chrono::milliseconds(boundMs);
        const auto now = Clock::now();
        const Atom selectionAtom = XInternAtom(display, selection, False);
        Reader reader(display, selectionAtom, now + bound, now + bound * kTransferBoundFactor);
        reader.setPartBound(bound);
        if (XGetSelectionOwner(display, selectionAtom) != None) {
            std::string list;
            Atom type = None;
            int format = 0;
            const auto answer = reader.convert(XInternAtom(display, "TARGETS", False), &list, &type, &format);
            if (answer != Reader::Result::Data || format != 32) {
                snapshot.complete = false;
            } else {
                std::vector<Atom> targets(list.size() / sizeof(long));
                for (std::size_t i = 0; i < targets.size(); ++i)
                    targets[i] = Atom(reinterpret_cast<const long*>(list.data())[i]);
                for (Atom target : targets) {
                    if (!isData(display, target))
                        continue;
                    ClipboardFormat taken{atomName(display, target), {}};
                    const auto result = reader.convert(target, &taken.bytes, &type, &format);
                    if (result == Reader::Result::TimedOut) {
                        snapshot.complete = false;
                        break;
                    }
                    // Only byte data can be offered again as it came.
                    if (result == Reader::Result::Data && format == 8)
                        snapshot.formats.push_back(std::move(taken));
                }
            }
        }
    }
    XCloseDisplay(display);
    return snapshot;
}

} // namespace platform::x11
