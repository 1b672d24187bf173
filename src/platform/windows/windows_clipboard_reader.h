#pragma once
// Reads every format of the Windows clipboard as bytes, within one bound.
#include "platform/clipboard_snapshot.h"

namespace platform::windows {

// The formats named as windows_clipboard_formats.h says, in the order the clipboard lists them
// (the owner's order of preference). The reading runs on a thread of its own while the calling
// thread waits and answers the messages other threads send it: an owner that renders a format
// only when asked (WM_RENDERFORMAT) may take long or never answer, and costs the bound only; the
// program's own clipboard (Qt renders through OLE on this thread) is read without a deadlock.
// complete is false when the bound passed first (the clipboard held open by another program the
// whole time, or an owner still rendering); formats then holds what came in time. An empty
// clipboard gives an empty, complete snapshot.
ClipboardSnapshot readClipboard(int boundMs);

} // namespace platform::windows
