// ぴこめ: a palette of kaomoji that types the one you click into the window you were using.
#include "app/launch.h"
#include "app/program.h"
#include "palette/palette_window.h"
#include "platform/wayland/wayland_desktop.h"
#include "platform/x11/input_method_module.h"
#include "platform/x11/wayland_session.h"
#include "platform/x11/x11_desktop.h"
#include "platform/x11/x11_display_probe.h"
#include <QApplication>
#include <QDBusConnection>
#include <QEventLoop>
#include <QGuiApplication>
#include <cstdio>
#include <thread>

int main(int argc, char* argv[]) {
    Launch start;
    if (const auto exitStatus = beginStart(argc, argv, start))
        return *exitStatus;

    // The desktop layer speaks X11: through XWayland on a Wayland session.
    platform::chooseX11Platform();
    platform::useRunningInputMethod();
    // Without a display Qt's xcb plugin would abort the process before a word could be said.
    if (const std::string missing = platform::x11::missingDisplayMessage(); !missing.empty()) {
        std::fprintf(stderr, "%s\n", missing.c_str());
        return 1;
    }
    // An idle palette repaints only its clock, a few dozen pixels a second. Painting into X
    // shared memory, Qt first makes sure the server is done reading the last picture: a question
    // whose answer, read by Qt's event thread, takes the connection's lock from the main thread,
    // about one wake-up more every four seconds (measured with the clock showing the time).
    // Pixels sent through the socket need no answer. A user's own choice stands.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
    QtArguments qtArguments(argc, argv);
    QApplication app(qtArguments.count(), qtArguments.values());
    // Closing a dialog never ends the program: only the palette's exit does.
    QApplication::setQuitOnLastWindowClosed(false);

    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->display()) {
        std::fprintf(stderr, "pikome needs an X11 desktop (DISPLAY is not an X server).\n");
        return 1;
    }
    // Qt's accessibility bridge connects to the session bus when the first widget reports a
    // change, and waits for the connection. Asked for on another thread now, the connection is
    // made while the windows are built (the bridge then finds it ready).
    std::jthread sessionBus([] { QDBusConnection::sessionBus(); });

    if (const auto exitStatus = endForWantOfAFolder(start))
        return *exitStatus;
    platform::X11Desktop x11Desktop(x11->display());
    // On a Wayland session the native windows are reached through the compositor, by whatever
    // routes it offers; the palette's own windows stay on X11.
    std::unique_ptr<platform::wayland::WaylandDesktop> waylandDesktop;
    if (platform::isWaylandSession()) {
        waylandDesktop = platform::wayland::WaylandDesktop::open(x11Desktop);
        if (!waylandDesktop)
            std::fprintf(
                stderr, "pikome: no Wayland compositor to talk to: native windows get the clipboard only.\n");
    }
    platform::Desktop& desktop =
        waylandDesktop ? static_cast<platform::Desktop&>(*waylandDesktop) : x11Desktop;

    // At the desktop's end the process ends at once: the clipboard the palette holds (the
    // user's, given back after a paste) goes to a clipboard manager first, as Qt's teardown
    // would hand it after "終了".
    auto releaseDisplay = [&x11Desktop](Program& program) {
        x11Desktop.handClipboardToManager(program.paletteWindow().handle(), [] {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        });
        x11Desktop.abandonConnection();
    };
    return runPalette(start, desktop, releaseDisplay);
}
