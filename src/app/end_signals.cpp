#include "app/end_signals.h"
#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::array kEndSignals{SIGTERM, SIGHUP, SIGINT};

// Written by the handler, read on the user-interface thread.
int signalWriteEnd = -1;
int signalReadEnd = -1;
volatile std::sig_atomic_t endRequested = 0;
// The signals this process handles; one it was started ignoring (nohup) stays ignored.
std::array<bool, kEndSignals.size()> handled{};

extern "C" void onEndSignal(int signalNumber) {
    if (endRequested) {
        // The orderly end did not come in time for this user: the default action, now.
        std::signal(signalNumber, SIG_DFL);
        std::raise(signalNumber);
        return;
    }
    endRequested = 1;
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Non-blocking: a full buffer (impossible with one byte per first signal) never hangs us.
    [[maybe_unused]] const ssize_t written = ::write(signalWriteEnd, &byte, 1);
    errno = savedErrno;
}

} // namespace

EndSignals::EndSignals() {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0)
        return; // Without the pair the signals keep their default action: the process ends.
    signalWriteEnd = fds[0];
    signalReadEnd = fds[1];
    endRequested = 0;
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
}

EndSignals::~EndSignals() {
    if (!notifier_)
        return;
    for (std::size_t i = 0; i < kEndSignals.size(); ++i)
        if (handled[i])
            std::signal(kEndSignals[i], SIG_DFL);
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
