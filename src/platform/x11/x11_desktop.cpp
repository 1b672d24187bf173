#include "platform/x11/x11_desktop.h"
// Qt's headers before Xlib's, whose macros (Bool, Status) break them.

#include "platform/input_mode_key.h"
#include "platform/x11/wayland_session.h"
#include "platform/x11/x11_clipboard_handoff.h"
#include "platform/x11/x11_clipboard_owner.h"
#include "platform/x11/x11_clipboard_reader.h"
#include "platform/x11/x11_error_trap.h"
#include "platform/x11/x11_keys.h"
#include "platform/x11/x11_pointer_watch.h"
#include "platform/x11/x11_property_notices.h"
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <span>
#include <string>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace platform {

namespace {

// Xlib's answer to a broken connection is exit(), from inside whatever call noticed it: in the
// middle of a save (the work area is asked for), the exit handlers would run a second save
// inside the first. Both Xlib's handler (which exits) and its exit are replaced, per process and
// per connection: the connection is marked dead, every later call on it fails at once, and the
// program goes on to where Qt, which notices the broken connection itself, ends it from its
// event loop.
//
// Xlib must not be called on a connection after its I/O error: some of its calls then write
// through a request they could not make, and the program crashes instead of failing. So the
// connections that broke are remembered, and the desktop asks nothing more of them.
std::mutex brokenLock;
std::vector<Display*> brokenDisplays;

bool knownBroken(Display* display) {
    std::lock_guard lock(brokenLock);
    return std::find(brokenDisplays.begin(), brokenDisplays.end(), display) != brokenDisplays.end();
}

void rememberBroken(Display* display) {
    std::lock_guard lock(brokenLock);
    if (std::find(brokenDisplays.begin(), brokenDisplays.end(), display) == brokenDisplays.end())
        brokenDisplays.push_back(display);
}

// Xlib learns that the server has gone only inside the call that first fails, and then the
// call itself may crash. The socket tells it before any call: once the server has hung up
// (the server killed at the end of a session, while the program saves), no call is made.
bool serverHungUp(Display* display) {
    pollfd socket{ConnectionNumber(display), POLLRDHUP, 0};
    return ::poll(&socket, 1, 0) > 0 && (socket.revents & (POLLHUP | POLLRDHUP | POLLERR | POLLNVAL)) != 0;
}

bool connectionBroke(Display* display) {
    if (knownBroken(display))
        return true;
    if (!serverHungUp(display))
        return false;
    rememberBroken(display);
    return true;
}

int noteBrokenConnection(Display* display) {
    rememberBroken(display);
    static bool said = false;
    if (!said) {
        said = true;
        std::fputs("pikome: the connection to the X server broke.\n", stderr);
    }
    return 0;
}
void keepRunningAfterIoError(Display*, void*) {}

using namespace std::chrono_literals;
using x11::ErrorTrap;
using x11::KeyChord;

// openbox answers _NET_REQUEST_FRAME_EXTENTS within a few milliseconds; a window manager that has
// not answered after this long is not going to, and start-up must not wait on it.
constexpr auto kFrameExtentsTimeout = 300ms;
// Activation took 2–6 ms with openbox, 5–7 ms with fluxbox, 1–2 ms with icewm until the root's
// _NET_ACTIVE_WINDOW changed, and Qt windows had the keyboard focus a few milliseconds later;
// a window that is not active after this long is refused. Right after a keymap change (a keycode
// borrowed for a key the layout lacks, or given back) openbox grabs its keys again first and took
// 250–320 ms; the bound leaves room for that on a loaded machine.
constexpr auto kActivationTimeout = 1000ms;
// Each poll is one round trip to the server; a millisecond apart keeps the caller's wait close to
// the window manager's own time without flooding the connection.
constexpr auto kPollInterval = 1ms;

// _NET_WM_STATE client message actions and the "source indication" of EWMH client messages:
// 2 is a pager or taskbar, which window managers obey without focus-stealing prevention.
constexpr long kNetWmStateRemove = 0;
constexpr long kNetWmStateAdd = 1;
constexpr long kSourcePager = 2;

// ICCCM WM_STATE values.
constexpr unsigned long kWithdrawnState = 0;

// Frames of reparenting window managers nest the client a level or two deep.
constexpr int kFrameSearchDepth = 3;
// How far below a client the keyboard focus is looked for; toolkits nest a level or two.
constexpr int kFocusSearchDepth = 8;

struct XFreeDeleter {
    void operator()(void* p) const {
        if (p)
            XFree(p);
    }
};

// One property's value. Format-32 items come from Xlib as longs whatever their declared size.
struct Property {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    std::unique_ptr<unsigned char, XFreeDeleter> data;

