// The X11 desktop against a real X server. x11_desktop.sh runs it on a private Xvfb twice:
// --bare before any window manager runs, --wm under openbox. The desktop under test works on
// Qt's own connection, as in the program; an observer connection of its own checks what the
// server and the window manager really did. Exits non-zero when a check fails.
// usage: x11_desktop_test --bare|--wm RECEIVER
#include "platform/x11/x11_desktop.h"
#include <QCoreApplication>
#include <QGuiApplication>

// Xlib's macros (None, KeyPress, Bool …) clash with Qt's names: X headers come after Qt's.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using platform::WindowHandle;

// Generous bounds for things other processes do (Qt programs starting, openbox reacting): they
// only matter when something is broken, and then the test fails instead of hanging.
constexpr auto kStartLimit = 10s;
constexpr auto kReactLimit = 2s;
// The input-mode key as the receiver names it: Zenkaku_Hankaku, without modifiers.
const std::string kInputModeKey = "Zenkaku Hankaku";
// How long "nothing happened" is watched for.
constexpr auto kQuietPeriod = 150ms;

int failures = 0;

void check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok)
        ++failures;
}

void note(const std::string& what) {
    std::printf("     %s\n", what.c_str());
    std::fflush(stdout);
}

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string ms(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f ms", value);
    return buffer;
}

// Polls while running the event loop, as the program does when a notice is to come.
template <class Predicate> bool pollWithEvents(Clock::duration limit, Predicate predicate) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        QCoreApplication::processEvents();
        if (predicate())
            return true;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(2ms);
    }
}

template <class Predicate> bool pollUntil(Clock::duration limit, Predicate predicate) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        if (predicate())
            return true;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(2ms);
    }
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// --- X errors -------------------------------------------------------------------------------

Display* observerDisplay = nullptr;
int observerErrors = 0;
int untrappedErrors = 0;

// The observer races windows that close; its errors are expected. Any other error reaching this
// handler escaped the desktop's traps, which in the program would end it.
int testErrorHandler(Display* display, XErrorEvent* error) {
    if (display == observerDisplay) {
        ++observerErrors;
        return 0;
    }
    ++untrappedErrors;
    char text[128];
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::printf("FAIL untrapped X error on the desktop's connection: %s (request %d)\n", text,
                int(error->request_code));
    return 0;
}

// --- Observer -------------------------------------------------------------------------------

struct XFreeDeleter {
    void operator()(void* p) const {
        if (p)
            XFree(p);
    }
};

class Observer {
public:
    Observer() : d(XOpenDisplay(nullptr)) {
        if (!d) {
            std::fprintf(stderr, "cannot open display\n");
            std::exit(2);
        }
        observerDisplay = d;
        root = DefaultRootWindow(d);
    }
    ~Observer() {
        XCloseDisplay(d);
        observerDisplay = nullptr;
    }

    Atom atom(const char* name) {
        auto it = atoms_.find(name);
        if (it == atoms_.end())
            it = atoms_.emplace(name, XInternAtom(d, name, False)).first;
        return it->second;
    }

    // Format-32 items; empty when absent or when the window is gone.
    std::vector<unsigned long> longs(Window w, const char* name, Atom type = AnyPropertyType) {
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::vector<unsigned long> result;
        if (XGetWindowProperty(d, w, atom(name), 0, 4096, False, type, &actualType, &format, &count, &after,
                               &data) == Success &&
            data && format == 32) {
            auto* items = reinterpret_cast<unsigned long*>(data);
            result.assign(items, items + count);
        }
        if (data)
            XFree(data);
        return result;
    }

    std::string text(Window w, const char* name) {
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::string result;
        if (XGetWindowProperty(d, w, atom(name), 0, 4096, False, AnyPropertyType, &actualType, &format,
                               &count, &after, &data) == Success &&
            data && format == 8)
            result.assign(reinterpret_cast<char*>(data), count);
        if (data)
            XFree(data);
        return result;
    }

    bool hasState(Window w, const char* state) {
        auto atoms = longs(w, "_NET_WM_STATE", XA_ATOM);
        return std::find(atoms.begin(), atoms.end(), atom(state)) != atoms.end();
    }

    bool managed(Window w) {
        auto state = longs(w, "WM_STATE");
        return !state.empty() && state[0] != WithdrawnState;
    }

    WindowHandle active() {
        auto v = longs(root, "_NET_ACTIVE_WINDOW", XA_WINDOW);
        return v.empty() ? 0 : v[0];
    }

    std::vector<unsigned long> stacking() { return longs(root, "_NET_CLIENT_LIST_STACKING", XA_WINDOW); }

    // A managed window whose title is the given one, 0 if none (yet).
    Window clientNamed(const std::string& title) {
        for (unsigned long w : longs(root, "_NET_CLIENT_LIST", XA_WINDOW))
            if (text(w, "_NET_WM_NAME") == title || text(w, "WM_NAME") == title)
                return w;
        return 0;
    }

    Window parentOf(Window w) {
        Window rootReturn = 0, parent = 0;
        Window* children = nullptr;
        unsigned int n = 0;
        if (!XQueryTree(d, w, &rootReturn, &parent, &children, &n))
            return 0;
        if (children)
            XFree(children);
        return parent;
    }

