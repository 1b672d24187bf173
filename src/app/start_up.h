#pragma once
// Start-up: reads the files, hands every option to the control that holds it, and leaves the
// palette on its start page and group, ready to be shown.
#include "app/program_windows.h"
#include "storage/program_state.h"

void startUp(const ProgramWindows& windows, storage::ProgramState& state);
