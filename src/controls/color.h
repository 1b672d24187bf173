#pragma once
// Colours are stored as Windows COLORREF values: 0x00BBGGRR (red + 256 * green + 65536 * blue).
#include <QColor>
#include <cstdint>

namespace controls {

inline QColor fromColorRef(std::uint32_t bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}
inline std::uint32_t toColorRef(const QColor& c) {
    return std::uint32_t(c.red()) | (std::uint32_t(c.green()) << 8) | (std::uint32_t(c.blue()) << 16);
}

} // namespace controls
