#pragma once
// The program takes no command line but the usual --help and --version: anything else, Qt's own
// options included, is refused, so that a mistyped start says so instead of being ignored.
#include "platform/program_folder.h"
#include <optional>
#include <string>
#include <vector>

struct CommandLineAnswer {
    int exitStatus = 0;
    std::string out; // for the standard output
    std::string err; // for the standard error
};

// The answer to the arguments after the program's name, or nothing when the palette is to start.
// A refused argument ends with status 2, the usual status of a usage error.
std::optional<CommandLineAnswer> answerCommandLine(const std::vector<std::string>& arguments,
                                                   const platform::FilesFolder& files);

// The same for main()'s arguments; the answer is printed. Returns the exit status, or nothing
// when the palette is to start.
std::optional<int> answerCommandLine(int argc, char* argv[], const platform::FilesFolder& files);
