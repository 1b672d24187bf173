#include "platform/wayland/wayland_connection.h"
#include <QCoreApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <poll.h>
#include <wayland-client.h>

namespace platform::wayland {

namespace {

using namespace std::chrono_literals;
// A compositor answers a round trip within a millisecond or two (sway, KWin and mutter here); one
// that has not answered after this long is hung, and the palette goes on without it.
constexpr auto kRoundtripBound = 500ms;

} // namespace

std::unique_ptr<Connection> Connection::open() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return nullptr;
    return std::unique_ptr<Connection>(new Connection(display));
}

Connection::Connection(wl_display* display) : display_(display) {
    static const wl_registry_listener listener = {&Connection::globalAdded, &Connection::globalRemoved};
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &listener, this);
    // The globals are known when the compositor has answered this; nothing waits for it.
    static const wl_callback_listener globalsListener = {
        [](void* data, wl_callback* callback, std::uint32_t) {
            wl_callback_destroy(callback);
            auto* self = static_cast<Connection*>(data);
            self->globalsCallback_ = nullptr;
            self->globalsKnown_ = true;
            if (self->onGlobalsKnown)
                self->onGlobalsKnown();
        },
    };
    globalsCallback_ = wl_display_sync(display_);
    wl_callback_add_listener(globalsCallback_, &globalsListener, this);
    wl_display_flush(display_);
    if (QCoreApplication::instance()) {
        notifier_ = std::make_unique<QSocketNotifier>(wl_display_get_fd(display_), QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                         [this] { dispatchPending(); });
    }
}

Connection::~Connection() {
    notifier_.reset();
    if (globalsCallback_)
        wl_callback_destroy(globalsCallback_);
    if (seat_)
        wl_seat_destroy(seat_);
    if (registry_)
        wl_registry_destroy(registry_);
    wl_display_flush(display_);
    wl_display_disconnect(display_);
}

void Connection::globalAdded(void* data, wl_registry*, std::uint32_t name, const char* interface,
                             std::uint32_t version) {
    static_cast<Connection*>(data)->globals_.push_back({name, interface, version});
}

bool Connection::offers(const char* interfaceName) const {
    return std::any_of(globals_.begin(), globals_.end(),
                       [&](const Global& g) { return g.interface == interfaceName; });
}

void* Connection::bind(const wl_interface& interface, std::uint32_t maxVersion) {
    for (const Global& g : globals_)
        if (g.interface == interface.name)
            return wl_registry_bind(registry_, g.name, &interface, std::min(g.version, maxVersion));
    return nullptr;
}

wl_seat* Connection::seat() {
    if (!seat_)
        seat_ = static_cast<wl_seat*>(bind(wl_seat_interface, 1));
    return seat_;
}

void Connection::dispatchPending() {
    dispatchFor(0ms);
}

bool Connection::dispatchFor(std::chrono::milliseconds timeout) {
    if (broken_)
        return false;
    while (wl_display_prepare_read(display_) != 0)
        if (wl_display_dispatch_pending(display_) < 0)
            return !(broken_ = true);
    wl_display_flush(display_);
    pollfd socket{wl_display_get_fd(display_), POLLIN, 0};
    const int ready = ::poll(&socket, 1, int(timeout.count()));
    if (ready > 0 && (socket.revents & POLLIN)) {
        if (wl_display_read_events(display_) < 0)
            broken_ = true;
    } else {
        wl_display_cancel_read(display_);
        if (ready > 0)
            broken_ = true; // hung up or an error, and nothing to read
    }
    if (!broken_ && wl_display_dispatch_pending(display_) < 0)
        broken_ = true;
    if (broken_ && notifier_)
        notifier_->setEnabled(false);
    return !broken_;
}

bool Connection::roundtrip() {
    return roundtrip(kRoundtripBound);
}

bool Connection::roundtrip(std::chrono::milliseconds bound) {
    bool done = false;
    static const wl_callback_listener listener = {
        [](void* data, wl_callback* callback, std::uint32_t) {
            if (data)
                *static_cast<bool*>(data) = true;
            wl_callback_destroy(callback);
        },
    };
    wl_callback* callback = wl_display_sync(display_);
    wl_callback_add_listener(callback, &listener, &done);
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!done) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left <= 0ms || !dispatchFor(left)) {
            // The callback may still come: it must not write into this frame then.
            if (!done)
                wl_proxy_set_user_data(reinterpret_cast<wl_proxy*>(callback), nullptr);
            return false;
        }
    }
    return true;
}

} // namespace platform::wayland
