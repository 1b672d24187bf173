#include "app/session_end.h"
#include "app/program.h"
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QSessionManager>
#include <QThread>
#include <cstdio>
#include <cstdlib>

namespace {
// The running program's session end while it lives; Qt's message handler is the process's.
SessionEnd* running = nullptr;
QtMessageHandler handlerBefore = nullptr;

// Qt's xcb plugin says this, then ends the process with exit(), when its X connection breaks.
// By the time exit handlers run, exit() has already destroyed thread-local objects the save
// relies on, so the save runs here, when Qt says it, before exit().
constexpr QLatin1StringView kConnectionBroke("The X11 connection broke");
} // namespace

SessionEnd::SessionEnd(Program& program, std::function<void()> releaseDisplay, AfterEnd afterEnd)
    : program_(program), releaseDisplay_(std::move(releaseDisplay)), afterEnd_(afterEnd) {
#ifndef _WIN32
    connect(&signals_, &EndSignals::received, this, [this](int) { endForTheDesktop(); });
#endif
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
    handlerBefore = qInstallMessageHandler(&SessionEnd::noteQtMessage);
}

SessionEnd::~SessionEnd() {
    running = nullptr;
    qInstallMessageHandler(handlerBefore);
}

void SessionEnd::endForTheDesktop() {
    // Once: the clipboard's handover to a clipboard manager runs the event loop, where the
    // session manager's order to end may come again.
    if (ending_)
        return;
    ending_ = true;
    // No second save should the connection break during this one.
    running = nullptr;
    program_.endUnattended();
    if (afterEnd_ != AfterEnd::EndProcess)
        return;
    if (releaseDisplay_)
        releaseDisplay_();
    std::fflush(nullptr);
    std::_Exit(0);
}

void SessionEnd::sessionSaveRequested(QSessionManager&) {
    running = nullptr;
    program_.saveUnattended();
    running = this;
}

bool SessionEnd::eventFilter(QObject* watched, QEvent* event) {
    // Qt would close every window instead, and a dialog that hides rather than closes would keep
    // the program running.
    if (watched == qApp && event->type() == QEvent::Quit) {
        endForTheDesktop();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void SessionEnd::noteQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    SessionEnd* session = running;
    if (session && type == QtWarningMsg && message.startsWith(kConnectionBroke) &&
        QThread::currentThread() == session->thread()) {
        // The windows are out of the display's reach, but everything to be saved is in memory.
        running = nullptr;
        if (session->releaseDisplay_)
            session->releaseDisplay_();
        session->program_.saveAsTheDisplayIsLost();
    }
    if (handlerBefore)
        handlerBefore(type, context, message);
}
