#include "fullscreen/form2layout.h"

#include "windowkit/twips.h"

#include <algorithm>

namespace {
constexpr float kPaneLeft = 120.0f;
constexpr float kPaneTop = 480.0f;
constexpr float kMargin = 240.0f;
constexpr float kBelowLabel = 360.0f;
} // namespace

Form2PaneGeometry form2Layout(float clientWidth, float clientHeight, float labelHeight)
{
    // Clamped at zero: a pane cannot take a negative size, and a tiny window must not fail.
    const float width = std::max(0.0f, clientWidth / 2.0f - kMargin);
    const int leftWidth = twipsToPixels(width);
    // What the left pane reports back is its width in whole pixels, not the float asked for.
    const float leftWidthHeld = pixelsToTwips(leftWidth);
    const float height = std::max(0.0f, clientHeight - labelHeight - kBelowLabel);
    const int paneHeight = twipsToPixels(height);

    const int top = twipsToPixels(kPaneTop);
    return {QRect(twipsToPixels(kPaneLeft), top, leftWidth, paneHeight),
            QRect(twipsToPixels(leftWidthHeld + kMargin), top, leftWidth, paneHeight)};
}
