#pragma once
// Tells when a property of one of the program's own windows changes, from the PropertyNotify
// events Qt receives for it (Qt asks for them on every window it makes). The notice is handed
// on from the event loop, after Qt has handled the same event, so that what Qt derives from
// the property (a window's frame margins, say) is fresh by then; notices that arrive together
// are handed on once.
#include <QAbstractNativeEventFilter>
#include <QObject>
#include <functional>

namespace platform::x11 {

class PropertyWatch : public QAbstractNativeEventFilter {
public:
    // Atom and Window are XIDs. Also calls changed once soon after the watch begins, for the
    // value the property may already have. Needs a QCoreApplication; without one it calls nothing.
    PropertyWatch(unsigned long window, unsigned long atom, std::function<void()> changed);
    ~PropertyWatch() override;
    PropertyWatch(const PropertyWatch&) = delete;
    PropertyWatch& operator=(const PropertyWatch&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void tellSoon();

    unsigned long window_;
    unsigned long atom_;
    std::function<void()> changed_;
    bool pending_ = false;
    // Queued notices die with it.
    QObject context_;
};

} // namespace platform::x11
