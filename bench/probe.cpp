// bench_probe: the measuring end of bench/run.sh. It talks to the X server itself (Xlib, XTest,
// XFixes) and watches files with inotify, so that what it adds to a figure is a fraction of a
// millisecond, where xdotool and polling shell loops would add tens of milliseconds each.
// Every time is CLOCK_MONOTONIC.
//
//   bench_probe startup --name TITLE [--rss-after SEC] [--timeout SEC] -- PROGRAM ARGS...
//       Starts PROGRAM and waits until a top-level window titled TITLE is viewable (mapped, and
//       its window manager frame mapped too). SEC seconds later it reads the program's memory,
//       then stops the program. Prints one line:
//         startup_ms=… startup_cpu_ms=… drawn_ms=… drawn_cpu_ms=… rss_kb=… rss_anon_kb=…
//         rss_file_kb=… cpu_ms=…
//       (startup_cpu_ms: on-CPU time of all threads when the window became viewable; drawn_ms:
//       until the program first drew into that window (DAMAGE), -1 if not within 5 s; cpu_ms:
//       utime+stime when the memory was read.)
//
//   bench_probe paste --plan FILE --receiver-file FILE [--restore] [--hover-ms MS] [--gap-ms MS]
//       FILE has one run a line: "X<TAB>Y<TAB>TEXT" (screen point of an entry button, the text
//       the click must paste). For each run: pointer to X Y, HOVER-MS later a click (XTest
//       press and release); done when the receiver's file holds what it held before the run
//       plus TEXT. With --restore the probe owns the clipboard before each click with a text of
//       its own (serving it like any program would) and the run also waits until the clipboard
//       holds that text again. Prints one line a run:
//         run=K paste_ms=… [restore_ms=…]     (both from the click)
//
//   bench_probe save --x X --y Y --folder DIR [--subfolder NAME] --expect FILE[,FILE...]
//                    [--toggle-x X --toggle-y Y] [--runs N] [--gap-ms MS]
//       Clicks X Y and waits until every FILE (relative to DIR; "NAME/FILE" for the subfolder)
//       has been replaced (moved into place). With a toggle point, each run first clicks there
//       (a check box), so that the settings really change and their file is written too.
//       Prints one line a run:
//         run=K click_to_done_ms=… first_to_done_ms=… replaced=…
//       first_to_done runs from the first file created in DIR (or DIR/NAME) to the last
//       expected replacement; replaced counts the files moved into place.
//
// Exit status: 0 when everything was measured, 1 when something could not be (timeout, the
// program died, no X server), 2 on a usage error.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <poll.h>
#include <set>
#include <sstream>
#include <string>
#include <sys/inotify.h>
#include <sys/prctl.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

double nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

[[noreturn]] void die(const std::string& message, int status = 1) {
    std::fprintf(stderr, "bench_probe: %s\n", message.c_str());
    std::exit(status);
}

// Windows come and go while we look at them (the program's own probe windows, tooltips): an
// error about a window that is already gone is expected and harmless.
int ignoreXErrors(Display*, XErrorEvent*) {
    return 0;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

struct Options {
    std::map<std::string, std::string> values;
    std::set<std::string> flags;
    std::vector<std::string> rest; // after "--"

    std::string get(const std::string& key, const std::string& fallback = {}) const {
        auto it = values.find(key);
        return it == values.end() ? fallback : it->second;
    }
    std::string need(const std::string& key) const {
        auto it = values.find(key);
        if (it == values.end())
            die("missing --" + key, 2);
        return it->second;
    }
    double number(const std::string& key, double fallback) const {
        auto it = values.find(key);
        return it == values.end() ? fallback : std::atof(it->second.c_str());
    }
};

Options parse(int argc, char** argv, const std::set<std::string>& flagNames) {
    Options o;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--") {
            for (++i; i < argc; ++i)
                o.rest.emplace_back(argv[i]);
            break;
        }
        if (a.rfind("--", 0) != 0)
            die("unexpected argument " + a, 2);
        a = a.substr(2);
        if (flagNames.count(a)) {
            o.flags.insert(a);
        } else {
            if (i + 1 >= argc)
                die("--" + a + " needs a value", 2);
            o.values[a] = argv[++i];
        }
    }
    return o;
}

