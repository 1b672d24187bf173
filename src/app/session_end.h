#pragma once
// The ways the desktop ends the program, each led into the palette's own exit so that nothing
// is lost: SIGTERM, SIGHUP and SIGINT; the X session manager's save request and its order to
// end (a Quit event); and the display connection lost, which the platform plugin announces
// before it ends the process with exit().
#ifndef _WIN32
#include "app/end_signals.h"
#endif
#include <QObject>
#include <QtGlobal>
#include <functional>

class Program;
class QSessionManager;

class SessionEnd : public QObject {
    Q_OBJECT
public:
    // What happens once the palette's exit has run for the desktop.
    enum class AfterEnd {
        // The process ends at once: the desktop is going away, and the X server may die in the
        // middle of a teardown, which Qt does not survive. Everything is saved by then.
        EndProcess,
        // The event loop ends as it does after "終了" (for tests, which go on running).
        ReturnFromEventLoop,
    };
    // releaseDisplay: gives back what the program holds in the X server (the keycodes it
    // borrowed) over a fresh connection and stops every use of the program's own, which may be
    // gone. It runs before the process ends at once, and when the display is lost, before the
    // automatic save.
    SessionEnd(Program& program, std::function<void()> releaseDisplay, AfterEnd afterEnd);
    ~SessionEnd() override;
    SessionEnd(const SessionEnd&) = delete;
    SessionEnd& operator=(const SessionEnd&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static void noteQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message);
    void sessionSaveRequested(QSessionManager& manager);
    void endForTheDesktop();

    Program& program_;
#ifndef _WIN32
    // A Windows program without a console gets no such signals: its session's end comes as
    // messages, which Qt turns into the save request and the Quit event.
    EndSignals signals_;
#endif
    std::function<void()> releaseDisplay_;
    AfterEnd afterEnd_;
    bool ending_ = false;
};
