#include "app/single_instance.h"
#include <QCryptographicHash>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
// A copy busy starting up answers once its event loop runs: a second or so on a loaded machine.
constexpr int kAnswerWaitMs = 5000;
// Between a copy's last answer and the end of its process.
constexpr auto kRetryPause = std::chrono::milliseconds(100);
// Starts at the same moment take the runtime folder's claim in turns, each for the moment of a
// bind or a connect; one that holds the turn longer than this is stopped (SIGSTOP), and the
// start goes on as if a silent copy held the files.
constexpr auto kTurnWait = std::chrono::seconds(2);
constexpr auto kTurnPoll = std::chrono::milliseconds(10);
// What a new start sends, and what the running copy answers once it has come forward.
constexpr char kComeForward[] = "come forward\n";
constexpr char kDone[] = "done\n";
// A caller that sends more than this without a line end is not one of ours.
constexpr std::size_t kLongestRequest = 64;

// The address of an abstract name: a NUL, then the name's bytes, no terminating NUL.
void setAbstractAddress(const std::string& name, sockaddr_un* address, socklen_t* length) {
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    const std::size_t size = std::min(name.size(), sizeof address->sun_path - 1);
    std::memcpy(address->sun_path + 1, name.data(), size);
    *length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size);
}

// The address of a socket file; false when the path is too long for one.
bool setFileAddress(const std::filesystem::path& file, sockaddr_un* address, socklen_t* length) {
    const std::string& path = file.native();
    if (path.size() >= sizeof address->sun_path)
        return false;
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
    *length = socklen_t(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    return true;
}

// A folder of this user's that no one else may enter: what the base-directory rules ask of
// the runtime folder. Anything else (a folder shared with others, another user's folder handed
// on by sudo) could hold names that another user made.
bool privateToThisUser(const std::filesystem::path& folder) {
    struct stat info {};
    return folder.is_absolute() && ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
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

// The user that made the listening socket at the other end of a connection.
bool peerIsThisUser(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid();
}

constexpr int kTurnNotHad = -1;
constexpr int kNoTurnsHere = -2;

// An exclusive lock on the file, held while the returned descriptor is open; kTurnNotHad when
// it could not be had in time, kNoTurnsHere when the file cannot be made.
int takeTurn(const std::filesystem::path& lockFile) {
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return kNoTurnsHere;
    const auto deadline = std::chrono::steady_clock::now() + kTurnWait;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return kTurnNotHad;
        }
        std::this_thread::sleep_for(kTurnPoll);
    }
    return fd;
}
} // namespace

SingleInstance::SingleInstance(const std::filesystem::path& folder,
                               const std::filesystem::path& runtimeFolder)
    : name_(nameFor(folder).toStdString()) {
    if (!runtimeFolder.empty() && privateToThisUser(runtimeFolder)) {
        // The uid in the name says nothing in a folder of this user's alone.
        const std::string base = name_.substr(name_.rfind('-') + 1);
        socketFile_ = runtimeFolder / ("pikome-" + base + ".socket");
        lockFile_ = runtimeFolder / ("pikome-" + base + ".lock");
        Address address;
        if (!setFileAddress(socketFile_, &address.address, &address.length))
            socketFile_.clear();
    }
}

SingleInstance::~SingleInstance() {
    for (auto& [fd, caller] : callers_)
        ::close(fd);
    callers_.clear();
    listeningNotifier_.reset();
    if (listening_ >= 0) {
        ::close(listening_);
        // The next start would replace it anyway; a copy that ends in order leaves nothing.
        if (listeningInRuntimeFolder_)
            ::unlink(socketFile_.c_str());
    }
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

std::filesystem::path SingleInstance::userRuntimeFolder() {
    const char* folder = std::getenv("XDG_RUNTIME_DIR");
    return folder ? folder : "";
}

SingleInstance::Claim SingleInstance::claim() {
    return socketFile_.empty() ? claimAbstractName() : claimInRuntimeFolder();
}

SingleInstance::Listen SingleInstance::listenAt(const Address& address) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return Listen::Impossible;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address.address), address.length) != 0 ||
        ::listen(fd, 8) != 0) {
        const bool taken = errno == EADDRINUSE;
        ::close(fd);
        return taken ? Listen::Taken : Listen::Impossible;
    }
    listening_ = fd;
    listeningNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(listeningNotifier_.get(), &QSocketNotifier::activated, this, [this] { acceptCallers(); });
    return Listen::Listening;
}

