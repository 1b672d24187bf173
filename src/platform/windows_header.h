#pragma once
// <windows.h> as the program includes it everywhere: without the min and max macros, which break
// std::min and std::numeric_limits, and without the parts (OLE, sockets) nothing here uses.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
