#pragma once
// What the program offers on the clipboard lives in the program until a paste asks for it: a
// program that ends without handing it to Windows leaves the clipboard empty. Qt hands it over
// in its teardown; a program that ends at once (the session's end) calls this first.

namespace platform::windows {

// Renders every format the program offers into the clipboard itself, which keeps them after
// the program is gone. Nothing happens when another program holds the clipboard.
void keepClipboardAfterExit();

} // namespace platform::windows
