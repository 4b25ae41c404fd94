#include "textpane/linelayouts.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTextOption>

#include <algorithm>

// A line is laid out when first asked for: a short line whole, from one read of its bytes; a
// long one is measured by summing advances (LongLine), at first only over its start, then
// further whenever a place further on is drawn or asked about, and the rest a slice at a time
// (measureSome) while its width counts as an estimate. Only the segments drawn or asked about are
// laid out, each at the x the sums give it. The layouts stay until an edit touches their line or
// the view lets them go.

namespace {

// A line's layout is one QTextLine that never wraps; this is wider than any piece can be.
constexpr qreal kUnboundedWidth = 1e7;
// Segment layouts kept per long line, around the last asked for.
constexpr int kPiecesPerLine = 32;
// What a long line's pass measures when the line is first asked for, enough for an estimate
// of its width.
constexpr qint64 kFirstMeasure = 64 * 1024;
const QColor kStrayBox(0x9C, 0x1B, 0x1B);
const QColor kStrayText(Qt::white);

QTextLine firstLine(const QTextLayout &layout)
{
    return layout.lineAt(0);
}

} // namespace

LineLayouts::LineLayouts(const TextDocument *document, const QFont &font)
    : m_document(document)
{
    setFont(font);
    m_lineCount = document->lineCount();
}

LineLayouts::~LineLayouts() = default;

void LineLayouts::setDocument(const TextDocument *document)
{
    m_document = document;
    clear();
}

void LineLayouts::setFont(const QFont &font)
{
    m_font = font;
    m_font.setKerning(false);
    m_advances = std::make_unique<AdvanceTable>(m_font);
    const QFontMetrics metrics(m_font);
    m_lineHeight = std::max({1, metrics.height(), metrics.lineSpacing()});
    m_ascent = metrics.ascent() + (m_lineHeight - metrics.height()) / 2;
    m_spaceWidth = AdvanceTable::toPixels(m_advances->ascii(' '));
    clear();
}

void LineLayouts::clear()
{
    m_lines.clear();
    m_widest = 0;
    m_lineCount = m_document->lineCount();
}

void LineLayouts::noteWidth(qreal width)
{
    m_widest = std::max(m_widest, width);
}

qreal LineLayouts::widest() const
{
    qreal widest = m_widest;
    for (const auto &[line, entry] : m_lines) {
        if (entry.segments && !entry.segments->isMeasured())
            widest = std::max(widest, AdvanceTable::toPixels(entry.segments->width()));
    }
    return widest;
}

bool LineLayouts::isMeasuring() const
{
    return std::any_of(m_lines.begin(), m_lines.end(), [](const auto &line) {
        return line.second.segments && !line.second.segments->isMeasured();
    });
}

bool LineLayouts::measureSome(qint64 bytes)
{
    bool more = false;
    for (auto &[line, entry] : m_lines) {
        if (!entry.segments || entry.segments->isMeasured())
            continue;
        if (bytes > 0) {
            const qint64 before = entry.segments->measuredLength();
            measureTo(entry, before + bytes);
            bytes -= entry.segments->measuredLength() - before;
        }
        more = more || !entry.segments->isMeasured();
    }
    return more;
}

void LineLayouts::noteMeasured(const Entry &entry)
{
    if (entry.segments->isMeasured())
        noteWidth(AdvanceTable::toPixels(entry.segments->width()));
}

void LineLayouts::measureTo(Entry &entry, qint64 offset)
{
    if (entry.segments && !entry.segments->isMeasured()) {
        entry.segments->measureTo(*m_document, entry.start, offset, *m_advances);
        noteMeasured(entry);
    }
}

void LineLayouts::measureToX(Entry &entry, qint64 x)
{
    if (entry.segments && !entry.segments->isMeasured()) {
        entry.segments->measureToX(*m_document, entry.start, x, *m_advances);
        noteMeasured(entry);
    }
}

void LineLayouts::drop(std::map<qint64, Entry>::iterator from, std::map<qint64, Entry>::iterator to)
{
    for (auto it = from; it != to; ++it) {
        if (it->second.segments)
            noteWidth(AdvanceTable::toPixels(it->second.segments->width()));
    }
    m_lines.erase(from, to);
}

