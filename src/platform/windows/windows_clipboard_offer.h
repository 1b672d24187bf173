#pragma once
// Teaches Qt's windows platform to offer again the clipboard formats that a ClipboardSnapshot
// holds and Qt 6.4 cannot serve by itself (windows_clipboard_formats.h lists them): the program
// gives its snapshot back as QMimeData with one entry a format, under the snapshot's names, and
// Qt then serves each of them as the clipboard format it was, with the bytes it held.

namespace platform::windows {

// Once a process, on the thread that runs the QGuiApplication; false when no QGuiApplication on
// Qt's "windows" platform runs.
bool serveSnapshotFormatsThroughQt();

} // namespace platform::windows
