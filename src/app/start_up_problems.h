#pragma once
// What stops or spoils a start before the palette is there: a folder for the user's files that
// cannot be made, a running copy on the same files that does not answer. A user who started the
// program from the menu has no terminal, so each is said in a message box as well as in one
// line on the standard error (for the command line and the session's log).
#include "app/single_instance.h"
#include "platform/program_folder.h"
#include <QString>
#include <filesystem>
#include <optional>
#include <string>

struct StartUpProblem {
    std::string line; // for the standard error, without its line end
    QString message;  // for the message box
    bool endsTheStart = false;
};

// Makes the folder for the files (platform::makeFilesFolder) and says at once on the standard
// error what went wrong, if anything: the message box has to wait for the application object.
// Without any folder (no home) the start cannot go on; with one it goes on without the files.
std::optional<StartUpProblem> makeFilesFolderOrSay(const platform::FilesFolder& files);

// Claims the files for this copy (see SingleInstance). The exit status when this start is to
// end: 0 when the running copy came forward, 1 when it did not answer (said in a message box
// and on the standard error).
std::optional<int> claimFilesOrEnd(SingleInstance& instance, const std::filesystem::path& folder);

// The message box, shown to the user until closed; needs the application object.
void showInAMessageBox(const StartUpProblem& problem);
