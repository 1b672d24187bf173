#pragma once
// Positions and sizes are kept in twips, fifteen to a pixel, as the program has always stored them.
#include <QRect>
#include <cmath>

namespace controls {

constexpr int kTwipsPerPixel = 15;

constexpr int toPixels(int twips) {
    // Round to the nearest pixel; negative client positions (the clock bar at -60) stay exact.
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}
constexpr int toTwips(int pixels) {
    return pixels * kTwipsPerPixel;
}

inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

} // namespace controls