// One connection to the server with the little state every mode shares.
class Session {
public:
    Session() {
        display_ = XOpenDisplay(nullptr);
        if (!display_)
            die("cannot open the X display (DISPLAY=" +
                std::string(std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "") + ")");
        // A started program must not inherit our connection.
        fcntl(ConnectionNumber(display_), F_SETFD, FD_CLOEXEC);
        XSetErrorHandler(ignoreXErrors);
        root_ = DefaultRootWindow(display_);
        int eventBase = 0, errorBase = 0, major = 0, minor = 0;
        if (!XTestQueryExtension(display_, &eventBase, &errorBase, &major, &minor))
            die("the X server has no XTEST extension");
    }
    ~Session() { XCloseDisplay(display_); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Display* display() const { return display_; }
    Window root() const { return root_; }
    Atom atom(const char* name) { return XInternAtom(display_, name, False); }

    // Waits up to timeoutMs for X events or for data on extraFd; dispatches every X event to
    // onEvent. Returns true when extraFd is readable.
    bool pump(int timeoutMs, int extraFd, const std::function<void(XEvent&)>& onEvent) {
        auto drain = [&] {
            while (XPending(display_)) {
                XEvent e;
                XNextEvent(display_, &e);
                onEvent(e);
            }
        };
        drain();
        pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {extraFd, POLLIN, 0}};
        const int n = poll(fds, extraFd >= 0 ? 2 : 1, timeoutMs);
        drain();
        return n > 0 && extraFd >= 0 && (fds[1].revents & POLLIN);
    }

    void movePointer(int x, int y) {
        XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
        XFlush(display_);
    }
    void click() {
        XTestFakeButtonEvent(display_, 1, True, CurrentTime);
        XTestFakeButtonEvent(display_, 1, False, CurrentTime);
        XFlush(display_);
    }

    std::string windowName(Window w) {
        static const Atom netName = atom("_NET_WM_NAME");
        static const Atom utf8 = atom("UTF8_STRING");
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::string name;
        if (XGetWindowProperty(display_, w, netName, 0, 1024, False, utf8, &type, &format, &count, &after,
                               &data) == Success &&
            data && type == utf8)
            name.assign(reinterpret_cast<char*>(data), count);
        if (data)
            XFree(data);
        return name;
    }

private:
    Display* display_ = nullptr;
    Window root_ = 0;
};

// ---------------------------------------------------------------------------------------------
// startup

// When a window is first drawn into: the DAMAGE extension reports the first drawing into a
// window (at level NonEmpty, one event until the damage is subtracted, which we never do).
// Debian ships no Xlib binding of DAMAGE without an extra -dev package, so the two requests
// are sent through xcb's generic request interface on a connection of our own.
class DamageWatch {
public:
    DamageWatch() {
        c_ = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(c_))
            die("cannot open a second X connection");
        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c_, &extension_);
        if (!ext || !ext->present)
            die("the X server has no DAMAGE extension");
        firstEvent_ = ext->first_event;
        // A client must announce the version it speaks before anything else.
        struct {
            uint8_t major, minor;
            uint16_t length;
            uint32_t clientMajor, clientMinor;
        } version{0, 0, 0, 1, 1};
        iovec parts[4];
        parts[2] = {&version, sizeof version};
        parts[3] = {nullptr, 0};
        const xcb_protocol_request_t request{2, &extension_, 0 /* QueryVersion */, 0};
        const unsigned sequence = xcb_send_request(c_, XCB_REQUEST_CHECKED, parts + 2, &request);
        xcb_generic_error_t* error = nullptr;
        void* reply = xcb_wait_for_reply(c_, sequence, &error);
        if (!reply)
            die("DAMAGE QueryVersion failed");
        std::free(reply);
    }
    ~DamageWatch() { xcb_disconnect(c_); }
    DamageWatch(const DamageWatch&) = delete;
    DamageWatch& operator=(const DamageWatch&) = delete;

    int fd() const { return xcb_get_file_descriptor(c_); }

    void watch(uint32_t window) {
        struct {
            uint8_t major, minor;
            uint16_t length;
            uint32_t damage, drawable;
            uint8_t level, pad[3];
        } create{0, 0, 0, xcb_generate_id(c_), window, 3 /* NonEmpty */, {0, 0, 0}};
        iovec parts[4];
        parts[2] = {&create, sizeof create};
        parts[3] = {nullptr, 0};
        const xcb_protocol_request_t request{2, &extension_, 1 /* Create */, 1};
        xcb_send_request(c_, 0, parts + 2, &request);
        xcb_flush(c_);
    }

    // Calls drawn(window) for each window reported drawn into since the last call.
    template <typename F> void poll(F drawn) {
        while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
            if ((e->response_type & 0x7f) == firstEvent_) {
                uint32_t drawable = 0;
                std::memcpy(&drawable, reinterpret_cast<const char*>(e) + 4, sizeof drawable);
                drawn(drawable);
            }
            std::free(e);
        }
    }

