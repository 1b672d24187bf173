#include "platform/x11/x11_property_notices.h"
#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QGuiApplication>
#include <algorithm>

// Xlib's macros (None, Bool …) clash with Qt's names: X headers come after Qt's.
#include "platform/x11/x11_error_trap.h"
#include <X11/Xlib.h>
#include <xcb/xproto.h>

namespace platform::x11 {

class PropertyNotices::Filter : public QAbstractNativeEventFilter {
public:
    explicit Filter(PropertyNotices& notices) : notices_(notices) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~Filter() override {
        if (QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
    }
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        // The high bit marks an event sent by another client (XSendEvent).
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
            const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            notices_.propertyChanged(notify->window, notify->atom);
        }
        // Qt handles the event as it would without us.
        return false;
    }

    // Queued notices die with it.
    QObject context;

private:
    PropertyNotices& notices_;
};

std::unique_ptr<PropertyNotices> PropertyNotices::forQtConnection(_XDisplay* display) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || x11->display() != display)
        return nullptr;
    return std::unique_ptr<PropertyNotices>(new PropertyNotices(display));
}

PropertyNotices::PropertyNotices(_XDisplay* display)
    : display_(display), filter_(std::make_unique<Filter>(*this)) {}

PropertyNotices::~PropertyNotices() = default;

bool PropertyNotices::watch(unsigned long window, unsigned long property, std::function<void()> changed,
                            bool alsoNow) {
    std::erase_if(watches_, [&](const Watch& w) { return w.window == window && w.property == property; });
    if (!changed)
        return true;
    {
        ErrorTrap trap(display_);
        XWindowAttributes attributes{};
        const Status known = XGetWindowAttributes(display_, window, &attributes);
        trap.noteReply();
        if (!known || trap.failed())
            return false;
        if ((attributes.your_event_mask & PropertyChangeMask) == 0) {
            XSelectInput(display_, window, attributes.your_event_mask | PropertyChangeMask);
            if (trap.failed())
                return false;
        }
    }
    watches_.push_back({window, property, std::move(changed), ++lastId_});
    if (alsoNow)
        QMetaObject::invokeMethod(
            &filter_->context, [this, id = lastId_] { tellIfStillWatched(id); }, Qt::QueuedConnection);
    return true;
}

void PropertyNotices::propertyChanged(unsigned long window, unsigned long property) {
    for (const Watch& w : watches_)
        if (w.window == window && w.property == property)
            QMetaObject::invokeMethod(
                &filter_->context, [this, id = w.id] { tellIfStillWatched(id); }, Qt::QueuedConnection);
}

void PropertyNotices::tellIfStillWatched(unsigned long id) {
    const auto w = std::find_if(watches_.begin(), watches_.end(), [&](const Watch& w) { return w.id == id; });
    if (w == watches_.end())
        return;
    // Copied first: the handler may watch or unwatch while it runs.
    const auto changed = w->changed;
    changed();
}

} // namespace platform::x11
