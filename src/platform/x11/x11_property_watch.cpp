#include "platform/x11/x11_property_watch.h"
#include <QCoreApplication>
#include <xcb/xcb.h>

namespace platform::x11 {

PropertyWatch::PropertyWatch(unsigned long window, unsigned long atom, std::function<void()> changed)
    : window_(window), atom_(atom), changed_(std::move(changed)) {
    if (!QCoreApplication::instance())
        return;
    QCoreApplication::instance()->installNativeEventFilter(this);
    tellSoon();
}

PropertyWatch::~PropertyWatch() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool PropertyWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    // The top bit marks events sent by another client.
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto* notice = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    if (notice->window == window_ && notice->atom == atom_)
        tellSoon();
    return false;
}

void PropertyWatch::tellSoon() {
    if (pending_)
        return;
    pending_ = true;
    QMetaObject::invokeMethod(
        &context_,
        [this] {
            pending_ = false;
            changed_();
        },
        Qt::QueuedConnection);
}

} // namespace platform::x11
