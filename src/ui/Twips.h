// The window layouts are given in twips, a twentieth of a point: 15 twips to a pixel at the
// usual 96 dots an inch. Positions are computed in twips, single precision, and drawn in pixels.
#pragma once

#include <cmath>

namespace ui {

inline constexpr float kTwipsPerPixel = 15.0f;

inline int toPixels(float twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}
inline float toTwips(int pixels) {
    return static_cast<float>(pixels) * kTwipsPerPixel;
}

} // namespace ui
