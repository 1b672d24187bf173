#pragma once
// Code page 932 (Shift-JIS as Windows defines it), the encoding of every file the program keeps.
//
// Decoding never fails and keeps every byte: a text loaded and saved unedited comes back byte
// for byte wherever Windows itself would round-trip it.
//  - Valid characters decode by Microsoft's table (glibc iconv "CP932"); the user-defined area
//    0xF040-0xF9FC maps to U+E000-U+E757.
//  - The single bytes that are no character map as Windows maps them: 0x80 -> U+0080,
//    0xA0 -> U+F8F0, 0xFD -> U+F8F1, 0xFE -> U+F8F2, 0xFF -> U+F8F3.
//  - Any other byte that does not start a valid character (a lead byte without a valid trail
//    byte, a lead byte at the end) becomes the lone surrogate U+DC00 + byte, and only that one
//    byte is consumed, so a CR or LF after a bad lead byte still ends its line.
// Encoding maps those back to their bytes; characters with two codes come back in the
// canonical one (0x8790 -> U+2252 -> 0x81E0); a character the code page lacks becomes '?'
// (one '?' for a surrogate pair).
#include <string>
#include <string_view>

namespace platform::cp932 {

std::u16string decode(std::string_view bytes);
// Decodes into out, which must have room for bytes.size() units (a byte never yields more
// than one); returns the number of units written.
std::size_t decodeInto(std::string_view bytes, char16_t* out);
std::string encode(std::u16string_view text);

// True when b starts a double-byte character (0x81-0x9F, 0xE0-0xFC).
constexpr bool isLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The longest prefix of bytes that holds at most maxBytes bytes and does not end in the middle
// of a double-byte character (a lead byte is always taken together with the byte after it).
std::size_t prefixLength(std::string_view bytes, std::size_t maxBytes);

} // namespace platform::cp932