    bool present() const { return type != None; }
    std::span<const unsigned long> longs() const {
        if (format != 32 || !data)
            return {};
        return {reinterpret_cast<const unsigned long*>(data.get()), count};
    }
    unsigned long first() const {
        auto items = longs();
        return items.empty() ? 0 : items[0];
    }
};

// nullopt when the window does not exist (any more); an absent property reads as type None.
std::optional<Property> readProperty(Display* display, Window window, Atom name, Atom type,
                                     long maxLongs = 1024) {
    ErrorTrap trap(display);
    Property p;
    unsigned long bytesAfter = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, window, name, 0, maxLongs, False, type, &p.type, &p.format,
                                          &p.count, &bytesAfter, &data);
    p.data.reset(data);
    trap.noteReply();
    if (status != Success || trap.failed())
        return std::nullopt;
    // A property of another type comes back without data: treat it as absent.
    if (type != AnyPropertyType && p.type != type) {
        p.type = None;
        p.count = 0;
        p.data.reset();
    }
    return p;
}

void sendToRoot(Display* display, Window root, Window window, Atom messageType, std::array<long, 5> data) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = messageType;
    event.xclient.format = 32;
    std::copy(data.begin(), data.end(), event.xclient.data.l);
    XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(display);
}

std::vector<Window> childrenOf(Display* display, Window window, Window* parent = nullptr) {
    ErrorTrap trap(display);
    Window rootReturn = 0, parentReturn = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    std::vector<Window> result;
    if (XQueryTree(display, window, &rootReturn, &parentReturn, &children, &count)) {
        result.assign(children, children + count);
        if (parent)
            *parent = parentReturn;
    }
    if (children)
        XFree(children);
    trap.noteReply();
    return result;
}

} // namespace

X11Desktop::X11Desktop(_XDisplay* display) : X11Desktop(display, false) {}

X11Desktop::X11Desktop(_XDisplay* display, bool ownsDisplay)
    : display_(display), ownsDisplay_(ownsDisplay), waylandSession_(isWaylandSession()),
      root_(DefaultRootWindow(display)) {
    XSetIOErrorHandler(&noteBrokenConnection);
    XSetIOErrorExitHandler(display_, &keepRunningAfterIoError, nullptr);
    const std::pair<const char*, Xid*> wanted[] = {
        {"_NET_ACTIVE_WINDOW", &atoms_.netActiveWindow},
        {"_NET_FRAME_EXTENTS", &atoms_.netFrameExtents},
        {"_NET_REQUEST_FRAME_EXTENTS", &atoms_.netRequestFrameExtents},
        {"_NET_SUPPORTED", &atoms_.netSupported},
        {"_NET_SUPPORTING_WM_CHECK", &atoms_.netSupportingWmCheck},
        {"_NET_WM_STATE", &atoms_.netWmState},
        {"_NET_WM_STATE_ABOVE", &atoms_.netWmStateAbove},
        {"_NET_WM_WINDOW_TYPE", &atoms_.netWmWindowType},
        {"_NET_WM_WINDOW_TYPE_NORMAL", &atoms_.netWmWindowTypeNormal},
        {"_NET_WM_WINDOW_TYPE_UTILITY", &atoms_.netWmWindowTypeUtility},
        {"_NET_WORKAREA", &atoms_.netWorkarea},
        {"WM_STATE", &atoms_.wmState},
    };
    constexpr std::size_t n = std::size(wanted);
    char* names[n];
    Atom atoms[n] = {};
    for (std::size_t i = 0; i < n; ++i)
        names[i] = const_cast<char*>(wanted[i].first);
    // One round trip for all of them.
    XInternAtoms(display_, names, int(n), False, atoms);
    for (std::size_t i = 0; i < n; ++i)
        *wanted[i].second = atoms[i];
    keys_ = std::make_unique<x11::KeyInjector>(display_);
    requestFrameExtents();
}

