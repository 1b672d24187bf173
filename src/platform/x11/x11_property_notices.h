#pragma once
// Property changes of X windows, as Qt's own connection reads them. Qt already wakes for every
// event on its connection, so a watched property costs no wake-up of its own. Qt's event mask on
// the window is kept: PropertyChangeMask is added to it, never put in its place. Each notice is
// handed on from the event loop, after Qt has handled the same event, so that what Qt derives
// from the property (a window's frame margins, say) is fresh by then.
//
// Watching another property is one more call of watch() with its window and atom: the palette's
// frame extents, say, are watch(palette's client window, _NET_FRAME_EXTENTS, …), as the root's
// _NET_ACTIVE_WINDOW is watched for the foreground window.
#include <functional>
#include <memory>
#include <vector>

struct _XDisplay;

namespace platform::x11 {

class PropertyNotices {
public:
    // Notices of the connection Qt reads its events from; nullptr when display is another one
    // (its events never pass through Qt) or no Qt application runs on X11.
    static std::unique_ptr<PropertyNotices> forQtConnection(_XDisplay* display);
    ~PropertyNotices();
    PropertyNotices(const PropertyNotices&) = delete;
    PropertyNotices& operator=(const PropertyNotices&) = delete;

    // Calls changed after each change or deletion of the property on the window, from the event
    // loop, until the same property is watched again; an empty function ends the watch, and
    // notices still queued for it are dropped. False when the window does not exist. With
    // alsoNow, changed is also called soon for the value the property may already have.
    bool watch(unsigned long window, unsigned long property, std::function<void()> changed,
               bool alsoNow = false);

private:
    explicit PropertyNotices(_XDisplay* display);
    // Qt's native event filter, kept out of this header: X headers and Qt's clash.
    class Filter;
    void propertyChanged(unsigned long window, unsigned long property);

    void tellIfStillWatched(unsigned long id);

    struct Watch {
        unsigned long window;
        unsigned long property;
        std::function<void()> changed;
        unsigned long id;
    };
    unsigned long lastId_ = 0;
    _XDisplay* display_;
    std::vector<Watch> watches_;
    std::unique_ptr<Filter> filter_;
};

} // namespace platform::x11