private:
    xcb_connection_t* c_ = nullptr;
    uint8_t firstEvent_ = 0;
    // xcb keys its extension cache by the address of this object.
    static inline xcb_extension_t extension_{"DAMAGE", 0};
};

struct ProcMemory {
    long rssKb = -1, anonKb = -1, fileKb = -1;
};

ProcMemory readMemory(pid_t pid) {
    ProcMemory m;
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    long value = 0;
    std::string unit;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        if (!(fields >> key >> value))
            continue;
        if (key == "VmRSS:")
            m.rssKb = value;
        else if (key == "RssAnon:")
            m.anonKb = value;
        else if (key == "RssFile:")
            m.fileKb = value;
    }
    return m;
}

double readCpuMs(pid_t pid) {
    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    // Fields 3.. follow the command; utime and stime are fields 14 and 15.
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::strtoull(field.c_str(), nullptr, 10);
        if (i == 15)
            stime = std::strtoull(field.c_str(), nullptr, 10);
    }
    return double(utime + stime) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

// On-CPU time of all the process's threads so far, in ms (schedstat counts in ns, where
// /proc/PID/stat counts in clock ticks of 10 ms).
double readSchedMs(pid_t pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    double total = 0;
    std::vector<std::string> ids;
    if (DIR* dir = opendir(tasks.c_str())) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.')
                ids.emplace_back(entry->d_name);
        closedir(dir);
    }
    for (const auto& id : ids) {
        std::istringstream in(readFile(tasks + "/" + id + "/schedstat"));
        double ns = 0;
        if (in >> ns)
            total += ns / 1e6;
    }
    return total;
}

pid_t gChild = 0;

void stopChild() {
    if (gChild <= 0)
        return;
    kill(gChild, SIGTERM);
    const double deadline = nowMs() + 3000;
    int status = 0;
    while (nowMs() < deadline) {
        if (waitpid(gChild, &status, WNOHANG) == gChild) {
            gChild = 0;
            return;
        }
        usleep(5000);
    }
    kill(gChild, SIGKILL);
    waitpid(gChild, &status, 0);
    gChild = 0;
}

void onTerminate(int) {
    if (gChild > 0)
        kill(gChild, SIGKILL);
    _exit(1);
}