SingleInstance::Claim SingleInstance::claimInRuntimeFolder() {
    Address address;
    setFileAddress(socketFile_, &address.address, &address.length);
    for (int round = 0; round < 3; ++round) {
        // Finding that no copy listens on the socket file and replacing it is one step: two
        // starts doing it at once would each remove the other's. A turn lasts a bind or a
        // connect; the talk with a running copy comes after it.
        const int turn = takeTurn(lockFile_);
        if (turn == kNoTurnsHere)
            return claimAbstractName();
        if (turn == kTurnNotHad)
            return Claim::OtherSilent;
        int holder = -1;
        Listen listen = Listen::Taken;
        for (int attempt = 0; attempt < 2 && holder < 0 && listen == Listen::Taken; ++attempt) {
            listen = listenAt(address);
            if (listen != Listen::Taken)
                break;
            holder = connectTo(address);
            if (holder >= 0 && !peerIsThisUser(holder)) {
                ::close(holder);
                holder = -1;
            }
            // Nobody listens (the copy that made it ended without removing it), or another
            // user put it there: the folder is this user's, so the file goes.
            if (holder < 0)
                ::unlink(socketFile_.c_str());
        }
        ::close(turn);
        if (listen == Listen::Listening) {
            listeningInRuntimeFolder_ = true;
            return Claim::First;
        }
        // The folder refuses sockets: the claim that any folder allows.
        if (listen == Listen::Impossible)
            return claimAbstractName();
        switch (holder < 0 ? Ask::Refused : askOver(holder)) {
        case Ask::Answered:
            return Claim::OtherCameForward;
        case Ask::Silent:
            return Claim::OtherSilent;
        case Ask::Refused:
            // It ended while it was asked: the socket is free once its process is gone.
            std::this_thread::sleep_for(kRetryPause);
            break;
        }
    }
    return Claim::OtherSilent;
}

SingleInstance::Claim SingleInstance::claimAbstractName() {
    Address address;
    setAbstractAddress(name_, &address.address, &address.length);
    // A copy that holds the name but is just ending refuses the connection: then the name is
    // free a moment later, and the next round takes it.
    for (int round = 0; round < 3; ++round) {
        // No socket at all: run rather than refuse the user.
        if (listenAt(address) != Listen::Taken)
            return Claim::First;
        const int holder = connectTo(address);
        if (holder >= 0 && !peerIsThisUser(holder)) {
            // Anyone may take a name here; it says nothing about these files.
            ::close(holder);
            takenByAnotherUser_ = true;
            return Claim::First;
        }
        switch (holder < 0 ? Ask::Refused : askOver(holder)) {
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

int SingleInstance::connectTo(const Address& address) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address.address), address.length) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

SingleInstance::Ask SingleInstance::askOver(int holder) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerWaitMs);
    Ask result = Ask::Silent;
    if (::send(holder, kComeForward, sizeof kComeForward - 1, MSG_NOSIGNAL) ==
        ssize_t(sizeof kComeForward - 1)) {
        std::string answer;
        char buffer[64];
        while (answer.find('\n') == std::string::npos && waitFor(holder, POLLIN, deadline)) {
            const ssize_t n = ::recv(holder, buffer, sizeof buffer, 0);
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
    ::close(holder);
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
        if (::getsockopt(caller, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::geteuid()) {
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
