#pragma once
// Start-up: reads the files, hands every option to the control that holds it, and leaves the
// palette on its start page and group, ready to be shown.
#include "app/program_windows.h"
#include "storage/program_state.h"
#include <QString>

// Returns what the user is to be told about the files it found but could not read whole (the
// palette shows nothing of them, and no save replaces them), or "" when every file was read.
QString startUp(const ProgramWindows& windows, storage::ProgramState& state);
