#pragma once
// File names between the program's UTF-8 text and std::filesystem::path.
//
// The program holds names as UTF-8 (QString::toStdString(), string literals). A path made from a
// std::string takes it in the C library's narrow encoding: on Linux the bytes themselves, but
// with mingw-w64 on Windows one character per byte, so "設定.ini" became "è¨­å®\x9a.ini". These
// two say which encoding is meant: UTF-8 on both systems (on Linux the bytes pass unchanged,
// whatever they are; on Windows they become UTF-16, and a sequence that is no UTF-8 becomes
// U+FFFD rather than an exception).
#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

std::filesystem::path pathFromUtf8(std::string_view utf8);

// The path's name in UTF-8: on Linux its bytes; on Windows its UTF-16 converted (a lone surrogate,
// which NTFS allows in a name, becomes U+FFFD).
std::string utf8FromPath(const std::filesystem::path& path);

} // namespace platform
