#include "textpane/overviewstrip.h"

#include "textpane/textview.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

// Each mark covers the rows its lines scale to, at least kLeastRows; marks that fall on the same
// rows are merged there, the one of the highest rank showing. A click looks for the nearest mark
// only among those around the line under it, by the same rows, so it goes where the eye does.

namespace {

// The least height a mark is drawn with, in pixels, so one line of millions still shows.
constexpr int kLeastRows = 2;
// The strip's width, in parts of a line's height, and its bounds in pixels.
constexpr int kWidthNumerator = 2;
constexpr int kWidthDenominator = 3;
constexpr int kLeastWidth = 8;
constexpr int kMostWidth = 24;
// How much of the text colour tints the strip's ground and draws the frame of the part in view.
constexpr float kGroundShare = 0.07f;
constexpr int kFrameAlpha = 110;

// Rank among the kinds where marks share a row: a changed line shows before the others.
int rankOf(LineMark::Kind kind)
{
    switch (kind) {
    case LineMark::Kind::Gap: return 1;
    case LineMark::Kind::Added: return 2;
    case LineMark::Kind::Removed: return 3;
    case LineMark::Kind::Changed: return 4;
    }
    return 0;
}
constexpr int kRanks = 5;

// The rows [top, bottom) a mark covers in a strip `height` rows high over `lines` lines; a mark
// past the end (the text shrank since it was given) stays at the bottom.
std::pair<int, int> rowsOf(const LineMark &mark, qint64 lines, int height, int least)
{
    const double scale = double(height) / double(std::max<qint64>(1, lines));
    const qint64 first = std::clamp<qint64>(mark.firstLine, 0, lines);
    int top;
    int bottom;
    if (mark.kind == LineMark::Kind::Gap) {
        top = int(std::lround(double(first) * scale)) - least / 2;
        bottom = top + least;
    } else {
        const qint64 last = std::clamp<qint64>(mark.firstLine + mark.lineCount, first, lines);
        top = int(std::floor(double(first) * scale));
        bottom = std::max(int(std::ceil(double(last) * scale)), top + least);
    }
    if (bottom > height) {
        top -= bottom - height;
        bottom = height;
    }
    return {std::max(0, top), std::max(0, bottom)};
}

QColor tinted(const QColor &paper, const QColor &text, float share)
{
    return QColor::fromRgbF(paper.redF() + (text.redF() - paper.redF()) * share,
                            paper.greenF() + (text.greenF() - paper.greenF()) * share,
                            paper.blueF() + (text.blueF() - paper.blueF()) * share);
}

} // namespace

OverviewStrip::OverviewStrip(TextView *view)
    : QWidget(view)
    , m_view(view)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

int OverviewStrip::widthFor(int lineHeight)
{
    return std::clamp(lineHeight * kWidthNumerator / kWidthDenominator, kLeastWidth, kMostWidth);
}

void OverviewStrip::marksChanged()
{
    m_drawn = {};
    update();
}

OverviewStrip::Drawn OverviewStrip::wanted() const
{
    Drawn drawn;
    drawn.valid = true;
    drawn.lineCount = m_view->document().lineCount();
    drawn.size = size();
    drawn.ratio = devicePixelRatioF();
    drawn.paper = m_view->paper().rgba();
    drawn.text = m_view->palette().color(QPalette::Text).rgba();
    return drawn;
}

