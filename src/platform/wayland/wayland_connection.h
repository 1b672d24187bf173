#pragma once
// A connection of the program's own to the session's Wayland compositor, beside Qt's X11 one:
// the globals the compositor offers, requests flushed as they are made, and events handled from
// Qt's event loop as they arrive (a target fetching the clipboard is answered without delay).
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct wl_display;
struct wl_registry;
struct wl_interface;
struct wl_seat;
struct wl_callback;
class QSocketNotifier;

namespace platform::wayland {

class Connection {
public:
    // The compositor named by WAYLAND_DISPLAY; nullptr when there is none. Its globals arrive
    // later, with its first answer: KWin may take seconds to answer a new program (it looks up
    // the program's desktop file), and the palette's start-up does not wait for it.
    static std::unique_ptr<Connection> open();
    bool globalsKnown() const { return globalsKnown_; }
    // Runs once, as the globals become known (from the event loop or a dispatch).
    std::function<void()> onGlobalsKnown;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The first global of the interface, bound at the lower of its version and maxVersion;
    // nullptr when the compositor has none (or does not let this program have it).
    void* bind(const wl_interface& interface, std::uint32_t maxVersion);
    bool offers(const char* interfaceName) const;
    // The first seat (the user's keyboard and pointer), bound once.
    wl_seat* seat();

    // Handles the events that have arrived, without waiting, and sends the requests made.
    void dispatchPending();
    // Waits up to timeout for events and handles them. False when the connection broke.
    bool dispatchFor(std::chrono::milliseconds timeout);
    // Every request made so far has been handled by the compositor (within a bound: a
    // compositor that stopped answering costs no more). False when the bound passed.
    bool roundtrip();
    bool roundtrip(std::chrono::milliseconds bound);
    bool broken() const { return broken_; }
    wl_display* display() const { return display_; }

private:
    struct Global {
        std::uint32_t name;
        std::string interface;
        std::uint32_t version;
    };
    explicit Connection(wl_display* display);
    static void globalAdded(void* data, wl_registry*, std::uint32_t name, const char* interface,
                            std::uint32_t version);
    static void globalRemoved(void*, wl_registry*, std::uint32_t) {}

    wl_display* display_;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    std::vector<Global> globals_;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool broken_ = false;
    bool globalsKnown_ = false;
    wl_callback* globalsCallback_ = nullptr;
};

} // namespace platform::wayland