    // The window manager's frame: the client's ancestor that is a child of the root.
    Window frameOf(Window w) {
        for (Window p = parentOf(w); p && p != root; p = parentOf(w))
            w = p;
        return w;
    }

    bool isSelfOrAncestor(Window ancestor, Window w) {
        for (; w && w != root && w != PointerRoot; w = parentOf(w))
            if (w == ancestor)
                return true;
        return false;
    }

    // Activation requests reach every client that listens for the root's substructure notices.
    void listenForActivationRequests() {
        XSelectInput(d, root, SubstructureNotifyMask);
        XSync(d, False);
    }
    int activationRequestsSince() {
        XSync(d, False);
        int requests = 0;
        while (XPending(d)) {
            XEvent e;
            XNextEvent(d, &e);
            requests += e.type == ClientMessage && e.xclient.message_type == atom("_NET_ACTIVE_WINDOW");
        }
        return requests;
    }
    void stopListeningOnRoot() {
        XSelectInput(d, root, NoEventMask);
        activationRequestsSince();
    }

    Window inputFocus() {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(d, &focus, &revert);
        return focus;
    }

    struct Geometry {
        int x = 0, y = 0;
        unsigned width = 0, height = 0;
        bool viewable = false;
        bool operator==(const Geometry&) const = default;
    };
    Geometry geometry(Window w) {
        Geometry g;
        XWindowAttributes a{};
        if (!XGetWindowAttributes(d, w, &a))
            return g;
        Window child = 0;
        XTranslateCoordinates(d, w, root, 0, 0, &g.x, &g.y, &child);
        g.width = unsigned(a.width);
        g.height = unsigned(a.height);
        g.viewable = a.map_state == IsViewable;
        return g;
    }

    Window createWindow(const std::string& title, bool map, long strutTop = 0) {
        Window w = XCreateSimpleWindow(d, root, 100, 100, 200, 80, 0, 0, 0xffffff);
        XStoreName(d, w, title.c_str());
        if (strutTop) {
            Atom dock = atom("_NET_WM_WINDOW_TYPE_DOCK");
            XChangeProperty(d, w, atom("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(&dock), 1);
            long strut[12] = {0, 0, strutTop, 0, 0, 0, 0, 0, 0, 1279, 0, 0};
            XChangeProperty(d, w, atom("_NET_WM_STRUT_PARTIAL"), XA_CARDINAL, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(strut), 12);
        }
        if (map)
            XMapWindow(d, w);
        XSync(d, False);
        return w;
    }

    void setStates(Window w, std::vector<const char*> states) {
        std::vector<Atom> atoms;
        for (const char* s : states)
            atoms.push_back(atom(s));
        XChangeProperty(d, w, atom("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(atoms.data()), int(atoms.size()));
        XSync(d, False);
    }

    // The keyboard map's rows, keycode → keysyms.
    struct Keymap {
        int minCode = 0, maxCode = 0, perCode = 0;
        std::vector<KeySym> syms;
        KeySym at(int code, int level) const { return syms[std::size_t(code - minCode) * perCode + level]; }
        std::vector<KeySym> row(int code) const {
            auto begin = syms.begin() + std::ptrdiff_t(code - minCode) * perCode;
            return {begin, begin + perCode};
        }
        int unbound() const {
            int n = 0;
            for (int c = minCode; c <= maxCode; ++c) {
                auto r = row(c);
                n += std::all_of(r.begin(), r.end(), [](KeySym s) { return s == NoSymbol; });
            }
            return n;
        }
        int codesWith(KeySym sym) const {
            int n = 0;
            for (int c = minCode; c <= maxCode; ++c) {
                auto r = row(c);
                n += std::find(r.begin(), r.end(), sym) != r.end();
            }
            return n;
        }
        int firstLevelCode(KeySym sym) const {
            for (int c = minCode; c <= maxCode; ++c)
                if (at(c, 0) == sym)
                    return c;
            return 0;
        }
    };
    Keymap keymap() {
        Keymap k;
        XDisplayKeycodes(d, &k.minCode, &k.maxCode);
        std::unique_ptr<KeySym, XFreeDeleter> syms(
            XGetKeyboardMapping(d, KeyCode(k.minCode), k.maxCode - k.minCode + 1, &k.perCode));
        k.syms.assign(syms.get(), syms.get() + std::size_t(k.maxCode - k.minCode + 1) * k.perCode);
        return k;
    }
    void setRow(int code, std::vector<KeySym> row) {
        XChangeKeyboardMapping(d, code, int(row.size()), row.data(), 1);
        XSync(d, False);
    }

    Display* d;
    Window root = 0;

private:
    std::map<std::string, Atom> atoms_;
};

// --- Other processes ------------------------------------------------------------------------

pid_t spawn(const std::vector<std::string>& args, bool quiet) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        std::fprintf(stderr, "cannot start %s: %s\n", argv[0], std::strerror(error));
        return -1;
    }
    return pid;
}

void stop(pid_t& pid) {
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

// A receiver window in a process of its own, like the windows users paste into.
struct Receiver {
    std::string title;
    fs::path textFile, keyLog;
    pid_t pid = -1;
    Window window = 0;

    std::string text() const { return readFile(textFile); }
    std::vector<std::string> keys() const {
        std::vector<std::string> result;
        std::istringstream in(readFile(keyLog));
        for (std::string line; std::getline(in, line);)
            result.push_back(line.substr(0, line.find('\t')));
        return result;
    }
    std::size_t count(const std::string& key) const {
        auto k = keys();
        return std::size_t(std::count(k.begin(), k.end(), key));
    }
};

Receiver startReceiver(const std::string& program, const std::string& title, const fs::path& dir) {
    Receiver r;
    r.title = title;
    r.textFile = dir / (title + ".txt");
    r.keyLog = dir / (title + ".keys");
    r.pid = spawn({program, title, r.textFile.string(), r.keyLog.string()}, false);
    return r;
}

bool waitForReceiver(Observer& obs, Receiver& r) {
    return pollUntil(kStartLimit, [&] {
        if (!r.window)
            r.window = obs.clientNamed(r.title);
        return r.window && obs.managed(r.window) && obs.geometry(r.window).viewable && fs::exists(r.textFile);
    });
}

// xclip owns the clipboard with the text until another owner takes it.
pid_t offerClipboard(Observer& obs, const std::string& text, const fs::path& dir) {
    static int serial = 0;
    const fs::path file = dir / ("clipboard-" + std::to_string(++serial) + ".txt");
    std::ofstream(file, std::ios::binary) << text;
    const Atom clipboard = obs.atom("CLIPBOARD");
    const Window before = XGetSelectionOwner(obs.d, clipboard);
    pid_t pid = spawn({"xclip", "-selection", "clipboard", "-quiet", "-i", file.string()}, true);
    pollUntil(kStartLimit, [&] {
        Window owner = XGetSelectionOwner(obs.d, clipboard);
        return owner != None && owner != before;
    });
    return pid;
}

// Children of ours that have exited and were never reaped, by command name.
std::vector<std::string> zombieChildren() {
    std::vector<std::string> result;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::string stat = readFile(entry.path() / "stat");
        auto close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        char state = 0;
        int ppid = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) != 2)
            continue;
        if (ppid == getpid() && state == 'Z')
            result.push_back(stat.substr(stat.find('(') + 1, close - stat.find('(') - 1));
    }
    return result;
}

