#pragma once
// The steps of a start that are the same on every desktop. Before Qt: the command line, the
// folder for the user's files and the read-ahead. With the desktop open: one copy per folder,
// then the palette until it ends. Each system's main() opens its own desktop between the two.
#include "app/read_ahead.h"
#include "app/start_up_problems.h"
#include "platform/desktop.h"
#include "platform/program_folder.h"
#include <filesystem>
#include <functional>
#include <optional>

class Program;

// What a start has found before Qt: where the files are, what went wrong making their folder, and
// the reads under way.
struct Launch {
    platform::FilesFolder files;
    std::optional<StartUpProblem> folderProblem;
    ReadAhead readAhead;
};

// Answers the command line (the exit status when the start ends there, as after --help), makes
// the folder for the files (a problem is said on the standard error now, in a message box once
// Qt is there) and begins the big reads of start-up on other cores while Qt starts.
std::optional<int> beginStart(int argc, char* argv[], Launch& start);

// The arguments Qt is given: the program's name only, so that Qt's own options (-platform,
// -display …) are not taken from the user's command line.
class QtArguments {
public:
    QtArguments(int argc, char* argv[]);
    int& count() { return count_; }
    char** values() { return values_; }

private:
    int count_ = 1;
    char fallbackName_[7] = "pikome";
    char* values_[2] = {};
};

// 1 when no folder for the files could be found or made at all, said in a message box (the
// application object must be there); nothing when the start goes on.
std::optional<int> endForWantOfAFolder(const Launch& start);

// With the application object and the desktop: claims the files for this copy, then runs the
// palette until it ends and returns the exit status. atSessionEnd gives back what the program
// holds in the desktop as the session ends, before the process ends at once (see SessionEnd).
int runPalette(Launch& start, platform::Desktop& desktop, std::function<void(Program&)> atSessionEnd);
