#pragma once
// The ways the desktop ends the program, each led into the palette's own exit so that nothing
// is lost: SIGTERM, SIGHUP and SIGINT; the X session manager's save request and its order to
// end (a Quit event); and the display connection lost, when the platform plugin ends the process
// with exit() from inside the event loop.
#include "app/end_signals.h"
#include <QObject>
#include <functional>

class Program;
class QSessionManager;

class SessionEnd : public QObject {
    Q_OBJECT
public:
    // beforeSaveWithoutDisplay: stops every use of the display connection; it runs when the
    // process ends through exit() while the program is still running (the display is gone), just
    // before the automatic save.
    SessionEnd(Program& program, std::function<void()> beforeSaveWithoutDisplay);
    ~SessionEnd() override;
    SessionEnd(const SessionEnd&) = delete;
    SessionEnd& operator=(const SessionEnd&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static void saveAtAbruptExit();
    void sessionSaveRequested(QSessionManager& manager);

    Program& program_;
    EndSignals signals_;
    std::function<void()> beforeSaveWithoutDisplay_;
};