double kernelVersionFromProc() {
    std::string release = readFile("/proc/sys/kernel/osrelease");
    int major = 0;
    char minor[16] = {};
    if (std::sscanf(release.c_str(), "%d.%15[0-9]", &major, minor) != 2)
        return -1;
    return std::stod(std::to_string(major) + "." + minor);
}

// --- Checks shared by both phases ----------------------------------------------------------

void checkBasics(platform::X11Desktop& desktop, Observer& obs) {
    check(desktop.osFamily() == platform::OsFamily::Linux, "osFamily is Linux");
    const double version = desktop.osVersion();
    check(std::abs(version - kernelVersionFromProc()) < 1e-9,
          "osVersion " + std::to_string(version) + " is the kernel's major.minor");

    const std::uint32_t t0 = desktop.tickCount();
    std::this_thread::sleep_for(50ms);
    const std::uint32_t elapsed = desktop.tickCount() - t0;
    check(elapsed >= 50 && elapsed < 500,
          "tickCount advances in milliseconds (" + std::to_string(elapsed) + ")");

    XWarpPointer(obs.d, None, obs.root, 0, 0, 0, 0, 321, 234);
    XSync(obs.d, False);
    auto p = desktop.cursorPos();
    check(p.x == 321 && p.y == 234,
          "cursorPos follows the pointer (" + std::to_string(p.x) + "," + std::to_string(p.y) + ")");
    XWarpPointer(obs.d, None, obs.root, 0, 0, 0, 0, 5, 6);
    XSync(obs.d, False);
    p = desktop.cursorPos();
    check(p.x == 5 && p.y == 6, "cursorPos after a second move");

    // The bell is heard by XKB clients that ask for BellNotify.
    int opcode = 0, eventBase = 0, errorBase = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (XkbQueryExtension(obs.d, &opcode, &eventBase, &errorBase, &major, &minor)) {
        XkbSelectEvents(obs.d, XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);
        XSync(obs.d, False);
        desktop.beep();
        bool rang = pollUntil(kReactLimit, [&] {
            while (XPending(obs.d)) {
                XEvent e;
                XNextEvent(obs.d, &e);
                if (e.type == eventBase && reinterpret_cast<XkbAnyEvent*>(&e)->xkb_type == XkbBellNotify)
                    return true;
            }
            return false;
        });
        check(rang, "beep rings the X bell");
        XkbSelectEvents(obs.d, XkbUseCoreKbd, XkbBellNotifyMask, 0);
    }
}

void checkInvalidWindows(platform::X11Desktop& desktop, Observer& obs) {
    check(!desktop.setForegroundWindow(0), "setForegroundWindow(0) is false");
    check(!desktop.setTopmost(0, true), "setTopmost(0) is false");

    Window gone = obs.createWindow("gone", false);
    XDestroyWindow(obs.d, gone);
    XSync(obs.d, False);
    auto start = Clock::now();
    check(!desktop.setForegroundWindow(gone), "setForegroundWindow on a destroyed window is false");
    check(msSince(start) < 50, "... and answers at once (" + ms(msSince(start)) + ")");
    check(!desktop.setTopmost(gone, true), "setTopmost on a destroyed window is false");
    check(untrappedErrors == 0, "no X error escaped the desktop");
}

