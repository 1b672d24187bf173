#pragma once
// The signals that ask a process to end (SIGTERM, SIGHUP, SIGINT, SIGQUIT) as an event of the
// user-interface thread. The signal handler only writes the signal's number into a socket pair
// (all a handler may safely do); the reading end wakes the event loop. Once one has come, the
// ending it began finishes its save whatever other end signals follow: a session's end sends
// them in bursts (systemd: SIGTERM, SIGCONT and SIGHUP back to back), and a user who wants the
// process gone at once has SIGKILL.
//
// The signals that mean nothing to this program (SIGUSR1, SIGUSR2, SIGALRM) and SIGPIPE (a
// write into a pipe or socket whose reader has gone fails with EPIPE instead) would end it
// without a save by default: they are caught and change nothing. Caught, not ignored: an
// ignored signal stays ignored in the programs this one starts (the browser), a caught one
// does not.
//
// POSIX only: a Windows build ends through its own session messages instead.
#include <QObject>
#include <memory>

class QSocketNotifier;

class EndSignals : public QObject {
    Q_OBJECT
public:
    // One instance per process: the handlers are the process's.
    EndSignals();
    // Gives every signal it handles its default action back.
    ~EndSignals() override;
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

signals:
    // Once per process life: the first end signal only.
    void received(int signalNumber);

private:
    void readPending();

    std::unique_ptr<QSocketNotifier> notifier_;
};
