#include "app/end_signals.h"
#include <QSocketNotifier>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::array kEndSignals{SIGTERM, SIGHUP, SIGINT, SIGQUIT};
constexpr std::array kHarmlessSignals{SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE};

// Written by the handler, read on the user-interface thread.
int signalWriteEnd = -1;
int signalReadEnd = -1;
// Set by the first end signal. Lock-free, so the handler may use it; atomic, since two signals
// can be handled at once on two threads.
std::atomic<bool> endRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);
// The end signals this process handles; one it was started ignoring (nohup) stays ignored.
std::array<bool, kEndSignals.size()> handled{};

extern "C" void onEndSignal(int signalNumber) {
    // The ending under way saves and ends the process; a second signal must not cut it short.
    if (endRequested.exchange(true))
        return;
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Non-blocking: a full buffer (impossible with one byte per first signal) never hangs us.
    [[maybe_unused]] const ssize_t written = ::write(signalWriteEnd, &byte, 1);
    errno = savedErrno;
}

extern "C" void onHarmlessSignal(int) {}

} // namespace

EndSignals::EndSignals() {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0)
        return; // Without the pair the signals keep their default action: the process ends.
    signalWriteEnd = fds[0];
    signalReadEnd = fds[1];
    endRequested = false;
    notifier_ = std::make_unique<QSocketNotifier>(signalReadEnd, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { readPending(); });

    struct sigaction action {};
    action.sa_handler = &onEndSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls go on: the program's own reads and writes need not expect EINTR.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kEndSignals.size(); ++i) {
        struct sigaction before {};
        ::sigaction(kEndSignals[i], nullptr, &before);
        handled[i] = before.sa_handler != SIG_IGN;
        if (handled[i])
            ::sigaction(kEndSignals[i], &action, nullptr);
    }
    action.sa_handler = &onHarmlessSignal;
    for (int signalNumber : kHarmlessSignals)
        ::sigaction(signalNumber, &action, nullptr);
}

EndSignals::~EndSignals() {
    if (!notifier_)
        return;
    for (std::size_t i = 0; i < kEndSignals.size(); ++i)
        if (handled[i])
            std::signal(kEndSignals[i], SIG_DFL);
    for (int signalNumber : kHarmlessSignals)
        std::signal(signalNumber, SIG_DFL);
    notifier_.reset();
    ::close(signalReadEnd);
    ::close(signalWriteEnd);
    signalReadEnd = signalWriteEnd = -1;
}

void EndSignals::readPending() {
    unsigned char byte = 0;
    while (::read(signalReadEnd, &byte, 1) == 1)
        emit received(byte);
}