// --- Phase: no window manager --------------------------------------------------------------

void runBare(platform::X11Desktop& desktop, Observer& obs) {
    check(desktop.foregroundWindow() == 0, "foregroundWindow is 0 without a window manager");

    auto start = Clock::now();
    auto extents = desktop.predictedFrameExtents();
    const double measured = msSince(start);
    check(extents.left == 0 && extents.right == 0 && extents.top == 0 && extents.bottom == 0,
          "no frame without a window manager");
    check(measured < 20, "... found out without waiting (" + ms(measured) + ")");
    check(desktop.captionHeightPixels() == 0, "captionHeightPixels is 0 without a window manager");

    const int width = std::atoi(std::getenv("E2E_SCREEN_WIDTH") ? std::getenv("E2E_SCREEN_WIDTH") : "1280");
    const int height =
        std::atoi(std::getenv("E2E_SCREEN_HEIGHT") ? std::getenv("E2E_SCREEN_HEIGHT") : "1024");
    auto area = desktop.workArea();
    check(area.left == 0 && area.top == 0 && area.width == width && area.height == height,
          "workArea is the whole screen without _NET_WORKAREA");

    checkBasics(desktop, obs);

    // Without a window manager nothing can be activated; say so at once.
    Window plain = obs.createWindow("plain", true);
    start = Clock::now();
    check(!desktop.setForegroundWindow(plain), "setForegroundWindow is false without a window manager");
    check(msSince(start) < 50, "... at once (" + ms(msSince(start)) + ")");

    // An unmanaged window gets the state as a property, merged with what is there.
    obs.setStates(plain, {"_NET_WM_STATE_SKIP_TASKBAR"});
    check(desktop.setTopmost(plain, true), "setTopmost on an unmanaged window");
    XSync(obs.d, False);
    check(obs.hasState(plain, "_NET_WM_STATE_ABOVE") && obs.hasState(plain, "_NET_WM_STATE_SKIP_TASKBAR"),
          "... sets _NET_WM_STATE_ABOVE beside the states already there");
    check(desktop.setTopmost(plain, false) && obs.hasState(plain, "_NET_WM_STATE_SKIP_TASKBAR") &&
              !obs.hasState(plain, "_NET_WM_STATE_ABOVE"),
          "setTopmost off removes only _NET_WM_STATE_ABOVE");
    XDestroyWindow(obs.d, plain);
    XSync(obs.d, False);

    checkInvalidWindows(desktop, obs);
}

// --- Phase: openbox -------------------------------------------------------------------------

struct Timings {
    std::vector<double> activations;
    double frameExtents = 0;
    double paste = 0;
};

// The notices an idle program sleeps on: the foreground changing, the pointer moving.
void checkNotices(platform::X11Desktop& desktop, Observer& obs, Window a, Window b) {
    int foregroundNotices = 0;
    check(desktop.watchForeground([&] { ++foregroundNotices; }), "watchForeground on Qt's connection");
    check(desktop.setForegroundWindow(a) && desktop.setForegroundWindow(b), "a, then b, activated");
    check(pollWithEvents(kReactLimit, [&] { return foregroundNotices >= 2; }), "... each activation is told");
    const int told = foregroundNotices;
    XDeleteProperty(obs.d, obs.root, obs.atom("_NET_ACTIVE_WINDOW"));
    XSync(obs.d, False);
    check(pollWithEvents(kReactLimit, [&] { return foregroundNotices > told; }),
          "... and the property's deletion (a window manager that ends)");
    check(desktop.watchForeground(nullptr), "watchForeground(nullptr) ends the notices");
    check(desktop.setForegroundWindow(a), "a activated again");
    const int after = foregroundNotices;
    pollWithEvents(kQuietPeriod, [] { return false; });
    check(foregroundNotices == after, "... and nothing is told any more");

    // The pointer: a device's motion anywhere, and a warp across the window's frame.
    XTestFakeMotionEvent(obs.d, -1, 1000, 900, CurrentTime);
    XSync(obs.d, False);
    auto pointer = [&] {
        Window rootReturn = 0, child = 0;
        int x = 0, y = 0, wx = 0, wy = 0;
        unsigned int mask = 0;
        XQueryPointer(obs.d, obs.root, &rootReturn, &child, &x, &y, &wx, &wy, &mask);
        return platform::Point{x, y};
    };
    int moves = 0;
    const platform::Point resting = pointer();
    check(!desktop.notifyWhenPointerMoves({resting.x + 1, resting.y}, a, [&] { ++moves; }),
          "notifyWhenPointerMoves is false when the pointer is elsewhere already");
    check(desktop.notifyWhenPointerMoves(resting, a, [&] { ++moves; }),
          "notifyWhenPointerMoves where it rests");
    pollWithEvents(kQuietPeriod, [] { return false; });
    check(moves == 0, "... nothing told while it rests");
    XTestFakeMotionEvent(obs.d, -1, 1010, 900, CurrentTime);
    XTestFakeMotionEvent(obs.d, -1, 1020, 900, CurrentTime);
    XSync(obs.d, False);
    check(pollWithEvents(kReactLimit, [&] { return moves > 0; }),
          "... a device's motion far from the window is told");
    pollWithEvents(kQuietPeriod, [] { return false; });
    check(moves == 1, "... once");
    const auto geometry = obs.geometry(a);
    check(desktop.notifyWhenPointerMoves(pointer(), a, [&] { ++moves; }), "notified again");
    XWarpPointer(obs.d, None, obs.root, 0, 0, 0, 0, geometry.x + 5, geometry.y + 5);
    XSync(obs.d, False);
    check(pollWithEvents(kReactLimit, [&] { return moves == 2; }), "... a warp into the window is told");
    check(desktop.notifyWhenPointerMoves(pointer(), a, [&] { ++moves; }), "notified again");
    XWarpPointer(obs.d, None, obs.root, 0, 0, 0, 0, 1000, 900);
    XSync(obs.d, False);
    check(pollWithEvents(kReactLimit, [&] { return moves == 3; }), "... and a warp out of it");
    check(desktop.notifyWhenPointerMoves(pointer(), a, [&] { ++moves; }), "notified again");
    desktop.cancelPointerNotice();
    XTestFakeMotionEvent(obs.d, -1, 1030, 900, CurrentTime);
    XSync(obs.d, False);
    pollWithEvents(kQuietPeriod, [] { return false; });
    check(moves == 3, "... cancelled, nothing is told");
}

