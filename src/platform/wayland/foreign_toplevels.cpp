// The window list of wlroots compositors (sway): each toplevel's state arrives in parts and
// counts once its "done" has come.
#include "platform/wayland/native_windows.h"
#include "platform/wayland/wayland_connection.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client.h"
#include <algorithm>
#include <list>
#include <wayland-client.h>

namespace platform::wayland {

namespace {

class ForeignToplevels : public NativeWindows {
public:
    ForeignToplevels(Connection& connection, zwlr_foreign_toplevel_manager_v1* manager)
        : connection_(connection), manager_(manager) {
        static const zwlr_foreign_toplevel_manager_v1_listener listener = {
            [](void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle) {
                static_cast<ForeignToplevels*>(data)->add(handle);
            },
            [](void*, zwlr_foreign_toplevel_manager_v1*) {},
        };
        zwlr_foreign_toplevel_manager_v1_add_listener(manager_, &listener, this);
    }
    ~ForeignToplevels() override {
        for (Toplevel& t : toplevels_)
            zwlr_foreign_toplevel_handle_v1_destroy(t.handle);
        zwlr_foreign_toplevel_manager_v1_destroy(manager_);
    }

    Id active() const override {
        for (const Toplevel& t : toplevels_)
            if (t.activated)
                return t.id;
        return 0;
    }

    bool activate(Id window) override {
        wl_seat* seat = connection_.seat();
        auto t = std::find_if(toplevels_.begin(), toplevels_.end(),
                              [&](const Toplevel& t) { return t.id == window; });
        if (t == toplevels_.end() || !seat)
            return false;
        zwlr_foreign_toplevel_handle_v1_activate(t->handle, seat);
        connection_.dispatchPending();
        return true;
    }

private:
    struct Toplevel {
        ForeignToplevels* owner;
        zwlr_foreign_toplevel_handle_v1* handle;
        Id id;
        bool activated = false;        // as of the last "done"
        bool activatedPending = false; // as the state events since say
    };

    void add(zwlr_foreign_toplevel_handle_v1* handle) {
        toplevels_.push_back({this, handle, ++lastId_});
        static const zwlr_foreign_toplevel_handle_v1_listener listener = {
            [](void*, zwlr_foreign_toplevel_handle_v1*, const char*) {},         // title
            [](void*, zwlr_foreign_toplevel_handle_v1*, const char*) {},         // app_id
            [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},          // output_enter
            [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},          // output_leave
            [](void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) { // state
                auto* t = static_cast<Toplevel*>(data);
                t->activatedPending = false;
                const auto* state = static_cast<const std::uint32_t*>(states->data);
                for (std::size_t i = 0; i < states->size / sizeof(std::uint32_t); ++i)
                    if (state[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED)
                        t->activatedPending = true;
            },
            [](void* data, zwlr_foreign_toplevel_handle_v1*) { // done
                auto* t = static_cast<Toplevel*>(data);
                t->activated = t->activatedPending;
            },
            [](void* data, zwlr_foreign_toplevel_handle_v1*) { // closed
                static_cast<Toplevel*>(data)->owner->remove(static_cast<Toplevel*>(data));
            },
            [](void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}, // parent
        };
        zwlr_foreign_toplevel_handle_v1_add_listener(handle, &listener, &toplevels_.back());
    }

    void remove(Toplevel* gone) {
        zwlr_foreign_toplevel_handle_v1_destroy(gone->handle);
        toplevels_.remove_if([&](const Toplevel& t) { return &t == gone; });
    }

    Connection& connection_;
    zwlr_foreign_toplevel_manager_v1* manager_;
    // A list: the listeners hold pointers to its elements.
    std::list<Toplevel> toplevels_;
    Id lastId_ = 0;
};

} // namespace

std::unique_ptr<NativeWindows> foreignToplevels(Connection& connection) {
    auto* manager = static_cast<zwlr_foreign_toplevel_manager_v1*>(
        connection.bind(zwlr_foreign_toplevel_manager_v1_interface, 3));
    if (!manager)
        return nullptr;
    auto windows = std::make_unique<ForeignToplevels>(connection, manager);
    // The list as it is now arrives at once.
    connection.roundtrip();
    return windows;
}

} // namespace platform::wayland
