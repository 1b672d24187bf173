#include "app/launch.h"
#include "app/command_line.h"
#include "app/program.h"
#include "app/session_end.h"
#include "app/single_instance.h"
#include "platform/utf8_path.h"
#include <QApplication>
#include <utility>

std::optional<int> beginStart(int argc, char* argv[], Launch& start) {
    // The files live beside the executable, or in the user's data folder for an installed copy.
    start.files = platform::filesFolder();
    if (const auto exitStatus = answerCommandLine(argc, argv, start.files))
        return exitStatus;
    start.folderProblem = makeFilesFolderOrSay(start.files);
    if (!start.files.folder.empty())
        start.readAhead = startReadingAhead(start.files.folder);
    return std::nullopt;
}

QtArguments::QtArguments(int argc, char* argv[]) {
    values_[0] = argc > 0 ? argv[0] : fallbackName_;
}

std::optional<int> endForWantOfAFolder(const Launch& start) {
    if (!start.folderProblem || !start.folderProblem->endsTheStart)
        return std::nullopt;
    showInAMessageBox(*start.folderProblem);
    return 1;
}

int runPalette(Launch& start, platform::Desktop& desktop, std::function<void(Program&)> atSessionEnd) {
    std::filesystem::path folder = start.files.folder;
    if (folder.empty() && !start.files.installed)
        folder = platform::pathFromUtf8(QCoreApplication::applicationDirPath().toStdString());
    SingleInstance instance(folder);
    if (const auto exitStatus = claimFilesOrEnd(instance, folder))
        return *exitStatus;
    if (start.folderProblem)
        showInAMessageBox(*start.folderProblem);
    Program program(folder, desktop, std::move(start.readAhead));
    instance.onAnotherStart = [&program] { program.bringForward(); };
    SessionEnd sessionEnd(
        program, [&program, atSessionEnd = std::move(atSessionEnd)] { atSessionEnd(program); },
        SessionEnd::AfterEnd::EndProcess);
    program.start();
    return QApplication::exec();
}