std::unique_ptr<LineLayouts::Piece> LineLayouts::makePiece(qint64 start, qint64 length, qint64 x, qint64 width,
                                                           bool tabs) const
{
    auto piece = std::make_unique<Piece>();
    piece->x = AdvanceTable::toPixels(x);
    piece->text = LineText(m_document->bytes(start, length));

    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(Qt::LeftToRight);
    const qint64 distance = m_advances->tabDistance();
    option.setTabStopDistance(AdvanceTable::toPixels(distance));
    // A segment starts anywhere: its tab stops are the line's, moved by where it starts.
    const qint64 phase = x % distance;
    if (tabs && phase != 0) {
        QList<QTextOption::Tab> stops;
        for (qint64 stop = distance - phase; stop <= width + distance; stop += distance)
            stops.append(QTextOption::Tab(AdvanceTable::toPixels(stop), QTextOption::LeftTab));
        option.setTabs(stops);
    }

    QTextLayout &layout = piece->layout;
    layout.setText(piece->text.display());
    layout.setFont(m_font);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    // Box text is drawn by drawPiece on its box; the layout only makes room for it.
    QList<QTextLayout::FormatRange> formats;
    for (const LineText::Box &box : piece->text.boxes()) {
        QTextLayout::FormatRange range {box.start, box.length, {}};
        range.format.setForeground(Qt::transparent);
        formats.append(range);
    }
    layout.setFormats(formats);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(kUnboundedWidth);
    // Every line on one baseline, whatever fallback fonts its characters need.
    line.setPosition(QPointF(0, m_ascent - line.ascent()));
    layout.endLayout();
    return piece;
}

LineLayouts::Entry &LineLayouts::entry(qint64 line)
{
    const auto found = m_lines.find(line);
    if (found != m_lines.end())
        return found->second;
    Entry &entry = m_lines[line];
    entry.start = m_document->lineStart(line);
    entry.length = m_document->lineEnd(line) - entry.start;
    if (entry.length > LongLine::kThreshold) {
        entry.segments = std::make_unique<LongLine>(*m_document, entry.start, entry.length, *m_advances,
                                                    kFirstMeasure);
        noteMeasured(entry);
    } else {
        entry.whole = makePiece(entry.start, entry.length, 0, 0, false);
        noteWidth(firstLine(entry.whole->layout).naturalTextWidth());
    }
    return entry;
}

LineLayouts::Piece &LineLayouts::piece(Entry &entry, int segment)
{
    const auto found = entry.pieces.find(segment);
    if (found != entry.pieces.end())
        return *found->second;
    if (int(entry.pieces.size()) >= kPiecesPerLine) {
        // Let the farthest go.
        const auto front = entry.pieces.begin();
        const auto back = std::prev(entry.pieces.end());
        entry.pieces.erase(segment - front->first > back->first - segment ? front : back);
    }
    const LongLine &segments = *entry.segments;
    const LongLine::Segment &s = segments.segment(segment);
    auto made = makePiece(entry.start + s.start, segments.segmentEnd(segment) - s.start, s.x,
                          segments.segmentEndX(segment) - s.x, s.tabs);
    made->start = s.start;
    return *(entry.pieces[segment] = std::move(made));
}

LineLayouts::Piece &LineLayouts::pieceAt(Entry &entry, qint64 offset)
{
    if (entry.whole)
        return *entry.whole;
    return piece(entry, entry.segments->segmentAt(offset));
}