int runStartup(const Options& o) {
    const std::string title = o.need("name");
    const double rssAfter = o.number("rss-after", 3.0);
    const double timeoutMs = o.number("timeout", 30.0) * 1000.0;
    if (o.rest.empty())
        die("startup needs -- PROGRAM ARGS...", 2);

    Session s;
    Display* d = s.display();
    std::optional<DamageWatch> damage;
    if (!o.flags.count("no-drawn"))
        damage.emplace();
    XSelectInput(d, s.root(), SubstructureNotifyMask);
    XSync(d, False);
    std::signal(SIGTERM, onTerminate);
    std::signal(SIGINT, onTerminate);

    std::vector<char*> argv;
    for (const auto& a : o.rest)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    const double t0 = nowMs();
    const pid_t pid = fork();
    if (pid < 0)
        die("fork failed");
    if (pid == 0) {
        // The program goes with us if we are killed.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    gChild = pid;

    // Top-level windows as they are created; each is watched for its name and its mapping.
    std::set<Window> candidates;
    std::set<Window> named;
    std::map<Window, double> drawnAt;
    double shownAt = -1;
    Window shown = 0;
    auto consider = [&](Window w) {
        if (!named.count(w) && s.windowName(w) == title)
            named.insert(w);
    };
    auto onEvent = [&](XEvent& e) {
        if (e.type == CreateNotify && e.xcreatewindow.parent == s.root()) {
            const Window w = e.xcreatewindow.window;
            candidates.insert(w);
            XSelectInput(d, w, StructureNotifyMask | PropertyChangeMask);
            if (damage)
                damage->watch(uint32_t(w));
            consider(w);
        } else if (e.type == PropertyNotify && candidates.count(e.xproperty.window)) {
            consider(e.xproperty.window);
        } else if (e.type == DestroyNotify) {
            candidates.erase(e.xdestroywindow.window);
            named.erase(e.xdestroywindow.window);
        }
    };
    auto onDrawn = [&](uint32_t w) { drawnAt.emplace(Window(w), nowMs()); };
    while (shownAt < 0) {
        s.pump(5, damage ? damage->fd() : -1, onEvent);
        if (damage)
            damage->poll(onDrawn);
        for (Window w : named) {
            XWindowAttributes a{};
            if (XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable) {
                shownAt = nowMs();
                shown = w;
                break;
            }
        }
        int status = 0;
        if (shownAt < 0 && waitpid(pid, &status, WNOHANG) == pid) {
            gChild = 0;
            die("the program ended before its window appeared");
        }
        if (shownAt < 0 && nowMs() - t0 > timeoutMs) {
            stopChild();
            die("no viewable window named '" + title + "' within the time limit");
        }
    }
    const double cpuAtShow = readSchedMs(pid);
    // Then until the window has been drawn into (its first frame on the screen).
    double drawn = -1;
    while (damage && drawn < 0 && nowMs() - shownAt < 5000) {
        damage->poll(onDrawn);
        if (auto it = drawnAt.find(shown); it != drawnAt.end()) {
            drawn = it->second;
            break;
        }
        pollfd fds[1] = {{damage->fd(), POLLIN, 0}};
        ::poll(fds, 1, 5);
    }
    const double cpuAtDrawn = drawn >= 0 ? readSchedMs(pid) : -1;
    // Nothing more to watch: events would only pile up in our queue.
    XSelectInput(d, s.root(), NoEventMask);
    for (Window w : candidates)
        XSelectInput(d, w, NoEventMask);
    XSync(d, True);

    const double startupMs = shownAt - t0;
    const double drawnMs = drawn >= 0 ? drawn - t0 : -1;
    const double wake = shownAt + rssAfter * 1000.0;
    while (nowMs() < wake) {
        const double left = wake - nowMs();
        usleep(useconds_t(std::min(left, 100.0) * 1000.0));
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            gChild = 0;
            die("the program ended while its memory was awaited");
        }
    }
    const ProcMemory m = readMemory(pid);
    const double cpu = readCpuMs(pid);
    stopChild();
    std::printf(
        "startup_ms=%.2f startup_cpu_ms=%.2f drawn_ms=%.2f drawn_cpu_ms=%.2f rss_kb=%ld rss_anon_kb=%ld "
        "rss_file_kb=%ld cpu_ms=%.0f\n",
        startupMs, cpuAtShow, drawnMs, cpuAtDrawn, m.rssKb, m.anonKb, m.fileKb, cpu);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// paste

// The probe as a clipboard owner: a text it serves in UTF-8 to whoever asks, as a text editor
// would. It also watches who owns the clipboard through XFixes.
class ClipboardSide {
public:
    explicit ClipboardSide(Session& s) : s_(s) {
        Display* d = s.display();
        window_ = XCreateSimpleWindow(d, s.root(), -10, -10, 1, 1, 0, 0, 0);
        clipboard_ = s.atom("CLIPBOARD");
        targets_ = s.atom("TARGETS");
        utf8_ = s.atom("UTF8_STRING");
        textPlainUtf8_ = s.atom("text/plain;charset=utf-8");
        reply_ = s.atom("BENCH_PROBE_SELECTION");
        int errorBase = 0;
        if (!XFixesQueryExtension(d, &fixesEvent_, &errorBase))
            die("the X server has no XFIXES extension");
        XFixesSelectSelectionInput(d, window_, clipboard_, XFixesSetSelectionOwnerNotifyMask);
        XSync(d, False);
    }

    void own(const std::string& text) {
        text_ = text;
        XSetSelectionOwner(s_.display(), clipboard_, window_, CurrentTime);
        XSync(s_.display(), False);
        if (XGetSelectionOwner(s_.display(), clipboard_) != window_)
            die("could not take the clipboard");
    }

    // Owner changes seen so far, and when the latest one arrived.
    int ownerChanges() const { return changes_; }
    Window lastOwner() const { return lastOwner_; }
    double lastChangeAt() const { return lastChangeAt_; }

    // Asks the current owner for its text; nullopt when it gives none within timeoutMs.
    std::optional<std::string> fetch(int timeoutMs) {
        Display* d = s_.display();
        fetched_.reset();
        fetching_ = true;
        XDeleteProperty(d, window_, reply_);
        XConvertSelection(d, clipboard_, utf8_, reply_, window_, CurrentTime);
        XFlush(d);
        const double deadline = nowMs() + timeoutMs;
        while (fetching_ && nowMs() < deadline)
            s_.pump(2, -1, [this](XEvent& e) { handle(e); });
        fetching_ = false;
        return fetched_;
    }

    void handle(XEvent& e) {
        Display* d = s_.display();
        if (e.type == fixesEvent_ + XFixesSelectionNotify) {
            const auto& n = reinterpret_cast<XFixesSelectionNotifyEvent&>(e);
            ++changes_;
            lastOwner_ = n.owner;
            lastChangeAt_ = nowMs();
        } else if (e.type == SelectionRequest) {
            const XSelectionRequestEvent& r = e.xselectionrequest;
            XSelectionEvent answer{};
            answer.type = SelectionNotify;
            answer.requestor = r.requestor;
            answer.selection = r.selection;
            answer.target = r.target;
            answer.time = r.time;
            answer.property = None;
            const Atom property = r.property != None ? r.property : r.target;
            if (r.target == targets_) {
                const Atom offered[] = {targets_, utf8_, textPlainUtf8_};
                XChangeProperty(d, r.requestor, property, XA_ATOM, 32, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(offered), 3);
                answer.property = property;
            } else if (r.target == utf8_ || r.target == textPlainUtf8_) {
                XChangeProperty(d, r.requestor, property, r.target, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(text_.data()), int(text_.size()));
                answer.property = property;
            }
            XSendEvent(d, r.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&answer));
            XFlush(d);
        } else if (e.type == SelectionNotify && fetching_ && e.xselection.requestor == window_) {
            if (e.xselection.property != None) {
                Atom type = None;
                int format = 0;
                unsigned long count = 0, after = 0;
                unsigned char* data = nullptr;
                if (XGetWindowProperty(d, window_, reply_, 0, 1 << 20, True, AnyPropertyType, &type, &format,
                                       &count, &after, &data) == Success &&
                    data && format == 8)
                    fetched_ = std::string(reinterpret_cast<char*>(data), count);
                if (data)
                    XFree(data);
            }
            fetching_ = false;
        }
    }

private:
    Session& s_;
    Window window_ = 0;
    Atom clipboard_ = None, targets_ = None, utf8_ = None, textPlainUtf8_ = None, reply_ = None;
    int fixesEvent_ = 0;
    std::string text_;
    int changes_ = 0;
    Window lastOwner_ = None;
    double lastChangeAt_ = 0;
    bool fetching_ = false;
    std::optional<std::string> fetched_;
};