std::unique_ptr<X11Desktop> X11Desktop::open(const char* displayName) {
    Display* display = XOpenDisplay(displayName);
    if (!display)
        return nullptr;
    return std::unique_ptr<X11Desktop>(new X11Desktop(display, true));
}

X11Desktop::~X11Desktop() {
    pointerWatch_.reset();
    propertyNotices_.reset();
    // A connection that broke is left as it is: closing it would talk to it.
    if (queryDisplay_ && !connectionBroke(queryDisplay_))
        XCloseDisplay(queryDisplay_);
    if (unusable()) {
        // The borrowed keycode goes back over a connection of its own, if the server is still there.
        abandonConnection();
        keys_->forgetBorrowedKeycodes();
        keys_.reset();
        return;
    }
    if (frameProbe_) {
        XDestroyWindow(display_, frameProbe_);
        XFlush(display_);
    }
    keys_.reset();
    if (ownsDisplay_)
        XCloseDisplay(display_);
}

int X11Desktop::captionHeightPixels() {
    return predictedFrameExtents().top;
}

FrameExtents X11Desktop::predictedFrameExtents() {
    if (!frameExtents_)
        frameExtents_ = receiveFrameExtents();
    return *frameExtents_;
}

void X11Desktop::requestFrameExtents() {
    if (!windowManagerSupports(atoms_.netRequestFrameExtents))
        return;
    // The window manager computes the extents from the window's type and hints without mapping
    // it, so an ordinary unmapped top-level stands for the program's windows and nothing flashes.
    XSetWindowAttributes attributes{};
    frameProbe_ = XCreateWindow(display_, root_, 0, 0, 100, 100, 0, CopyFromParent, InputOutput,
                                CopyFromParent, 0, &attributes);
    const Atom normal = atoms_.netWmWindowTypeNormal;
    XChangeProperty(display_, frameProbe_, atoms_.netWmWindowType, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&normal), 1);
    sendToRoot(display_, root_, frameProbe_, atoms_.netRequestFrameExtents, {0, 0, 0, 0, 0});
}

