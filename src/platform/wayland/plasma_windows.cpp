// KWin's window list: org_kde_plasma_window_management, which KWin gives only to a program its
// desktop file names (X-KDE-Wayland-Interfaces). Each window's state counts once its initial
// state has arrived; the program's own windows (the palette on XWayland) are left out by pid.
#include "plasma-window-management-client.h"
#include "platform/wayland/native_windows.h"
#include "platform/wayland/wayland_connection.h"
#include <algorithm>
#include <list>
#include <unistd.h>
#include <wayland-client.h>

namespace platform::wayland {

namespace {

// Version 13 announces windows by uuid; earlier ones by a number.
constexpr std::uint32_t kWindowsByUuidSince = 13;
constexpr std::uint32_t kHighestVersionUsed = 16;

class PlasmaWindows : public NativeWindows {
public:
    explicit PlasmaWindows(org_kde_plasma_window_management* manager) : manager_(manager) {
        static const org_kde_plasma_window_management_listener listener = {
            [](void*, org_kde_plasma_window_management*, std::uint32_t) {}, // show_desktop_changed
            [](void* data, org_kde_plasma_window_management* manager, std::uint32_t id) {
                if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(manager)) < kWindowsByUuidSince)
                    static_cast<PlasmaWindows*>(data)->add(
                        org_kde_plasma_window_management_get_window(manager, id));
            },
            [](void*, org_kde_plasma_window_management*, wl_array*) {},   // stacking_order_changed
            [](void*, org_kde_plasma_window_management*, const char*) {}, // stacking_order_uuid_changed
            [](void* data, org_kde_plasma_window_management* manager, std::uint32_t, const char* uuid) {
                static_cast<PlasmaWindows*>(data)->add(
                    org_kde_plasma_window_management_get_window_by_uuid(manager, uuid));
            },
        };
        org_kde_plasma_window_management_add_listener(manager_, &listener, this);
    }
    ~PlasmaWindows() override {
        for (Window& w : windows_)
            org_kde_plasma_window_destroy(w.window);
        org_kde_plasma_window_management_destroy(manager_);
    }

    Id active() const override {
        for (const Window& w : windows_)
            if (w.ready && w.active && w.pid != ownPid_)
                return w.id;
        return 0;
    }

    bool activate(Id id) override {
        auto w = std::find_if(windows_.begin(), windows_.end(), [&](const Window& w) { return w.id == id; });
        if (w == windows_.end())
            return false;
        org_kde_plasma_window_set_state(w->window, ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE,
                                        ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE);
        return true;
    }

private:
    struct Window {
        PlasmaWindows* owner;
        org_kde_plasma_window* window;
        Id id;
        bool ready = false; // its initial state has arrived
        bool active = false;
        std::uint32_t pid = 0;
    };

    void add(org_kde_plasma_window* window) {
        windows_.push_back({this, window, ++lastId_});
        static const org_kde_plasma_window_listener listener = {
            [](void*, org_kde_plasma_window*, const char*) {}, // title_changed
            [](void*, org_kde_plasma_window*, const char*) {}, // app_id_changed
            [](void* data, org_kde_plasma_window*, std::uint32_t flags) {
                static_cast<Window*>(data)->active =
                    (flags & ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE) != 0;
            },
            [](void*, org_kde_plasma_window*, std::int32_t) {}, // virtual_desktop_changed
            [](void*, org_kde_plasma_window*, const char*) {},  // themed_icon_name_changed
            [](void* data, org_kde_plasma_window*) {            // unmapped
                static_cast<Window*>(data)->owner->remove(static_cast<Window*>(data));
            },
            [](void* data, org_kde_plasma_window*) {
                static_cast<Window*>(data)->ready = true;
            },                                                            // initial_state
            [](void*, org_kde_plasma_window*, org_kde_plasma_window*) {}, // parent_window
            [](void*, org_kde_plasma_window*, std::int32_t, std::int32_t, std::uint32_t, std::uint32_t) {
            },                                    // geometry
            [](void*, org_kde_plasma_window*) {}, // icon_changed
            [](void* data, org_kde_plasma_window*, std::uint32_t pid) {
                static_cast<Window*>(data)->pid = pid;
            },
            [](void*, org_kde_plasma_window*, const char*) {},              // virtual_desktop_entered
            [](void*, org_kde_plasma_window*, const char*) {},              // virtual_desktop_left
            [](void*, org_kde_plasma_window*, const char*, const char*) {}, // application_menu
            [](void*, org_kde_plasma_window*, const char*) {},              // activity_entered
            [](void*, org_kde_plasma_window*, const char*) {},              // activity_left
            [](void*, org_kde_plasma_window*, const char*) {},              // resource_name_changed
        };
        org_kde_plasma_window_add_listener(window, &listener, &windows_.back());
    }

    void remove(Window* gone) {
        org_kde_plasma_window_destroy(gone->window);
        windows_.remove_if([&](const Window& w) { return &w == gone; });
    }

    org_kde_plasma_window_management* manager_;
    std::list<Window> windows_; // a list: the listeners hold pointers to its elements
    Id lastId_ = 0;
    const std::uint32_t ownPid_ = std::uint32_t(getpid());
};

} // namespace

std::unique_ptr<NativeWindows> plasmaWindows(Connection& connection) {
    auto* manager = static_cast<org_kde_plasma_window_management*>(
        connection.bind(org_kde_plasma_window_management_interface, kHighestVersionUsed));
    if (!manager)
        return nullptr;
    auto windows = std::make_unique<PlasmaWindows>(manager);
    // The windows are announced, then each one's state: two round trips.
    connection.roundtrip();
    connection.roundtrip();
    return windows;
}

} // namespace platform::wayland
