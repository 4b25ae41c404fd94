#pragma once

#include <QRect>

#include <cmath>

/// Both windows' layouts are drawn in twips; fifteen of them make one pixel at 96 dots per inch.
inline constexpr float kTwipsPerPixel = 15.0f;

inline int twipsToPixels(float twips) { return static_cast<int>(std::lround(twips / kTwipsPerPixel)); }
inline float pixelsToTwips(int pixels) { return static_cast<float>(pixels) * kTwipsPerPixel; }

inline QRect twipsRect(float left, float top, float width, float height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}