FrameExtents X11Desktop::receiveFrameExtents() {
    if (!frameProbe_ || unusable())
        return {};
    FrameExtents extents;
    const auto deadline = std::chrono::steady_clock::now() + kFrameExtentsTimeout;
    for (;;) {
        auto p = readProperty(display_, frameProbe_, atoms_.netFrameExtents, XA_CARDINAL, 4);
        if (p && p->longs().size() >= 4) {
            auto l = p->longs();
            extents = {int(l[0]), int(l[1]), int(l[2]), int(l[3])};
            break;
        }
        if (!p || std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(kPollInterval);
    }
    if (unusable())
        return extents;
    XDestroyWindow(display_, frameProbe_);
    XFlush(display_);
    frameProbe_ = 0;
    return extents;
}

void X11Desktop::watchFrameExtents(WindowHandle window, std::function<void(FrameExtents)> changed) {
    if (!window || unusable())
        return;
    auto readAndTell = [this, window, changed = std::move(changed)] {
        if (unusable())
            return;
        auto p = readProperty(display_, Window(window), atoms_.netFrameExtents, XA_CARDINAL, 4);
        if (!p || p->longs().size() < 4)
            return;
        auto l = p->longs();
        changed({int(l[0]), int(l[1]), int(l[2]), int(l[3])});
    };
    if (propertyNotices())
        propertyNotices_->watch(Xid(window), atoms_.netFrameExtents, std::move(readAndTell), true);
}

void X11Desktop::markAsUtilityWindow(WindowHandle window) {
    if (!window || unusable())
        return;
    // Qt writes the same pair for its tool windows: the utility type first, the normal type for
    // window managers that know no other. Qt's own Qt::Tool would also make the palette
    // transient for the program's group, which stacking window managers keep above the
    // program's dialogs; the palette must let them come above it. Qt reads the property back
    // whenever it sets the window's type again, so the utility type stays.
    const Atom types[] = {Atom(atoms_.netWmWindowTypeUtility), Atom(atoms_.netWmWindowTypeNormal)};
    ErrorTrap trap(display_);
    XChangeProperty(display_, Window(window), atoms_.netWmWindowType, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(types), int(std::size(types)));
    XFlush(display_);
}

bool X11Desktop::windowManagerSupports(Xid atom) {
    // A window manager that died leaves its properties on the root; its check window goes with
    // it, and the check window names itself only while it lives.
    auto check = readProperty(display_, root_, atoms_.netSupportingWmCheck, XA_WINDOW, 1);
    if (!check || !check->first())
        return false;
    auto self = readProperty(display_, check->first(), atoms_.netSupportingWmCheck, XA_WINDOW, 1);
    if (!self || self->first() != check->first())
        return false;
    auto supported = readProperty(display_, root_, atoms_.netSupported, XA_ATOM, 4096);
    if (!supported)
        return false;
    auto list = supported->longs();
    return std::find(list.begin(), list.end(), atom) != list.end();
}

double X11Desktop::osVersion() {
    utsname name{};
    if (uname(&name) != 0)
        return 0.0;
    const char* p = name.release;
    const char* end = p + std::strlen(p);
    int major = 0, minor = 0;
    auto r = std::from_chars(p, end, major);
    if (r.ec != std::errc() || r.ptr == end || *r.ptr != '.')
        return double(major);
    const char* minorStart = r.ptr + 1;
    r = std::from_chars(minorStart, end, minor);
    if (r.ec != std::errc())
        return double(major);
    double scale = 1.0;
    for (const char* d = minorStart; d < r.ptr; ++d)
        scale *= 10.0;
    return major + minor / scale;
}

bool X11Desktop::unusable() const {
    return connectionAbandoned_ || connectionBroke(display_);
}

Rect X11Desktop::workArea() {
    if (unusable())
        return lastWorkArea_;
    if (auto p = readProperty(display_, root_, atoms_.netWorkarea, XA_CARDINAL, 4)) {
        auto l = p->longs();
        if (l.size() >= 4 && l[2] > 0 && l[3] > 0)
            return lastWorkArea_ = {int(long(l[0])), int(long(l[1])), int(l[2]), int(l[3])};
    }
    // The question may be the one that found the connection broken: the last answer stands.
    if (unusable())
        return lastWorkArea_;
    Window rootReturn = 0;
    int x = 0, y = 0;
    unsigned int width = 0, height = 0, border = 0, depth = 0;
    if (!XGetGeometry(display_, root_, &rootReturn, &x, &y, &width, &height, &border, &depth))
        return lastWorkArea_;
    return lastWorkArea_ = {0, 0, int(width), int(height)};
}

void X11Desktop::abandonConnection() {
    if (connectionAbandoned_)
        return;
    connectionAbandoned_ = true;
    // DisplayString only reads the connection's own record; it sends nothing.
    if (Display* fresh = XOpenDisplay(DisplayString(display_))) {
        XSetIOErrorExitHandler(fresh, &keepRunningAfterIoError, nullptr);
        keys_->giveBackOver(fresh);
        XCloseDisplay(fresh);
    }
}

std::optional<X11Desktop::ClientWindow> X11Desktop::clientWindowOf(Xid window) {
    auto managedBy = [&](const Property& state) {
        return state.count >= 1 && state.first() != kWithdrawnState;
    };
    auto own = readProperty(display_, window, atoms_.wmState, atoms_.wmState, 2);
    if (!own)
        return std::nullopt;
    if (own->present())
        return ClientWindow{window, managedBy(*own)};

    // A frame: the client is among its descendants.
    std::vector<Window> level{window};
    for (int depth = 0; depth < kFrameSearchDepth && !level.empty(); ++depth) {
        std::vector<Window> next;
        for (Window w : level) {
            for (Window child : childrenOf(display_, w)) {
                auto state = readProperty(display_, child, atoms_.wmState, atoms_.wmState, 2);
                if (state && state->present())
                    return ClientWindow{child, managedBy(*state)};
                next.push_back(child);
            }
        }
        level = std::move(next);
    }
    // A child of the client (a native child widget): the client is among its ancestors.
    for (Window w = window;;) {
        Window parent = 0;
        childrenOf(display_, w, &parent);
        if (!parent || parent == root_)
            break;
        auto state = readProperty(display_, parent, atoms_.wmState, atoms_.wmState, 2);
        if (state && state->present())
            return ClientWindow{parent, managedBy(*state)};
        w = parent;
    }
    return ClientWindow{window, false};
}

bool X11Desktop::setTopmost(WindowHandle window, bool on) {
    if (!window || unusable())
        return false;
    auto client = clientWindowOf(window);
    if (!client)
        return false;
    if (!client->managed) {
        // EWMH: the window manager reads _NET_WM_STATE when it takes a window on and ignores
        // messages about windows it does not manage, so an unmapped window gets the property
        // itself, merged with the states already there (Qt merges its own the same way).
        auto state = readProperty(display_, client->window, atoms_.netWmState, XA_ATOM);
        if (!state)
            return false;
        auto current = state->longs();
        std::vector<Atom> atoms(current.begin(), current.end());
        std::erase(atoms, Atom(atoms_.netWmStateAbove));
        if (on)
            atoms.push_back(atoms_.netWmStateAbove);
        ErrorTrap trap(display_);
        if (atoms.empty())
            XDeleteProperty(display_, client->window, atoms_.netWmState);
        else
            XChangeProperty(display_, client->window, atoms_.netWmState, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(atoms.data()), int(atoms.size()));
        if (trap.failed())
            return false;
    }
    // Sent in either case: a window being mapped right now may have been taken on after we read
    // WM_STATE and before the property changed, and then only the message counts.
    sendToRoot(display_, root_, client->window, atoms_.netWmState,
               {on ? kNetWmStateAdd : kNetWmStateRemove, long(atoms_.netWmStateAbove), 0, kSourcePager, 0});
    return true;
}

_XDisplay* X11Desktop::openSideConnection() {
    Display* display = XOpenDisplay(DisplayString(display_));
    if (display)
        XSetIOErrorExitHandler(display, &keepRunningAfterIoError, nullptr);
    return display;
}

_XDisplay* X11Desktop::queryDisplay() {
    if (!queryDisplayTried_) {
        queryDisplayTried_ = true;
        queryDisplay_ = openSideConnection();
    }
    return queryDisplay_ ? queryDisplay_ : display_;
}

x11::PropertyNotices* X11Desktop::propertyNotices() {
    if (!propertyNoticesTried_ && !unusable()) {
        propertyNoticesTried_ = true;
        propertyNotices_ = x11::PropertyNotices::forQtConnection(display_);
    }
    return unusable() ? nullptr : propertyNotices_.get();
}

bool X11Desktop::watchForeground(std::function<void()> mayHaveChanged) {
    return propertyNotices() &&
           propertyNotices_->watch(root_, atoms_.netActiveWindow, std::move(mayHaveChanged));
}

bool X11Desktop::notifyWhenPointerMoves(Point restingAt, WindowHandle window, std::function<void()> moved) {
    if (unusable())
        return false;
    if (!pointerWatchTried_) {
        pointerWatchTried_ = true;
        pointerWatch_ = x11::PointerWatch::over(openSideConnection(), &connectionBroke);
    }
    return pointerWatch_ && pointerWatch_->arm(restingAt, Xid(window), std::move(moved));
}

void X11Desktop::cancelPointerNotice() {
    if (pointerWatch_)
        pointerWatch_->disarm();
}

X11Desktop::Xid X11Desktop::activeWindow() {
    Display* display = queryDisplay();
    if (connectionBroke(display) || unusable())
        return 0;
    auto p = readProperty(display, root_, atoms_.netActiveWindow, XA_WINDOW, 1);
    return p ? p->first() : 0;
}

WindowHandle X11Desktop::foregroundWindow() {
    const Xid active = activeWindow();
    if (active == 0 && waylandSession_)
        return kUnreachableWindow;
    return active;
}

void X11Desktop::askForForeground(WindowHandle window) {
    if (!window || window == kUnreachableWindow || unusable())
        return;
    auto client = clientWindowOf(window);
    if (!client || !client->managed)
        return;
    sendToRoot(display_, root_, client->window, atoms_.netActiveWindow,
               {kSourcePager, CurrentTime, long(activeWindow()), 0, 0});
}

bool X11Desktop::setForegroundWindow(WindowHandle window) {
    if (!window || window == kUnreachableWindow || unusable())
        return false;
    auto client = clientWindowOf(window);
    // Only a window the window manager manages can become its active window.
    if (!client || !client->managed)
        return false;
    // The window manager names the new active window before the keyboard focus gets there: Qt
    // and GTK windows take the focus themselves when WM_TAKE_FOCUS reaches them, a few
    // milliseconds later. Keys sent in between go to the old window, and an old window that
    // answers a WM_TAKE_FOCUS late takes the focus back. Only both together count.
    auto arrived = [&] {
        return !unusable() && activeWindow() == client->window && hasKeyboardFocus(client->window);
    };
    if (arrived())
        return true;
    sendToRoot(display_, root_, client->window, atoms_.netActiveWindow,
               {kSourcePager, CurrentTime, long(activeWindow()), 0, 0});
    const auto deadline = std::chrono::steady_clock::now() + kActivationTimeout;
    for (;;) {
        if (arrived())
            return true;
        if (std::chrono::steady_clock::now() >= deadline || unusable())
            return false;
        std::this_thread::sleep_for(kPollInterval);
    }
}

bool X11Desktop::hasKeyboardFocus(Xid client) {
    if (unusable())
        return false;
    Window focus = None;
    int revertTo = 0;
    XGetInputFocus(display_, &focus, &revertTo);
    // The focus may sit on a child of the client (a native child widget, a toolkit's focus proxy).
    for (int depth = 0; focus != None && focus != PointerRoot && focus != root_; ++depth) {
        if (focus == client)
            return true;
        if (depth == kFocusSearchDepth)
            break;
        Window parent = None;
        childrenOf(display_, focus, &parent);
        focus = parent;
    }
    return false;
}

bool X11Desktop::sendKeys(std::string_view keys, bool wait) {
    struct Notation {
        std::string_view text;
        KeyChord chord;
    };
    static constexpr KeyStroke kInputMode = inputModeKey();
    static constexpr Notation kNotations[] = {
        {"^v", {.control = true, .key = XK_v}},
        {"^+v", {.control = true, .shift = true, .key = XK_v}},
        {"+{INSERT}", {.shift = true, .key = XK_Insert}},
        {"%{kanji}",
         {.control = kInputMode.control, .alt = kInputMode.alt, .key = KeySym(kInputMode.keysym)}},
        {"{ENTER}", {.key = XK_Return}},
        {"{TAB}", {.key = XK_Tab}},
    };
    if (unusable())
        return false;
    for (const Notation& n : kNotations)
        if (n.text == keys)
            return keys_->send(std::span(&n.chord, 1), wait);
    return false;
}

std::vector<std::string> X11Desktop::windowClassNames(WindowHandle window) {
    if (!window || window == kUnreachableWindow || unusable())
        return {};
    auto client = clientWindowOf(window);
    if (!client)
        return {};
    ErrorTrap trap(display_);
    XClassHint hint{};
    const Status got = XGetClassHint(display_, client->window, &hint);
    trap.noteReply();
    std::vector<std::string> names;
    if (got && !trap.failed()) {
        for (const char* name : {hint.res_class, hint.res_name})
            if (name && *name)
                names.emplace_back(name);
    }
    if (hint.res_name)
        XFree(hint.res_name);
    if (hint.res_class)
        XFree(hint.res_class);
    return names;
}

Point X11Desktop::cursorPos() {
    Window rootReturn = 0, child = 0;
    int rootX = 0, rootY = 0, winX = 0, winY = 0;
    unsigned int mask = 0;
    Display* display = queryDisplay();
    if (connectionBroke(display) || unusable())
        return {};
    XQueryPointer(display, root_, &rootReturn, &child, &rootX, &rootY, &winX, &winY, &mask);
    return {rootX, rootY};
}

std::optional<ClipboardSnapshot> X11Desktop::readClipboard(int boundMs) {
    return x11::readClipboard(DisplayString(display_), boundMs);
}

std::optional<ClipboardSnapshot> X11Desktop::readPrimarySelection(int boundMs) {
    return x11::readClipboard(DisplayString(display_), boundMs, "PRIMARY");
}

std::optional<bool> X11Desktop::clipboardOwnedWith(WindowHandle window) {
    // Qt's own connection: the palette's windows and Qt's clipboard window are its resources.
    if (unusable())
        return std::nullopt;
    return x11::clipboardOwnedByClientOf(display_, window);
}

bool X11Desktop::handClipboardToManager(WindowHandle window, const std::function<void()>& serveRequests) {
    // A manager fetches a clipboard of a few formats in milliseconds; a session that is ending
    // must not wait long for one that is slow.
    constexpr int kManagerBoundMs = 1000;
    if (unusable() || !x11::clipboardOwnedByClientOf(display_, window))
        return false;
    return x11::handClipboardToManager(DisplayString(display_), kManagerBoundMs, serveRequests);
}

std::uint32_t X11Desktop::tickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::uint32_t(std::uint64_t(now.tv_sec) * 1000u + std::uint64_t(now.tv_nsec) / 1000000u);
}

void X11Desktop::beep() {
    if (unusable())
        return;
    XBell(display_, 0);
    XFlush(display_);
}

bool X11Desktop::openUrl(std::string_view url) {
    if (url.empty())
        return false;
    // Everything the children need is prepared here: between fork and exec only
    // async-signal-safe calls are allowed, and other threads (Qt's) may hold the malloc lock.
    std::string program = "xdg-open";
    std::string argument(url);
    char* argv[] = {program.data(), argument.data(), nullptr};

    // The grandchild reports a failed exec through a close-on-exec pipe: end of file means the
    // exec succeeded.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return false;
    const pid_t child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (child == 0) {
        // Double fork: the intermediate exits at once and we reap it below; the browser
        // launcher is adopted by init and never becomes our zombie.
        setsid();
        const pid_t grandchild = fork();
        if (grandchild == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            if (null >= 0)
                dup2(null, STDIN_FILENO);
            execvp(argv[0], argv);
            const int error = errno;
            (void)!write(report[1], &error, sizeof error);
            _exit(127);
        }
        if (grandchild < 0) {
            const int error = errno;
            (void)!write(report[1], &error, sizeof error);
        }
        _exit(0);
    }
    close(report[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    while ((got = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    return got == 0;
}

} // namespace platform
