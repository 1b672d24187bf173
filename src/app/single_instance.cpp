#include "app/single_instance.h"
#include <QCryptographicHash>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {
// A copy busy starting up answers once its event loop runs: a second or so on a loaded machine.
constexpr int kAnswerWaitMs = 5000;
// Between a copy's last answer and the end of its process.
constexpr auto kRetryPause = std::chrono::milliseconds(100);
// What a new start sends, and what the running copy answers once it has come forward.
constexpr char kComeForward[] = "come forward\n";
constexpr char kDone[] = "done\n";
// A caller that sends more than this without a line end is not one of ours.
constexpr std::size_t kLongestRequest = 64;

// The address of an abstract name: a NUL, then the name's bytes, no terminating NUL.
socklen_t abstractAddress(const std::string& name, sockaddr_un* address) {
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    const std::size_t length = std::min(name.size(), sizeof address->sun_path - 1);
    std::memcpy(address->sun_path + 1, name.data(), length);
    return socklen_t(offsetof(sockaddr_un, sun_path) + 1 + length);
}

// Waits until fd is ready for events or the deadline passes.
bool waitFor(int fd, short events, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, int(left.count()));
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return false;
    }
}
} // namespace

SingleInstance::SingleInstance(const std::filesystem::path& folder) : name_(nameFor(folder).toStdString()) {}

SingleInstance::~SingleInstance() {
    for (auto& [fd, caller] : callers_)
        ::close(fd);
    callers_.clear();
    listeningNotifier_.reset();
    if (listening_ >= 0)
        ::close(listening_);
}

QString SingleInstance::nameFor(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(folder, error);
    if (error)
        canonical = folder.lexically_normal();
    const QByteArray digest =
        QCryptographicHash::hash(QByteArray::fromStdString(canonical.string()), QCryptographicHash::Sha256);
    return QStringLiteral("pikome-%1-%2").arg(::getuid()).arg(QString::fromLatin1(digest.toHex().left(32)));
}

SingleInstance::Claim SingleInstance::claim() {
    sockaddr_un address;
    const socklen_t length = abstractAddress(name_, &address);
    // A copy that holds the name but is just ending refuses the connection: then the name is
    // free a moment later, and the next round takes it.
    for (int round = 0; round < 3; ++round) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return Claim::First; // no socket at all: run rather than refuse the user
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 && ::listen(fd, 8) == 0) {
            listening_ = fd;
            listeningNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
            connect(listeningNotifier_.get(), &QSocketNotifier::activated, this, [this] { acceptCallers(); });
            return Claim::First;
        }
        ::close(fd);
        switch (askHolder()) {
        case Ask::Answered:
            return Claim::OtherCameForward;
        case Ask::Silent:
            return Claim::OtherSilent;
        case Ask::Refused:
            std::this_thread::sleep_for(kRetryPause);
            break;
        }
    }
    return Claim::OtherSilent;
}

SingleInstance::Ask SingleInstance::askHolder() const {
    sockaddr_un address;
    const socklen_t length = abstractAddress(name_, &address);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return Ask::Refused;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerWaitMs);
    Ask result = Ask::Refused;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
        result = Ask::Silent;
        if (::send(fd, kComeForward, sizeof kComeForward - 1, MSG_NOSIGNAL) ==
            ssize_t(sizeof kComeForward - 1)) {
            std::string answer;
            char buffer[64];
            while (answer.find('\n') == std::string::npos && waitFor(fd, POLLIN, deadline)) {
                const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                if (n > 0) {
                    answer.append(buffer, std::size_t(n));
                } else if (n == 0 || errno != EINTR) {
                    // It ended while we asked: its name is free once its process is gone.
                    result = Ask::Refused;
                    break;
                }
            }
            if (answer.find('\n') != std::string::npos)
                result = Ask::Answered;
        }
    }
    ::close(fd);
    return result;
}

void SingleInstance::acceptCallers() {
    for (;;) {
        const int caller = ::accept4(listening_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (caller < 0)
            return;
        // Names in the abstract namespace are open to every user of the machine: only the
        // user's own starts may call the palette forward.
        ucred peer{};
        socklen_t size = sizeof peer;
        if (::getsockopt(caller, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::getuid()) {
            ::close(caller);
            continue;
        }
        auto notifier = std::make_unique<QSocketNotifier>(caller, QSocketNotifier::Read);
        connect(notifier.get(), &QSocketNotifier::activated, this, [this, caller] { readFrom(caller); });
        callers_[caller] = Caller{std::move(notifier), {}};
    }
}

void SingleInstance::readFrom(int caller) {
    auto found = callers_.find(caller);
    if (found == callers_.end())
        return;
    std::string& received = found->second.received;
    char buffer[64];
    for (;;) {
        const ssize_t n = ::recv(caller, buffer, sizeof buffer, 0);
        if (n > 0) {
            received.append(buffer, std::size_t(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        hangUp(caller); // the caller went away, or the connection failed
        return;
    }
    if (received.find('\n') == std::string::npos) {
        if (received.size() > kLongestRequest)
            hangUp(caller);
        return;
    }
    if (onAnotherStart)
        onAnotherStart();
    // The caller waits for this line; a full buffer on a fresh connection is not to be feared.
    (void)::send(caller, kDone, sizeof kDone - 1, MSG_NOSIGNAL);
    hangUp(caller);
}

void SingleInstance::hangUp(int caller) {
    auto found = callers_.find(caller);
    if (found == callers_.end())
        return;
    // The notifier goes before its socket is closed; it may be the one running this, so it is
    // disabled now and deleted once control is back in the event loop.
    found->second.notifier->setEnabled(false);
    found->second.notifier.release()->deleteLater();
    callers_.erase(found);
    ::close(caller);
}
