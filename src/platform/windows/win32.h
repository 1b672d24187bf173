#pragma once
// <windows.h> as every file of this folder includes it, and the conversions between a desktop's
// WindowHandle and an HWND. Only files inside src/platform/windows/ include this.
#include "platform/windows_header.h"

#include "platform/desktop.h"
#include <cstdint>
#include <string>
#include <string_view>

namespace platform::windows {

// HWNDs are pointer-sized values whose meaning lies in their low 32 bits, so they fit a
// WindowHandle both ways; kUnreachableWindow is never one.
inline HWND toHwnd(WindowHandle window) {
    if (window == kUnreachableWindow)
        return nullptr;
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window));
}

inline WindowHandle toHandle(HWND window) {
    return WindowHandle(reinterpret_cast<std::uintptr_t>(window));
}

// Wine's ntdll exports its own version; Windows' does not.
inline bool runsUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// UTF-8 ↔ UTF-16 with the system's converter; invalid sequences become U+FFFD.
std::wstring utf16(std::string_view utf8);
std::string utf8(std::wstring_view utf16);

} // namespace platform::windows
