// ぴこめ on Windows: a palette of kaomoji that types the one you click into the window you were
// using. The same program as on Linux over the Win32 desktop.
#include "app/command_line.h"
#include "app/program.h"
#include "app/read_ahead.h"
#include "app/session_end.h"
#include "app/single_instance.h"
#include "app/start_up_problems.h"
#include "platform/program_folder.h"
#include "platform/windows/keep_clipboard_at_exit.h"
#include "platform/windows/windows_desktop.h"
#include <QApplication>
#include <filesystem>

int main(int argc, char* argv[]) {
    // The files live beside the executable, or in the user's application data for an installed copy.
    const platform::FilesFolder files = platform::filesFolder();
    if (const auto exitStatus = answerCommandLine(argc, argv, files))
        return *exitStatus;
    // Said on the standard error now (a program started from a console has one), in a message
    // box once Qt is there.
    const std::optional<StartUpProblem> folderProblem = makeFilesFolderOrSay(files);
    // The big reads of start-up begin at once, on other cores, while Qt starts.
    std::filesystem::path folder = files.folder;
    ReadAhead readAhead = folder.empty() ? ReadAhead{} : startReadingAhead(folder);

    // Qt sees the program's name only: its own options (-platform …) are not taken.
    int qtArgc = 1;
    char fallbackName[] = "pikome";
    char* qtArgv[] = {argc > 0 ? argv[0] : fallbackName, nullptr};
    QApplication app(qtArgc, qtArgv);
    // Closing a dialog never ends the program: only the palette's exit does.
    QApplication::setQuitOnLastWindowClosed(false);

    if (folderProblem && folderProblem->endsTheStart) {
        showInAMessageBox(*folderProblem);
        return 1;
    }
    platform::WindowsDesktop desktop;

    if (folder.empty() && !files.installed)
        folder = std::filesystem::path(QCoreApplication::applicationDirPath().toStdWString());
    SingleInstance instance(folder);
    if (const auto exitStatus = claimFilesOrEnd(instance, folder))
        return *exitStatus;
    if (folderProblem)
        showInAMessageBox(*folderProblem);
    Program program(folder, desktop, std::move(readAhead));
    instance.onAnotherStart = [&program] { program.bringForward(); };
    // Windows asks every program before the session ends (Qt's commit data request: the
    // automatic save runs) and then ends it (a Quit event, after which Windows ends the process
    // at once): the palette's exit runs, and the clipboard the palette holds (the user's, given
    // back after a paste) is handed to Windows as Qt's teardown would hand it.
    SessionEnd sessionEnd(program, platform::windows::keepClipboardAfterExit,
                          SessionEnd::AfterEnd::EndProcess);
    program.start();
    return app.exec();
}
