// Keys on GNOME through mutter's own RemoteDesktop service on the session bus. It asks the user
// nothing (the portal's RemoteDesktop asks at every login on Debian 12, whose portal cannot
// remember the answer); mutter calls it private, so every call is checked and a failure falls
// back to the clipboard. A session is opened for a paste's keys and closed when no key has come
// for a while: GNOME shows that a remote session is running while one is open.
#include "platform/wayland/key_senders.h"
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QTimer>
#include <optional>

namespace platform::wayland {

namespace {

const QString kService = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
const QString kPath = QStringLiteral("/org/gnome/Mutter/RemoteDesktop");
const QString kSessionInterface = QStringLiteral("org.gnome.Mutter.RemoteDesktop.Session");
// A double-click's Enter and the input-mode key follow the paste keystroke within half a second;
// a new session costs about 90 ms, so one lives this long after its last key.
constexpr int kSessionIdleMs = 3000;
// mutter answers within milliseconds; a call that takes longer than this has failed.
constexpr int kCallTimeoutMs = 1000;
constexpr std::uint32_t kControlL = 0xffe3;
constexpr std::uint32_t kAltL = 0xffe9;
constexpr std::uint32_t kShiftL = 0xffe1;

class MutterRemoteDesktop : public KeySender {
public:
    MutterRemoteDesktop() {
        idle_.setSingleShot(true);
        idle_.setInterval(kSessionIdleMs);
        QObject::connect(&idle_, &QTimer::timeout, [this] { stopSession(); });
    }
    ~MutterRemoteDesktop() override { stopSession(); }

    bool send(std::span<const KeyChord> chords, bool wait) override {
        (void)wait; // every call returns once mutter has handled it
        if (!session_ && !startSession())
            return false;
        idle_.start();
        for (const KeyChord& chord : chords) {
            const std::pair<bool, std::uint32_t> held[] = {
                {chord.control, kControlL}, {chord.alt, kAltL}, {chord.shift, kShiftL}};
            bool typed = true;
            for (const auto& [on, sym] : held)
                if (on)
                    typed = typed && keysym(sym, true);
            typed = typed && keysym(chord.keysym, true) && keysym(chord.keysym, false);
            for (auto it = std::rbegin(held); it != std::rend(held); ++it)
                if (it->first)
                    keysym(it->second, false);
            if (!typed) {
                stopSession();
                return false;
            }
        }
        return true;
    }

private:
    bool startSession() {
        QDBusInterface service(kService, kPath, QStringLiteral("org.gnome.Mutter.RemoteDesktop"),
                               QDBusConnection::sessionBus());
        service.setTimeout(kCallTimeoutMs);
        QDBusReply<QDBusObjectPath> created = service.call(QStringLiteral("CreateSession"));
        if (!created.isValid())
            return false;
        session_.emplace(kService, created.value().path(), kSessionInterface, QDBusConnection::sessionBus());
        session_->setTimeout(kCallTimeoutMs);
        if (!QDBusReply<void>(session_->call(QStringLiteral("Start"))).isValid()) {
            session_.reset();
            return false;
        }
        return true;
    }
    void stopSession() {
        idle_.stop();
        if (session_)
            session_->call(QDBus::NoBlock, QStringLiteral("Stop"));
        session_.reset();
    }
    bool keysym(std::uint32_t sym, bool pressed) {
        return QDBusReply<void>(session_->call(QStringLiteral("NotifyKeyboardKeysym"), sym, pressed))
            .isValid();
    }

    std::optional<QDBusInterface> session_;
    QTimer idle_;
};

} // namespace

std::unique_ptr<KeySender> mutterRemoteDesktop() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(kService).value())
        return nullptr;
    return std::make_unique<MutterRemoteDesktop>();
}

} // namespace platform::wayland