struct PlannedClick {
    int x = 0, y = 0;
    std::string text;
};

std::vector<PlannedClick> readPlan(const std::string& path) {
    std::ifstream in(path);
    if (!in)
        die("cannot read the plan " + path, 2);
    std::vector<PlannedClick> plan;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        const auto a = line.find('\t');
        const auto b = a == std::string::npos ? a : line.find('\t', a + 1);
        if (b == std::string::npos)
            die("plan line without two tabs: " + line, 2);
        plan.push_back({std::atoi(line.substr(0, a).c_str()),
                        std::atoi(line.substr(a + 1, b - a - 1).c_str()), line.substr(b + 1)});
    }
    return plan;
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

int runPaste(const Options& o) {
    const auto plan = readPlan(o.need("plan"));
    const std::string receiverFile = o.need("receiver-file");
    const bool restore = o.flags.count("restore") > 0;
    const int hoverMs = int(o.number("hover-ms", 300));
    const int gapMs = int(o.number("gap-ms", 300));
    const double timeoutMs = o.number("timeout", 5.0) * 1000.0;

    Session s;
    std::optional<ClipboardSide> clip;
    if (restore)
        clip.emplace(s);
    auto onEvent = [&](XEvent& e) {
        if (clip)
            clip->handle(e);
    };

    // The receiver replaces its file on every change (a rename into the folder).
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch < 0 || inotify_add_watch(watch, directoryOf(receiverFile).c_str(),
                                       IN_MOVED_TO | IN_CLOSE_WRITE | IN_CREATE) < 0)
        die("cannot watch " + directoryOf(receiverFile));
    auto drainWatch = [&] {
        char buffer[8192];
        while (read(watch, buffer, sizeof buffer) > 0) {
        }
    };

    std::string expected = readFile(receiverFile);
    for (std::size_t k = 0; k < plan.size(); ++k) {
        const PlannedClick& c = plan[k];
        std::string userText;
        if (clip) {
            userText = "bench user clipboard " + std::to_string(k) + " ユーザーの文字列";
            clip->own(userText);
        }
        s.movePointer(c.x, c.y);
        const double hoverEnd = nowMs() + hoverMs;
        while (nowMs() < hoverEnd)
            s.pump(int(std::max(1.0, hoverEnd - nowMs())), -1, onEvent);
        drainWatch();
        expected += c.text;
        const int changesBefore = clip ? clip->ownerChanges() : 0;

        const double t0 = nowMs();
        s.click();
        double t1 = -1;
        while (t1 < 0) {
            s.pump(5, watch, onEvent);
            drainWatch();
            if (readFile(receiverFile) == expected)
                t1 = nowMs();
            else if (nowMs() - t0 > timeoutMs)
                die("run " + std::to_string(k) + ": the receiver does not hold the pasted text after " +
                    std::to_string(int(timeoutMs)) + " ms");
        }

        double t2 = -1;
        if (clip) {
            // Restored: the latest owner change after the click left our text on the clipboard.
            int checked = -1;
            while (t2 < 0) {
                const int changes = clip->ownerChanges();
                if (changes > changesBefore && changes != checked && clip->lastOwner() != None) {
                    checked = changes;
                    const double changedAt = clip->lastChangeAt();
                    const auto text = clip->fetch(1000);
                    if (text && *text == userText && clip->ownerChanges() == changes)
                        t2 = changedAt;
                    continue;
                }
                if (nowMs() - t0 > timeoutMs)
                    die("run " + std::to_string(k) + ": the clipboard was not restored after " +
                        std::to_string(int(timeoutMs)) + " ms");
                s.pump(5, -1, onEvent);
            }
        }
        if (clip)
            std::printf("run=%zu paste_ms=%.2f restore_ms=%.2f\n", k, t1 - t0, t2 - t0);
        else
            std::printf("run=%zu paste_ms=%.2f\n", k, t1 - t0);
        std::fflush(stdout);

        // The palette finishes its handling some time after the text is in; the next click
        // must not fall into it (it would count as the second click of a double-click).
        const double gapEnd = nowMs() + gapMs;
        while (nowMs() < gapEnd)
            s.pump(int(std::max(1.0, gapEnd - nowMs())), -1, onEvent);
    }
    close(watch);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// save

