#include "platform/wayland/data_control_clipboard.h"
#include "platform/wayland/wayland_connection.h"
#include "wlr-data-control-unstable-v1-client.h"
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <thread>
#include <unistd.h>
#include <wayland-client.h>

namespace platform::wayland {

namespace {

// Programs ask for text under these names: Wayland toolkits for the mime types, and XWayland's
// bridge on behalf of X11 programs for the X11 target names.
constexpr const char* kTextFormats[] = {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING", "TEXT",
                                        "STRING"};
// An owner that goes on sending is given more time, as on X11: up to this many times the bound.
constexpr int kBoundGrowth = 10;

// Writes the bytes into the pipe and closes it, on a thread of its own: a target that reads a
// big picture slowly, or not at all, must not hold the event loop. A target that closes its end
// early gives EPIPE (SIGPIPE is blocked on this thread), not the end of the program.
void writeInBackground(int fd, std::shared_ptr<const ClipboardSnapshot> formats, std::size_t index) {
    std::thread([fd, formats = std::move(formats), index] {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        const std::string& bytes = formats->formats[index].bytes;
        std::size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            written += std::size_t(n);
        }
        ::close(fd);
    }).detach();
}

} // namespace

std::unique_ptr<DataControlClipboard> DataControlClipboard::open(Connection& connection) {
    wl_seat* seat = connection.seat();
    if (!seat)
        return nullptr;
    // Version 1: the clipboard only; the primary selection is left alone.
    auto* manager = static_cast<zwlr_data_control_manager_v1*>(
        connection.bind(zwlr_data_control_manager_v1_interface, 1));
    if (!manager)
        return nullptr;
    auto* device = zwlr_data_control_manager_v1_get_data_device(manager, seat);
    std::unique_ptr<DataControlClipboard> clipboard(new DataControlClipboard(connection, manager, device));
    // The clipboard as it is now arrives at once.
    connection.roundtrip();
    return clipboard;
}

DataControlClipboard::DataControlClipboard(Connection& connection, zwlr_data_control_manager_v1* manager,
                                           zwlr_data_control_device_v1* device)
    : connection_(connection), manager_(manager), device_(device) {
    static const zwlr_data_control_device_v1_listener listener = {
        [](void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
            static_cast<DataControlClipboard*>(data)->offerAdded(offer);
        },
        [](void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
            static_cast<DataControlClipboard*>(data)->selectionChanged(offer);
        },
        [](void*, zwlr_data_control_device_v1*) {},                              // finished
        [](void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1*) {}, // primary (not bound)
    };
    zwlr_data_control_device_v1_add_listener(device_, &listener, this);
}

DataControlClipboard::~DataControlClipboard() {
    for (auto& [offer, formats] : offers_)
        zwlr_data_control_offer_v1_destroy(offer);
    if (source_)
        zwlr_data_control_source_v1_destroy(source_);
    zwlr_data_control_device_v1_destroy(device_);
    zwlr_data_control_manager_v1_destroy(manager_);
}

void DataControlClipboard::offerAdded(zwlr_data_control_offer_v1* offer) {
    offers_[offer];
    static const zwlr_data_control_offer_v1_listener listener = {
        [](void* data, zwlr_data_control_offer_v1* offer, const char* mimeType) {
            auto& offers = static_cast<DataControlClipboard*>(data)->offers_;
            if (auto found = offers.find(offer); found != offers.end())
                found->second.emplace_back(mimeType);
        },
    };
    zwlr_data_control_offer_v1_add_listener(offer, &listener, this);
}

void DataControlClipboard::selectionChanged(zwlr_data_control_offer_v1* offer) {
    // Every offer but the new selection is done with: the one it replaces, and any announced
    // and never made the selection.
    for (auto it = offers_.begin(); it != offers_.end();) {
        if (it->first == offer) {
            ++it;
            continue;
        }
        zwlr_data_control_offer_v1_destroy(it->first);
        it = offers_.erase(it);
    }
    selection_ = offer;
}

