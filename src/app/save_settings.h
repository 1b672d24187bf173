#pragma once
// Writes the kaomoji file and the settings file (options, colours, window places, margins,
// page names) from the shared values and the windows' controls. Returns the files that could
// not be written; nothing in memory changes either way.
#include "app/program_windows.h"
#include "storage/program_state.h"
#include <QStringList>

QStringList saveSettings(const ProgramWindows& windows, const storage::ProgramState& state);