void OverviewStrip::draw(const Drawn &drawn)
{
    m_drawn = drawn;
    const QColor paper = QColor::fromRgba(drawn.paper);
    const QColor text = QColor::fromRgba(drawn.text);
    m_image = QImage((QSizeF(drawn.size) * drawn.ratio).toSize(), QImage::Format_RGB32);
    m_image.setDevicePixelRatio(drawn.ratio);
    m_image.fill(tinted(paper, text, kGroundShare));
    const std::shared_ptr<const LineMarks> marks = m_view->lineMarks();
    if (!marks || m_image.isNull())
        return;

    // Per row the highest rank of the marks on it, then each row filled once.
    const int height = m_image.height();
    const int least = std::max(kLeastRows, int(std::ceil(kLeastRows * drawn.ratio)));
    std::vector<quint8> ranks(size_t(height), 0);
    for (const LineMark &mark : marks->marks) {
        const auto [top, bottom] = rowsOf(mark, drawn.lineCount, height, least);
        const quint8 rank = quint8(rankOf(mark.kind));
        for (int row = top; row < bottom; ++row)
            ranks[size_t(row)] = std::max(ranks[size_t(row)], rank);
    }
    QRgb colours[kRanks] = {};
    for (LineMark::Kind kind : {LineMark::Kind::Gap, LineMark::Kind::Added, LineMark::Kind::Removed,
                                LineMark::Kind::Changed})
        colours[rankOf(kind)] = lineMarkColour(kind, paper, text, true).rgb();
    const int inset = std::min(int(std::lround(drawn.ratio)), m_image.width() / 4);
    for (int row = 0; row < height; ++row) {
        if (ranks[size_t(row)] == 0)
            continue;
        auto *line = reinterpret_cast<QRgb *>(m_image.scanLine(row));
        std::fill(line + inset, line + m_image.width() - inset, colours[ranks[size_t(row)]]);
    }
}

void OverviewStrip::paintEvent(QPaintEvent *)
{
    const Drawn now = wanted();
    if (!(now == m_drawn))
        draw(now);
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), m_image);

    // The part in view.
    const qint64 lines = std::max<qint64>(1, now.lineCount);
    const double scale = double(height()) / double(lines);
    const qint64 first = std::min(m_view->firstVisibleLine(), lines);
    const qint64 last = std::min(lines, first + std::max<qint64>(1, m_view->visibleLineCount()));
    const int top = int(std::floor(double(first) * scale));
    const int bottom = std::max(top + kLeastRows + 1, int(std::ceil(double(last) * scale)));
    QColor frame = m_view->palette().color(QPalette::Text);
    frame.setAlpha(kFrameAlpha);
    painter.setPen(frame);
    painter.drawRect(QRect(0, top, width() - 1, std::min(bottom, height()) - top - 1));
}

qsizetype OverviewStrip::markNearest(int y) const
{
    const std::shared_ptr<const LineMarks> marks = m_view->lineMarks();
    if (!marks || marks->marks.empty() || height() <= 0)
        return -1;
    const std::vector<LineMark> &all = marks->marks;
    const qint64 lines = m_view->document().lineCount();
    const qint64 line = std::clamp<qint64>(qint64((double(y) + 0.5) * double(lines) / height()), 0, lines - 1);
    // The mark at or after the line, and those either side of it: a mark's least rows may
    // reach past its lines.
    const qsizetype at = firstLineMarkFrom(all, line);
    qsizetype nearest = -1;
    int nearestDistance = std::numeric_limits<int>::max();
    for (qsizetype index = std::max<qsizetype>(0, at - 1); index <= at + 1 && index < qsizetype(all.size()); ++index) {
        const auto [top, bottom] = rowsOf(all[size_t(index)], lines, height(), kLeastRows);
        const int distance = y < top ? top - y : y >= bottom ? y - bottom + 1 : 0;
        if (distance < nearestDistance) {
            nearest = index;
            nearestDistance = distance;
        }
    }
    return nearest;
}

void OverviewStrip::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const qsizetype index = markNearest(event->position().toPoint().y());
    if (index >= 0)
        emit markClicked(index);
}

void OverviewStrip::mouseReleaseEvent(QMouseEvent *event)
{
    // The press was the strip's; the view's text must not see its release.
    event->accept();
}

void OverviewStrip::wheelEvent(QWheelEvent *event)
{
    // The wheel scrolls the text over the strip as over the text itself.
    QCoreApplication::sendEvent(m_view->viewport(), event);
}
