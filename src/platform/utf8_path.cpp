#include "platform/utf8_path.h"

#ifdef _WIN32
#include "platform/windows_header.h"
#include <climits>
#endif

namespace platform {

#ifdef _WIN32

std::filesystem::path pathFromUtf8(std::string_view utf8) {
    if (utf8.empty() || utf8.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(utf8.size());
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units > 0 ? units : 0), L'\0');
    if (units > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), units);
    return std::filesystem::path(std::move(wide));
}

std::string utf8FromPath(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    if (wide.empty() || wide.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(wide.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), bytes, nullptr, nullptr);
    return utf8;
}

#else

std::filesystem::path pathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(std::string(utf8));
}

std::string utf8FromPath(const std::filesystem::path& path) {
    return path.native();
}

#endif

} // namespace platform