void runWm(platform::X11Desktop& desktop, Observer& obs, const std::string& receiverProgram,
           const fs::path& dir, Timings& timings) {
    // openbox sets _NET_ACTIVE_WINDOW only once a window has been focused.
    check(desktop.foregroundWindow() == 0, "foregroundWindow is 0 before any window was focused");
    {
        // On a Wayland session, no active X11 window means the focus is in a window X11 does
        // not show (a native Wayland one), which the program cannot reach.
        setenv("WAYLAND_DISPLAY", "wayland-test", 1);
        auto onWayland = platform::X11Desktop::open();
        unsetenv("WAYLAND_DISPLAY");
        check(onWayland && onWayland->foregroundWindow() == platform::kUnreachableWindow &&
                  !onWayland->setForegroundWindow(platform::kUnreachableWindow),
              "on a Wayland session no active window is an unreachable one, and cannot be activated");
    }

    checkBasics(desktop, obs);

    // Frame extents.
    auto start = Clock::now();
    const auto extents = desktop.predictedFrameExtents();
    timings.frameExtents = msSince(start);
    check(extents.top > 0 && extents.top >= extents.left && extents.top >= extents.bottom,
          "predictedFrameExtents under openbox: left " + std::to_string(extents.left) + " right " +
              std::to_string(extents.right) + " top " + std::to_string(extents.top) + " bottom " +
              std::to_string(extents.bottom));
    check(timings.frameExtents < 100, "... measured in " + ms(timings.frameExtents));
    start = Clock::now();
    check(desktop.captionHeightPixels() == extents.top, "captionHeightPixels is the top extent");
    const auto again = desktop.predictedFrameExtents();
    check(again.top == extents.top && again.left == extents.left && msSince(start) < 1,
          "... measured once, then remembered");

    // Work area: openbox takes a dock's strut off it.
    const int width = std::atoi(std::getenv("E2E_SCREEN_WIDTH") ? std::getenv("E2E_SCREEN_WIDTH") : "1280");
    const int height =
        std::atoi(std::getenv("E2E_SCREEN_HEIGHT") ? std::getenv("E2E_SCREEN_HEIGHT") : "1024");
    auto area = desktop.workArea();
    check(area.left == 0 && area.top == 0 && area.width == width && area.height == height,
          "workArea is the whole screen without panels");
    Window dock = obs.createWindow("dock", true, 40);
    bool shrunk = pollUntil(kReactLimit, [&] {
        area = desktop.workArea();
        return area.top == 40 && area.height == height - 40 && area.left == 0 && area.width == width;
    });
    check(shrunk, "workArea leaves out a 40-pixel top panel (" + std::to_string(area.top) + "," +
                      std::to_string(area.height) + ")");
    XDestroyWindow(obs.d, dock);
    XSync(obs.d, False);
    check(pollUntil(kReactLimit, [&] { return desktop.workArea().height == height; }),
          "workArea grows back when the panel goes");

    checkInvalidWindows(desktop, obs);

    // Receivers: windows of other Qt programs, as users paste into.
    Receiver a = startReceiver(receiverProgram, "receiver-a", dir);
    Receiver b = startReceiver(receiverProgram, "receiver-b", dir);
    check(waitForReceiver(obs, a) && waitForReceiver(obs, b), "receivers are up");
    if (!a.window || !b.window) {
        stop(a.pid);
        stop(b.pid);
        return;
    }
    auto real = obs.longs(a.window, "_NET_FRAME_EXTENTS", XA_CARDINAL);
    check(real.size() == 4 && int(real[0]) == extents.left && int(real[1]) == extents.right &&
              int(real[2]) == extents.top && int(real[3]) == extents.bottom,
          "predicted frame extents are those of a real window");

    // Activation.
    for (Receiver* r : {&a, &b, &a, &b, &a}) {
        start = Clock::now();
        const bool ok = desktop.setForegroundWindow(r->window);
        timings.activations.push_back(msSince(start));
        check(ok, "setForegroundWindow(" + r->title + ") is true (" + ms(timings.activations.back()) + ")");
        check(desktop.foregroundWindow() == r->window && obs.active() == r->window,
              "... and it is the foreground window");
        check(obs.isSelfOrAncestor(r->window, obs.inputFocus()), "... with the keyboard focus");
        // A window activated just before may take the focus back when it answers its own
        // WM_TAKE_FOCUS late; the keys sent next would go there.
        std::this_thread::sleep_for(30ms);
        check(obs.active() == r->window && obs.isSelfOrAncestor(r->window, obs.inputFocus()),
              "... and keeps both");
    }
    // Asking openbox again would make it act on a window that already has everything.
    obs.listenForActivationRequests();
    check(desktop.setForegroundWindow(b.window) && obs.activationRequestsSince() == 1,
          "an activation is one request to the window manager");
    check(desktop.setForegroundWindow(b.window) && obs.activationRequestsSince() == 0,
          "setForegroundWindow on the foreground window is true without asking again");
    desktop.setForegroundWindow(a.window);
    obs.stopListeningOnRoot();
    const Window frameOfB = obs.frameOf(b.window);
    check(frameOfB != b.window, "openbox reparents into a frame");
    check(desktop.setForegroundWindow(frameOfB) && desktop.foregroundWindow() == b.window,
          "setForegroundWindow given the frame activates its client");

    checkNotices(desktop, obs, a.window, b.window);

    // A window that closes after being active.
    Window doomed = obs.createWindow("doomed", true);
    pollUntil(kReactLimit, [&] { return obs.managed(doomed); });
    check(desktop.setForegroundWindow(doomed), "a plain X window can be activated");
    XDestroyWindow(obs.d, doomed);
    XSync(obs.d, False);
    start = Clock::now();
    check(!desktop.setForegroundWindow(doomed), "setForegroundWindow on the closed window is false");
    check(msSince(start) < 50, "... at once (" + ms(msSince(start)) + ")");
    check(!desktop.setTopmost(doomed, true), "setTopmost on the closed window is false");
    check(pollUntil(kReactLimit, [&] { return desktop.foregroundWindow() != doomed; }),
          "foregroundWindow no longer reports it");
    check(untrappedErrors == 0, "the process survived without an untrapped X error");

    // Topmost on a live window.
    check(desktop.setForegroundWindow(a.window) && desktop.setForegroundWindow(b.window), "b above a");
    const auto before = obs.geometry(a.window);
    check(desktop.setTopmost(a.window, true), "setTopmost(a, on) is true");
    check(pollUntil(kReactLimit, [&] { return obs.hasState(a.window, "_NET_WM_STATE_ABOVE"); }),
          "... openbox puts _NET_WM_STATE_ABOVE on it");
    auto stack = obs.stacking();
    auto posA = std::find(stack.begin(), stack.end(), a.window);
    auto posB = std::find(stack.begin(), stack.end(), b.window);
    check(posA != stack.end() && posB != stack.end() && posA > posB,
          "... and stacks it above the window activated after it");
    check(obs.geometry(a.window) == before, "... without hiding, moving or resizing it");
    check(desktop.setTopmost(a.window, false), "setTopmost(a, off) is true");
    check(pollUntil(kReactLimit, [&] { return !obs.hasState(a.window, "_NET_WM_STATE_ABOVE"); }),
          "... openbox takes _NET_WM_STATE_ABOVE off");
    check(obs.geometry(a.window) == before, "... still in place and visible");

    // Topmost on a window not mapped yet: the window manager applies it when it maps the window.
    Window later = obs.createWindow("later", false);
    obs.setStates(later, {"_NET_WM_STATE_SKIP_TASKBAR"});
    check(desktop.setTopmost(later, true), "setTopmost on an unmapped window is true");
    XSync(obs.d, False);
    check(obs.hasState(later, "_NET_WM_STATE_ABOVE") && obs.hasState(later, "_NET_WM_STATE_SKIP_TASKBAR"),
          "... the property holds _NET_WM_STATE_ABOVE beside the other states");
    XMapWindow(obs.d, later);
    XSync(obs.d, False);
    check(pollUntil(kReactLimit, [&] { return obs.managed(later); }), "... it is mapped");
    check(obs.hasState(later, "_NET_WM_STATE_ABOVE") && obs.hasState(later, "_NET_WM_STATE_SKIP_TASKBAR"),
          "... and openbox took the states on");
    check(desktop.setTopmost(later, false), "setTopmost(off) on it");
    check(pollUntil(kReactLimit,
                    [&] {
                        return !obs.hasState(later, "_NET_WM_STATE_ABOVE") &&
                               obs.hasState(later, "_NET_WM_STATE_SKIP_TASKBAR");
                    }),
          "... removes only _NET_WM_STATE_ABOVE");
    XDestroyWindow(obs.d, later);
    XSync(obs.d, False);

    // Keys. The test's keymap lacks Zenkaku_Hankaku, the input-mode key; a desktop on a
    // connection of its own borrows a keycode for it and gives it back when destroyed.
    const Observer::Keymap keymap = obs.keymap();
    note("keymap: " + std::to_string(keymap.unbound()) + " unbound keycodes, Zenkaku_Hankaku on " +
         std::to_string(keymap.codesWith(XK_Zenkaku_Hankaku)));
    check(desktop.setForegroundWindow(a.window), "a is the foreground window for the keys");
    {
        auto own = platform::X11Desktop::open();
        check(own != nullptr, "X11Desktop::open connects to $DISPLAY");
        if (own) {
            check(own->foregroundWindow() == a.window, "... and sees the same foreground window");
            check(own->sendKeys("%{kanji}", true), "sendKeys(%{kanji}) on its own connection");
            check(pollUntil(kReactLimit, [&] { return a.count(kInputModeKey) == 1; }),
                  "... a gets Zenkaku_Hankaku");
            start = Clock::now();
            own.reset();
            note("destroying it took " + ms(msSince(start)));
            const auto after = obs.keymap();
            check(after.unbound() == keymap.unbound() &&
                      after.codesWith(XK_Zenkaku_Hankaku) == keymap.codesWith(XK_Zenkaku_Hankaku),
                  "... the borrowed keycode is given back when it is destroyed");
        }
    }

    const std::string pasted = "(＾ｖ＾)ﾉ paste ぴ";
    pid_t clip = offerClipboard(obs, pasted, dir);
    check(desktop.setForegroundWindow(a.window), "a is the foreground window");
    start = Clock::now();
    check(desktop.sendKeys("^v", true), "sendKeys(^v) is true");
    const bool arrived = pollUntil(kReactLimit, [&] { return a.text() == pasted; });
    timings.paste = msSince(start);

    check(arrived, "... the clipboard's text is pasted (" + ms(timings.paste) + "): '" + a.text() + "'");
    check(desktop.sendKeys("{ENTER}", true), "sendKeys({ENTER})");
    check(pollUntil(kReactLimit, [&] { return a.text() == pasted + "\n"; }), "... a new line arrives");
    check(desktop.sendKeys("{TAB}", false), "sendKeys({TAB}) without waiting");
    check(pollUntil(kReactLimit, [&] { return a.text() == pasted + "\n\t"; }), "... a tab arrives");
    check(desktop.sendKeys("%{kanji}", true) && desktop.sendKeys("%{kanji}", false),
          "sendKeys(%{kanji}) twice");
    check(pollUntil(kReactLimit, [&] { return a.count(kInputModeKey) == 3; }),
          "... both arrive as Zenkaku_Hankaku, without Alt");
    std::vector<std::string> expected = {kInputModeKey, "Ctrl+V",      "Return",
                                         "Tab",         kInputModeKey, kInputModeKey};
    check(a.keys() == expected, "the keys arrived in order, nothing else");
    check(a.text() == pasted + "\n\t", "Zenkaku_Hankaku typed nothing");

    const std::string keysBefore = readFile(a.keyLog);
    for (const char* unknown : {"", "v", "^V", "^v ", "{F1}", "{enter}", "%{KANJI}", "^c"})
        check(!desktop.sendKeys(unknown, true), std::string("sendKeys('") + unknown + "') is false");
    std::this_thread::sleep_for(kQuietPeriod);
    check(readFile(a.keyLog) == keysBefore && a.text() == pasted + "\n\t", "... and sends nothing");

    // A layout without 'v' on any key: Ctrl+V still pastes through a borrowed keycode.
    const int vCode = keymap.firstLevelCode(XK_v);
    check(vCode != 0, "the test keymap has v");
    if (vCode) {
        const auto vRow = keymap.row(vCode);
        obs.setRow(vCode, std::vector<KeySym>(vRow.size(), NoSymbol));
        const std::string second = "second ｸﾘｯﾌﾟﾎﾞｰﾄﾞ";
        pid_t clip2 = offerClipboard(obs, second, dir);
        // openbox grabs its keys again on every keymap change and acts on nothing else meanwhile.
        start = Clock::now();
        const bool activated = desktop.setForegroundWindow(b.window);
        check(activated, "b is the foreground window after a keymap change (" + ms(msSince(start)) + ")");
        check(desktop.sendKeys("^v", true), "sendKeys(^v) with no v in the keymap");
        const bool got = pollUntil(kReactLimit, [&] { return b.text() == second; });
        check(got, "... b gets the text: '" + b.text() + "'");
        obs.setRow(vCode, vRow);
        stop(clip2);
    }
    stop(clip);
    stop(a.pid);
    stop(b.pid);
}