std::vector<std::string> splitList(const std::string& list) {
    std::vector<std::string> items;
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, ','))
        if (!item.empty())
            items.push_back(item);
    return items;
}

int runSave(const Options& o) {
    const int x = int(o.number("x", -1)), y = int(o.number("y", -1));
    if (x < 0 || y < 0)
        die("save needs --x and --y", 2);
    const int toggleX = int(o.number("toggle-x", -1)), toggleY = int(o.number("toggle-y", -1));
    const std::string folder = o.need("folder");
    const std::string sub = o.get("subfolder");
    const std::vector<std::string> expected = splitList(o.need("expect"));
    const int runs = int(o.number("runs", 10));
    const int gapMs = int(o.number("gap-ms", 300));
    const double timeoutMs = o.number("timeout", 10.0) * 1000.0;

    Session s;
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    const uint32_t mask = IN_CREATE | IN_MOVED_TO;
    std::map<int, std::string> prefixOf; // watch descriptor -> how its names are written
    const int top = watch < 0 ? -1 : inotify_add_watch(watch, folder.c_str(), mask);
    if (top < 0)
        die("cannot watch " + folder);
    prefixOf[top] = "";
    if (!sub.empty()) {
        const int w = inotify_add_watch(watch, (folder + "/" + sub).c_str(), mask);
        if (w < 0)
            die("cannot watch " + folder + "/" + sub);
        prefixOf[w] = sub + "/";
    }
    auto ignore = [](XEvent&) {};
    auto rest = [&](int ms) {
        const double end = nowMs() + ms;
        while (nowMs() < end)
            s.pump(int(std::max(1.0, end - nowMs())), -1, ignore);
    };
    auto drain = [&] {
        char buffer[16384];
        while (read(watch, buffer, sizeof buffer) > 0) {
        }
    };

    for (int k = 0; k < runs; ++k) {
        if (toggleX >= 0) {
            s.movePointer(toggleX, toggleY);
            rest(gapMs / 2);
            s.click();
            rest(gapMs / 2);
        }
        s.movePointer(x, y);
        rest(gapMs);
        drain();
        std::set<std::string> waiting(expected.begin(), expected.end());
        const double t0 = nowMs();
        s.click();
        double first = -1, done = -1;
        int replaced = 0;
        while (done < 0) {
            if (nowMs() - t0 > timeoutMs) {
                std::string names;
                for (const auto& n : waiting)
                    names += " " + n;
                die("run " + std::to_string(k) + ": not replaced within the time limit:" + names);
            }
            s.pump(10, watch, ignore);
            alignas(inotify_event) char buffer[16384];
            ssize_t n;
            while ((n = read(watch, buffer, sizeof buffer)) > 0) {
                const double at = nowMs();
                for (char* p = buffer; p < buffer + n;) {
                    const auto* ev = reinterpret_cast<const inotify_event*>(p);
                    if (first < 0)
                        first = at;
                    if ((ev->mask & IN_MOVED_TO) && ev->len) {
                        ++replaced;
                        if (waiting.erase(prefixOf[ev->wd] + ev->name) && waiting.empty())
                            done = at;
                    }
                    p += sizeof(inotify_event) + ev->len;
                }
            }
        }
        // Later replacements of this run (none expected) would count in the next one.
        rest(50);
        alignas(inotify_event) char buffer[16384];
        ssize_t n;
        while ((n = read(watch, buffer, sizeof buffer)) > 0)
            for (char* p = buffer; p < buffer + n;) {
                const auto* ev = reinterpret_cast<const inotify_event*>(p);
                if (ev->mask & IN_MOVED_TO)
                    ++replaced;
                p += sizeof(inotify_event) + ev->len;
            }
        std::printf("run=%d click_to_done_ms=%.2f first_to_done_ms=%.2f replaced=%d\n", k, done - t0,
                    done - first, replaced);
        std::fflush(stdout);
    }
    close(watch);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_probe startup|paste|save OPTIONS (see the header of probe.cpp)\n");
        return 2;
    }
    const std::string mode = argv[1];
    if (mode == "startup")
        return runStartup(parse(argc - 2, argv + 2, {"no-drawn"}));
    if (mode == "paste")
        return runPaste(parse(argc - 2, argv + 2, {"restore"}));
    if (mode == "save")
        return runSave(parse(argc - 2, argv + 2, {}));
    std::fprintf(stderr, "bench_probe: unknown mode %s\n", mode.c_str());
    return 2;
}
