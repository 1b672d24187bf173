#pragma once
// SIGTERM, SIGHUP and SIGINT as an event of the user-interface thread. The signal handler only
// writes the signal's number into a socket pair (all a handler may safely do); the reading end
// wakes the event loop. A second signal of the same kind while the first is still being handled
// ends the process at once, as if no handler were there: a user who presses Ctrl+C twice means it.
#include <QObject>
#include <memory>

class QSocketNotifier;

class EndSignals : public QObject {
    Q_OBJECT
public:
    // One instance per process: the handlers are the process's.
    EndSignals();
    // Gives the three signals their default action back.
    ~EndSignals() override;
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

signals:
    void received(int signalNumber);

private:
    void readPending();

    std::unique_ptr<QSocketNotifier> notifier_;
};
