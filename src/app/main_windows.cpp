// ぴこめ on Windows: a palette of kaomoji that types the one you click into the window you were
// using. The same program as on Linux over the Win32 desktop.
#include "app/launch.h"
#include "platform/windows/keep_clipboard_at_exit.h"
#include "platform/windows/windows_desktop.h"
#include <QApplication>

int main(int argc, char* argv[]) {
    // Problems with the files' folder go to the standard error too: a program started from a
    // console has one.
    Launch start;
    if (const auto exitStatus = beginStart(argc, argv, start))
        return *exitStatus;
    QtArguments qtArguments(argc, argv);
    QApplication app(qtArguments.count(), qtArguments.values());
    // Closing a dialog never ends the program: only the palette's exit does.
    QApplication::setQuitOnLastWindowClosed(false);
    if (const auto exitStatus = endForWantOfAFolder(start))
        return *exitStatus;
    platform::WindowsDesktop desktop;
    // Windows asks every program before the session ends (Qt's commit data request: the
    // automatic save runs) and then ends it (a Quit event, after which Windows ends the process
    // at once): the palette's exit runs, and the clipboard the palette holds (the user's, given
    // back after a paste) is handed to Windows as Qt's teardown would hand it.
    return runPalette(start, desktop, [](Program&) { platform::windows::keepClipboardAfterExit(); });
}
