#pragma once
// Whole-file reads and writes for the file-layer tests, and the few file calls whose spelling
// differs between Linux and Windows.
#include "platform/utf8_path.h"
#include <QtTest>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#ifdef _WIN32
#include "platform/windows_header.h"
#else
#include <sys/stat.h>
#endif

namespace test_files {

// A file name from Qt's text, and back (a path made straight from a std::string takes it in the
// C library's narrow encoding, which on Windows is no UTF-8).
inline std::filesystem::path pathOf(const QString& name) {
    return platform::pathFromUtf8(name.toStdString());
}

inline QString nameOf(const std::filesystem::path& path) {
    return QString::fromStdString(platform::utf8FromPath(path));
}

// Binary both ways: on Windows a text-mode file would turn CR LF into LF and stop at 0x1A.
inline std::FILE* openFile(const std::filesystem::path& file, bool forWriting) {
#ifdef _WIN32
    return ::_wfopen(file.c_str(), forWriting ? L"wb" : L"rb");
#else
    return std::fopen(file.c_str(), forWriting ? "wb" : "rb");
#endif
}

inline void writeFile(const std::filesystem::path& file, std::string_view bytes) {
    std::FILE* f = openFile(file, true);
    QVERIFY(f);
    QCOMPARE(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
}

inline std::string readFile(const std::filesystem::path& file) {
    std::string s;
    if (std::FILE* f = openFile(file, false)) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            s.append(buf, n);
        std::fclose(f);
    }
    return s;
}

// The permission bits as chmod sets them. On Windows only the owner-write bit means anything:
// without it the file (or folder) gets the read-only attribute, with it loses it.
inline bool setMode(const std::filesystem::path& file, unsigned mode) {
    std::error_code ec;
    std::filesystem::permissions(file, static_cast<std::filesystem::perms>(mode), ec);
    return !ec;
}

// Which file the name stands for (the inode; on Windows the file index): a write that replaced
// the file gives the name another one. 0 when there is no such file.
inline std::uint64_t fileIdentity(const std::filesystem::path& file) {
#ifdef _WIN32
    const HANDLE handle =
        ::CreateFileW(file.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(handle, &info);
    ::CloseHandle(handle);
    return known ? std::uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow : 0;
#else
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 ? std::uint64_t(info.st_ino) : 0;
#endif
}

} // namespace test_files
