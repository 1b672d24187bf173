#pragma once
// Where the program's files live: the folder that holds the running executable.
#include <filesystem>

namespace platform {

// Found without Qt, so start-up can begin reading before the application object exists.
// Empty when it cannot be told.
std::filesystem::path executableFolder();

} // namespace platform
