#pragma once
// Windows: the errno value that stands for a Win32 error code, so a failed Win32 call is reported
// with the same short English reason (std::strerror) as a failed C library call, and as the
// Linux build reports it.
#ifdef _WIN32

namespace platform {

int errnoFromWin32(unsigned long error);

} // namespace platform

#endif
