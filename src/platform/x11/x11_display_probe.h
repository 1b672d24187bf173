#pragma once
// Whether an X server answers on $DISPLAY, asked before Qt starts: Qt's xcb plugin aborts the
// process when it cannot connect, before the program could say what is wrong.
#include <string>

namespace platform::x11 {

// Empty when a server answers on $DISPLAY; otherwise one line saying that none was found.
std::string missingDisplayMessage();

} // namespace platform::x11
