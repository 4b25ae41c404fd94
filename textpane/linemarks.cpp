#include "textpane/linemarks.h"

#include <algorithm>
#include <cmath>

namespace {

// The hues blended into the paper, and how much of them: enough to tell the kinds apart at a
// glance on a light or a dark paper, little enough that the text keeps its contrast.
const QColor kChangedHue(0x3D, 0x7E, 0xF5);
const QColor kRemovedHue(0xE5, 0x3A, 0x35);
const QColor kAddedHue(0x2F, 0xB5, 0x4A);
constexpr qreal kLineShare = 0.30;
constexpr qreal kStrongShare = 0.55;
// A gap's rule carries no text, so it may stand out more.
constexpr qreal kRuleShare = 0.60;
// The least contrast left between the text and a marked background (the usual one for body text).
constexpr qreal kLeastContrast = 4.5;
constexpr qreal kShareStep = 0.05;

// In whole 8-bit steps, as it will be painted.
QColor blend(const QColor &paper, const QColor &hue, qreal share)
{
    auto channel = [&](int a, int b) { return int(std::lround(a + (b - a) * share)); };
    return QColor(channel(paper.red(), hue.red()), channel(paper.green(), hue.green()),
                  channel(paper.blue(), hue.blue()));
}

qreal luminance(const QColor &colour)
{
    auto linear = [](float c) { return c <= 0.04045f ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

qreal contrast(const QColor &one, const QColor &other)
{
    const qreal a = luminance(one);
    const qreal b = luminance(other);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

} // namespace

qsizetype firstLineMarkFrom(const std::vector<LineMark> &marks, qint64 line)
{
    // Sorted and not overlapping, the marks' ends rise with their starts.
    const auto found = std::partition_point(marks.begin(), marks.end(),
                                            [line](const LineMark &mark) { return lineMarkEnd(mark) <= line; });
    return found - marks.begin();
}

QColor lineMarkColour(LineMark::Kind kind, const QColor &paper, const QColor &text, bool strong)
{
    QColor hue;
    switch (kind) {
    case LineMark::Kind::Changed: hue = kChangedHue; break;
    case LineMark::Kind::Removed: hue = kRemovedHue; break;
    case LineMark::Kind::Added: hue = kAddedHue; break;
    case LineMark::Kind::Gap: return blend(paper, text, kRuleShare);
    }
    // A paper the text barely stands out on leaves the hue less room.
    qreal share = strong ? kStrongShare : kLineShare;
    QColor colour = blend(paper, hue, share);
    while (share > kShareStep && contrast(colour, text) < kLeastContrast
           && contrast(colour, text) < contrast(paper, text)) {
        share -= kShareStep;
        colour = blend(paper, hue, share);
    }
    return colour;
}