void checkOpenUrl(platform::X11Desktop& desktop, const fs::path& dir) {
    // A stand-in for xdg-open that records its argument and its parent.
    const fs::path bin = dir / "bin";
    fs::create_directories(bin);
    const fs::path record = dir / "url.txt";
    {
        std::ofstream script(bin / "xdg-open");
        script << "#!/bin/sh\nprintf '%s\\n%s\\n' \"$1\" \"$PPID\" > \"" << record.string() << ".tmp\"\nmv \""
               << record.string() << ".tmp\" \"" << record.string() << "\"\n";
    }
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (bin.string() + ":" + oldPath).c_str(), 1);

    const std::string url = "https://example.org/search?q=ぴこ&x=1 2";
    check(desktop.openUrl(url), "openUrl is true when xdg-open starts");
    check(pollUntil(kReactLimit, [&] { return fs::exists(record); }), "... xdg-open ran");
    std::istringstream in(readFile(record));
    std::string gotUrl, parent;
    std::getline(in, gotUrl);
    std::getline(in, parent);
    check(gotUrl == url, "... with the address as one argument: '" + gotUrl + "'");
    check(!parent.empty() && std::atoi(parent.c_str()) != getpid(), "... not as our child");
    auto zombies = zombieChildren();
    check(std::none_of(zombies.begin(), zombies.end(),
                       [](const std::string& name) {
                           return name.rfind("x11_desktop", 0) == 0 || name == "xdg-open";
                       }),
          "... and left no zombie");

    const fs::path empty = dir / "empty-bin";
    fs::create_directories(empty);
    setenv("PATH", empty.c_str(), 1);
    check(!desktop.openUrl(url), "openUrl is false when xdg-open cannot be found");
    setenv("PATH", oldPath.c_str(), 1);
    check(!desktop.openUrl(""), "openUrl('') is false");
}

} // namespace

