#include "platform/windows/keep_clipboard_at_exit.h"
#include <ole2.h>

namespace platform::windows {

void keepClipboardAfterExit() {
    // Qt offers the clipboard as an OLE data object; flushing asks it for every format now.
    OleFlushClipboard();
}

} // namespace platform::windows