std::optional<ClipboardSnapshot> DataControlClipboard::read(int boundMs) {
    connection_.dispatchPending();
    if (source_ && offered_)
        return *offered_; // the program's own: reading it through the compositor would wait on itself
    ClipboardSnapshot snapshot;
    if (!selection_)
        return snapshot;
    auto found = offers_.find(selection_);
    if (found == offers_.end())
        return snapshot;
    struct Transfer {
        std::string name;
        int fd;
        std::string bytes;
    };
    std::vector<Transfer> transfers;
    for (const std::string& name : found->second) {
        int pipeEnds[2];
        if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
            continue;
        zwlr_data_control_offer_v1_receive(selection_, name.c_str(), pipeEnds[1]);
        ::close(pipeEnds[1]);
        transfers.push_back({name, pipeEnds[0], {}});
    }
    wl_display_flush(connection_.display());

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto bound = std::chrono::milliseconds(boundMs);
    auto quietSince = start;
    std::size_t open = transfers.size();
    while (open > 0) {
        const auto now = Clock::now();
        if (now - quietSince >= bound || now - start >= bound * kBoundGrowth)
            break;
        std::vector<pollfd> fds;
        for (const Transfer& t : transfers)
            fds.push_back({t.fd, POLLIN, 0});
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(bound - (now - quietSince));
        if (::poll(fds.data(), fds.size(), int(std::max<long>(1, long(left.count())))) <= 0)
            continue;
        for (std::size_t i = 0; i < transfers.size(); ++i) {
            if (transfers[i].fd < 0 || !fds[i].revents)
                continue;
            char buffer[65536];
            const ssize_t n = ::read(transfers[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                transfers[i].bytes.append(buffer, std::size_t(n));
                quietSince = Clock::now();
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                ::close(transfers[i].fd);
                transfers[i].fd = -1;
                --open;
            }
        }
    }
    for (Transfer& t : transfers) {
        if (t.fd >= 0) {
            ::close(t.fd);
            snapshot.complete = false;
            continue;
        }
        snapshot.formats.push_back({std::move(t.name), std::move(t.bytes)});
    }
    return snapshot;
}

bool DataControlClipboard::offer(const ClipboardSnapshot& formats, std::function<void()> onFetched) {
    if (connection_.broken())
        return false;
    zwlr_data_control_source_v1* previous = source_;
    source_ = nullptr;
    offered_.reset();
    onFetched_ = std::move(onFetched);
    if (formats.formats.empty()) {
        zwlr_data_control_device_v1_set_selection(device_, nullptr);
    } else {
        source_ = zwlr_data_control_manager_v1_create_data_source(manager_);
        static const zwlr_data_control_source_v1_listener listener = {
            [](void* data, zwlr_data_control_source_v1* source, const char* mimeType, std::int32_t fd) {
                static_cast<DataControlClipboard*>(data)->sendRequested(source, mimeType, fd);
            },
            [](void* data, zwlr_data_control_source_v1* source) {
                static_cast<DataControlClipboard*>(data)->sourceCancelled(source);
            },
        };
        zwlr_data_control_source_v1_add_listener(source_, &listener, this);
        for (const ClipboardFormat& f : formats.formats)
            zwlr_data_control_source_v1_offer(source_, f.name.c_str());
        offered_ = std::make_shared<const ClipboardSnapshot>(formats);
        zwlr_data_control_device_v1_set_selection(device_, source_);
    }
    if (previous)
        zwlr_data_control_source_v1_destroy(previous);
    connection_.dispatchPending();
    return !connection_.broken();
}

bool DataControlClipboard::offerText(const std::string& utf8, std::function<void()> onFetched) {
    ClipboardSnapshot text;
    for (const char* name : kTextFormats)
        text.formats.push_back({name, utf8});
    return offer(text, std::move(onFetched));
}

bool DataControlClipboard::stillOffered() {
    connection_.dispatchPending();
    return source_ != nullptr;
}

void DataControlClipboard::sendRequested(zwlr_data_control_source_v1* source, const char* mimeType, int fd) {
    if (source != source_ || !offered_) {
        ::close(fd);
        return;
    }
    const auto& formats = offered_->formats;
    const auto format = std::find_if(formats.begin(), formats.end(),
                                     [&](const ClipboardFormat& f) { return f.name == mimeType; });
    if (format == formats.end()) {
        ::close(fd);
        return;
    }
    writeInBackground(fd, offered_, std::size_t(format - formats.begin()));
    if (onFetched_)
        onFetched_();
}

void DataControlClipboard::sourceCancelled(zwlr_data_control_source_v1* source) {
    zwlr_data_control_source_v1_destroy(source);
    if (source == source_) {
        source_ = nullptr;
        offered_.reset();
    }
}

} // namespace platform::wayland
