#include "app/session_end.h"
#include "app/program.h"
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QSessionManager>
#include <QThread>
#include <cstdlib>

namespace {
// The running program's session end while it lives; the exit hook is the process's.
SessionEnd* running = nullptr;
bool exitHookRegistered = false;
} // namespace

SessionEnd::SessionEnd(Program& program, std::function<void()> beforeSaveWithoutDisplay)
    : program_(program), beforeSaveWithoutDisplay_(std::move(beforeSaveWithoutDisplay)) {
    connect(&signals_, &EndSignals::received, this, [this](int) { program_.endUnattended(); });
    // The session manager asks every client to save before the session ends (and at checkpoints,
    // when the session goes on): the automatic save runs, the palette stays. The order to end
    // comes afterwards as a Quit event.
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, &SessionEnd::sessionSaveRequested);
    connect(qGuiApp, &QGuiApplication::saveStateRequest, this, [](QSessionManager& manager) {
        // Started again in the next session as the user starts it: without Qt's "-session"
        // arguments, which the program does not take.
        manager.setRestartCommand({QCoreApplication::applicationFilePath()});
    });
    qApp->installEventFilter(this);

    running = this;
    if (!exitHookRegistered) {
        exitHookRegistered = true;
        std::atexit(&SessionEnd::saveAtAbruptExit);
    }
}

SessionEnd::~SessionEnd() {
    running = nullptr;
}

void SessionEnd::sessionSaveRequested(QSessionManager&) {
    program_.saveUnattended();
}

bool SessionEnd::eventFilter(QObject* watched, QEvent* event) {
    // Qt would close every window instead, and a dialog that hides rather than closes would keep
    // the program running.
    if (watched == qApp && event->type() == QEvent::Quit) {
        program_.endUnattended();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void SessionEnd::saveAtAbruptExit() {
    // exit() while the program still runs: Qt's xcb plugin ends the process this way when the X
    // connection breaks (the server died, or closed our connection). The windows are out of the
    // display's reach, but everything to be saved is in memory.
    SessionEnd* session = running;
    if (!session || QThread::currentThread() != session->thread())
        return;
    running = nullptr;
    if (session->beforeSaveWithoutDisplay_)
        session->beforeSaveWithoutDisplay_();
    session->program_.saveUnattended();
}
