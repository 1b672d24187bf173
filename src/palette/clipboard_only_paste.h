#pragma once
// A paste into a window that keystrokes cannot reach (a native window on a Wayland session,
// seen through XWayland): the entry's text goes on the clipboard for the user's own Ctrl+V, a
// single click goes into the history as a paste does, nothing is sent to any window, and a note
// says why, once a run.
#include "platform/window_clipboard.h"
#include "storage/program_state.h"

class PaletteWindow;

namespace palette {

// `text` is what the click pastes, `caption` what a single click records in the history. The text
// stays on the clipboard even with the keep-clipboard option on: it is the only way it reaches
// the window.
// windowClipboard: the window system's clipboard the window pastes from, when not the toolkit's.
void pasteByClipboardOnly(PaletteWindow& palette, storage::ProgramState& state,
                          platform::WindowClipboard* windowClipboard, const QString& text,
                          const QString& caption, bool singleClick);

} // namespace palette
