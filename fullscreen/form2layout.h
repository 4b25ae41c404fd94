#pragma once

#include <QRect>

/// Where the full-screen window puts its two panes, in pixels.
struct Form2PaneGeometry
{
    QRect left;
    QRect right;
};

/// The full-screen window's layout for a client area of the given size, all in twips and in
/// single precision: each pane half the width less 240, the right pane starting at half the
/// width, both as high as the client area less the label's height and 360. The right pane
/// takes its width and left edge from the left pane's width as that pane holds it, in whole
/// pixels. A client area too small for the formulas gives empty panes, never negative sizes.
Form2PaneGeometry form2Layout(float clientWidth, float clientHeight, float labelHeight);