// --- A connection that breaks -----------------------------------------------------------------

// The X server goes away while the program still asks things of it (the session ends while the
// palette saves): every call must fail quietly, not crash inside Xlib.
void checkBrokenConnection() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        check(false, "a second connection for the broken-connection check");
        return;
    }
    {
        platform::X11Desktop desktop(display);
        const platform::Rect before = desktop.workArea();
        ::shutdown(ConnectionNumber(display), SHUT_RDWR);
        // Xlib may crash in the very call that finds the connection gone: the desktop must
        // know before it makes one.
        check(desktop.unusable(), "the broken connection is known before any call is made on it");
        for (int round = 0; round < 2; ++round) {
            const platform::Rect area = desktop.workArea();
            check(area.width == before.width && area.height == before.height,
                  "workArea after the connection broke is the last one known");
            check(desktop.foregroundWindow() == 0 ||
                      desktop.foregroundWindow() == platform::kUnreachableWindow,
                  "foregroundWindow after the connection broke is none");
            desktop.cursorPos();
            check(!desktop.setTopmost(1, true), "setTopmost after the connection broke is false");
            check(!desktop.setForegroundWindow(1), "setForegroundWindow after the connection broke is false");
            check(!desktop.sendKeys("^v", true), "sendKeys after the connection broke is false");
            check(!desktop.clipboardOwnedWith(1).has_value(),
                  "clipboardOwnedWith after the connection broke is unknown");
            desktop.beep();
        }
    }
    note("a broken connection: every call failed quietly, and the desktop was destroyed");
}

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const bool bare = args.size() >= 1 && args[0] == "--bare";
    const bool wm = args.size() >= 2 && args[0] == "--wm";
    if (!bare && !wm) {
        std::fprintf(stderr, "usage: %s --bare | --wm RECEIVER\n", argv[0]);
        return 2;
    }
    auto* x11 = app.nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->display()) {
        std::fprintf(stderr, "not on X11 (QT_QPA_PLATFORM=xcb and DISPLAY are needed)\n");
        return 2;
    }
    const fs::path dir = fs::temp_directory_path() / ("x11-desktop-test-" + std::to_string(getpid()));
    fs::create_directories(dir);

    const auto start = Clock::now();
    {
        Observer obs;
        const Observer::Keymap keymapBefore = obs.keymap();
        XSetErrorHandler(testErrorHandler);
        const auto constructStart = Clock::now();
        auto desktop = std::make_unique<platform::X11Desktop>(x11->display());
        note("constructing the desktop took " + ms(msSince(constructStart)));
        Timings timings;
        if (bare) {
            runBare(*desktop, obs);
        } else {
            runWm(*desktop, obs, args[1], dir, timings);
            checkOpenUrl(*desktop, dir);
        }
        const auto destroyStart = Clock::now();
        desktop.reset();
        const auto keymapAfter = obs.keymap();
        check(keymapAfter.syms == keymapBefore.syms,
              "the keymap is as before once the desktop is destroyed (" + ms(msSince(destroyStart)) + ")");
        check(untrappedErrors == 0, "no untrapped X error on the desktop's connection");

        if (!timings.activations.empty()) {
            auto& t = timings.activations;
            double sum = 0;
            for (double v : t)
                sum += v;
            note("activation: " + ms(sum / double(t.size())) + " on average, " +
                 ms(*std::max_element(t.begin(), t.end())) + " at most");
            note("frame extents measured in " + ms(timings.frameExtents) + "; Ctrl+V to text " +
                 ms(timings.paste));
        }
    }
    if (bare)
        checkBrokenConnection();
    fs::remove_all(dir);
    note("phase took " + ms(msSince(start)));
    std::printf("%s: %d failure(s)\n", bare ? "bare" : "wm", failures);
    return failures ? 1 : 0;
}
