#pragma once
// A paste into a window that keystrokes cannot reach (a native window on a Wayland session,
// seen through XWayland): the entry's text goes on the clipboard for the user's own Ctrl+V, a
// single click goes into the history as a paste does, nothing is sent to any window, and a note
// says why, once a run.
#include "storage/program_state.h"

class Form1;

namespace palette {

// The click on entry button `index` has been told a single click (else a double-click). The text
// stays on the clipboard even with the keep-clipboard option on: it is the only way it reaches
// the window.
void pasteByClipboardOnly(Form1& palette, storage::ProgramState& state, int index, bool singleClick);

} // namespace palette
