// ぴこめ: a palette of kaomoji that types the one you click into the window you were using.
#include "app/command_line.h"
#include "app/program.h"
#include "app/read_ahead.h"
#include "app/session_end.h"
#include "app/single_instance.h"
#include "platform/program_folder.h"
#include "platform/x11/input_method_module.h"
#include "platform/x11/wayland_session.h"
#include "platform/x11/x11_desktop.h"
#include "platform/x11/x11_display_probe.h"
#include <QApplication>
#include <QDBusConnection>
#include <QGuiApplication>
#include <cstdio>
#include <filesystem>
#include <thread>

int main(int argc, char* argv[]) {
    // The files live beside the executable, or in the user's data folder for an installed copy.
    const platform::FilesFolder files = platform::filesFolder();
    if (const auto exitStatus = answerCommandLine(argc, argv, files))
        return *exitStatus;
    if (std::string error; !platform::makeFilesFolder(files, error)) {
        std::fprintf(stderr, "pikome: cannot make the folder for your files (%s).\n", error.c_str());
        // Without a home there is no folder of the user's own, and the executable's is not one.
        if (files.folder.empty())
            return 1;
    }
    // The big reads of start-up begin at once, on other cores, while Qt starts.
    std::filesystem::path folder = files.folder;
    ReadAhead readAhead = folder.empty() ? ReadAhead{} : startReadingAhead(folder);

    // The desktop layer speaks X11: through XWayland on a Wayland session.
    platform::chooseX11Platform();
    platform::useRunningInputMethod();
    // Without a display Qt's xcb plugin would abort the process before a word could be said.
    if (const std::string missing = platform::x11::missingDisplayMessage(); !missing.empty()) {
        std::fprintf(stderr, "%s\n", missing.c_str());
        return 1;
    }
    // Qt sees the program's name only: its own options (-platform, -display …) are not taken.
    int qtArgc = 1;
    char fallbackName[] = "pikome";
    char* qtArgv[] = {argc > 0 ? argv[0] : fallbackName, nullptr};
    QApplication app(qtArgc, qtArgv);
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

    platform::X11Desktop desktop(x11->display());

    if (folder.empty() && !files.installed)
        folder = QCoreApplication::applicationDirPath().toStdString();
    SingleInstance instance(folder);
    if (const auto claim = instance.claim(); claim != SingleInstance::Claim::First) {
        if (claim == SingleInstance::Claim::OtherCameForward)
            return 0;
        std::fprintf(stderr, "pikome: another copy holds the files in %s but does not answer.\n",
                     folder.c_str());
        return 1;
    }
    Program program(folder, desktop, std::move(readAhead));
    instance.onAnotherStart = [&program] { program.bringForward(); };
    SessionEnd sessionEnd(
        program, [&desktop] { desktop.abandonConnection(); }, SessionEnd::AfterEnd::EndProcess);
    program.start();
    return app.exec();
}