void LineLayouts::documentChanged(qint64 from, qint64 removed, qint64 inserted)
{
    const qint64 count = m_document->lineCount();
    const qint64 added = count - m_lineCount;
    m_lineCount = count;
    if (m_lines.empty())
        return;
    const qint64 delta = inserted - removed;
    const qint64 first = m_document->lineOf(from);
    const qint64 last = m_document->lineOf(from + inserted);
    const qint64 oldLast = last - added;

    // An edit inside one long line measures again only the segments it touched.
    const auto same = m_lines.find(first);
    if (added == 0 && first == last && same != m_lines.end() && same->second.segments) {
        Entry &entry = same->second;
        const qint64 length = m_document->lineEnd(first) - entry.start;
        if (length > LongLine::kThreshold) {
            const int changed = entry.segments->edit(*m_document, entry.start, from - entry.start, removed,
                                                     inserted, *m_advances);
            entry.length = length;
            entry.pieces.erase(entry.pieces.lower_bound(std::max(0, changed)), entry.pieces.end());
            noteMeasured(entry);
        } else {
            drop(same, std::next(same));
        }
    } else if (first <= oldLast) {
        // Else a character went between a CR and its LF: the line it makes is new, no old one changed.
        drop(m_lines.lower_bound(first), m_lines.upper_bound(oldLast));
    }

    // Lines after the edit keep their layouts; they only move.
    std::map<qint64, Entry> after;
    after.swap(m_lines);
    auto it = after.begin();
    while (it != after.end() && it->first <= oldLast)
        m_lines.insert(m_lines.end(), after.extract(it++));
    while (it != after.end()) {
        auto node = after.extract(it++);
        node.key() += added;
        node.mapped().start += delta;
        m_lines.insert(m_lines.end(), std::move(node));
    }
}

void LineLayouts::keepOnly(qint64 first, qint64 last)
{
    drop(m_lines.begin(), m_lines.lower_bound(first));
    drop(m_lines.upper_bound(last), m_lines.end());
}

qreal LineLayouts::x(qint64 line, qint64 position)
{
    Entry &e = entry(line);
    const qint64 offset = std::clamp<qint64>(position - e.start, 0, e.length);
    measureTo(e, offset);
    Piece &p = pieceAt(e, offset);
    return p.x + firstLine(p.layout).cursorToX(p.text.displayIndex(int(offset - p.start)));
}

qint64 LineLayouts::positionAt(qint64 line, qreal x)
{
    Entry &e = entry(line);
    measureToX(e, AdvanceTable::fromPixels(x));
    Piece &p = e.whole ? *e.whole : piece(e, e.segments->segmentAtX(AdvanceTable::fromPixels(x)));
    const int index = firstLine(p.layout).xToCursor(x - p.x, QTextLine::CursorBetweenCharacters);
    return e.start + p.start + p.text.byteOffset(index);
}

qreal LineLayouts::width(qint64 line)
{
    Entry &e = entry(line);
    if (e.whole)
        return firstLine(e.whole->layout).naturalTextWidth();
    return AdvanceTable::toPixels(e.segments->width());
}

bool LineLayouts::isLong(qint64 line)
{
    return entry(line).segments != nullptr;
}

qreal LineLayouts::summedX(qint64 line, qint64 position)
{
    Entry &e = entry(line);
    if (e.whole)
        return x(line, position);
    const qint64 offset = std::clamp<qint64>(position - e.start, 0, e.length);
    measureTo(e, offset);
    return AdvanceTable::toPixels(e.segments->summedX(*m_document, e.start, offset, *m_advances));
}

void LineLayouts::draw(QPainter &painter, qint64 line, QPointF origin, qreal left, qreal right,
                       const Style &style, const Marks &marks)
{
    Entry &e = entry(line);
    if (e.whole) {
        drawPiece(painter, e, *e.whole, origin, left, right, style, marks);
    } else {
        // A view's width further on too, for the step it is likely to take next.
        measureToX(e, AdvanceTable::fromPixels(right + (right - left)));
        const int first = e.segments->segmentAtX(AdvanceTable::fromPixels(left));
        const int last = e.segments->segmentAtX(AdvanceTable::fromPixels(right));
        for (int segment = first; segment <= last; ++segment)
            drawPiece(painter, e, piece(e, segment), origin, left, right, style, marks);
    }
    // A selected line end shows as a space's width past the text.
    const qint64 end = e.start + e.length;
    if (marks.selection.start <= end && end < marks.selection.end) {
        painter.fillRect(QRectF(origin.x() + width(line), origin.y(), m_spaceWidth, m_lineHeight),
                         style.highlight);
    }
}

void LineLayouts::drawPiece(QPainter &painter, const Entry &entry, const Piece &piece, QPointF origin,
                            qreal left, qreal right, const Style &style, const Marks &marks)
{
    // The boxes are drawn one by one: only those in the stretch asked for.
    const qreal clipLeft = origin.x() + left;
    const qreal clipRight = origin.x() + right;
    const qint64 base = entry.start + piece.start;
    const int bytes = piece.text.byteCount();
    const bool last = piece.start + bytes == entry.length;
    const QPointF at(origin.x() + piece.x, origin.y());
    const int selStart = int(std::clamp<qint64>(marks.selection.start - base, 0, bytes));
    const int selEnd = int(std::clamp<qint64>(marks.selection.end - base, 0, bytes));
    const qint64 caretOffset = marks.caret - base;
    const bool caretHere = marks.caret >= 0 && caretOffset >= 0 && (caretOffset < bytes || (last && caretOffset == bytes));
    const int caretIndex = caretHere ? piece.text.displayIndex(int(caretOffset)) : -1;

    // With a preedit string the caret's piece is laid out again with it; indices from the caret
    // on then move by its length.
    std::unique_ptr<QTextLayout> withPreedit;
    const QTextLayout *layout = &piece.layout;
    const int preeditLength = caretHere ? int(marks.preedit.size()) : 0;
    auto shifted = [&](int index) { return index >= caretIndex && caretIndex >= 0 ? index + preeditLength : index; };
    if (preeditLength > 0) {
        withPreedit = std::make_unique<QTextLayout>(piece.text.display(), m_font);
        withPreedit->setTextOption(piece.layout.textOption());
        withPreedit->setPreeditArea(caretIndex, marks.preedit);
        QList<QTextLayout::FormatRange> formats;
        for (QTextLayout::FormatRange range : piece.layout.formats()) {
            range.start = shifted(range.start);
            formats.append(range);
        }
        QTextLayout::FormatRange underline {caretIndex, preeditLength, {}};
        underline.format.setFontUnderline(true);
        formats.append(underline);
        withPreedit->setFormats(formats);
        withPreedit->beginLayout();
        QTextLine line = withPreedit->createLine();
        line.setLineWidth(kUnboundedWidth);
        line.setPosition(QPointF(0, m_ascent - line.ascent()));
        withPreedit->endLayout();
        layout = withPreedit.get();
    }
    const QTextLine line = firstLine(*layout);

    QList<QTextLayout::FormatRange> selections;
    if (selStart < selEnd) {
        const int from = shifted(piece.text.displayIndex(selStart));
        QTextLayout::FormatRange range {from, shifted(piece.text.displayIndex(selEnd)) - from, {}};
        range.format.setBackground(style.highlight);
        range.format.setForeground(style.highlightedText);
        selections.append(range);
    }
    painter.setPen(style.text);
    layout->draw(&painter, at, selections);

    // Boxes over the room the layout left for them.
    const QFontMetricsF metrics(m_font);
    painter.setFont(m_font);
    for (const LineText::Box &box : piece.text.boxes()) {
        const qreal x1 = line.cursorToX(shifted(box.start));
        const qreal x2 = line.cursorToX(shifted(box.start + box.length));
        const QRectF rect(at.x() + std::min(x1, x2) + 1, at.y() + 1, std::abs(x2 - x1) - 2, m_lineHeight - 2);
        if (rect.right() < clipLeft || rect.left() > clipRight)
            continue;
        const int byte = piece.text.byteOffset(box.start);
        const bool selected = byte >= selStart && byte < selEnd;
        QColor fill = kStrayBox;
        QColor ink = kStrayText;
        if (box.kind == LineText::BoxKind::Control) {
            fill = selected ? style.highlightedText : style.text;
            ink = selected ? style.highlight : style.paper;
        }
        painter.fillRect(rect, fill);
        painter.setPen(ink);
        painter.drawText(rect, Qt::AlignCenter, piece.text.display().mid(box.start + 1, box.length - 2));
    }

    if (caretHere) {
        const int index = caretIndex + (preeditLength > 0 ? marks.preeditCursor : 0);
        const qreal x = at.x() + line.cursorToX(index);
        if (marks.blockCaret) {
            qreal w = line.cursorToX(index + 1) - line.cursorToX(index);
            if (w <= 0)
                w = m_spaceWidth;
            painter.fillRect(QRectF(x, at.y() + m_lineHeight - 2, std::abs(w), 2), style.text);
        } else {
            painter.fillRect(QRectF(x, at.y(), 1, m_lineHeight), style.text);
        }
    }
}
