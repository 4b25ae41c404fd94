#pragma once

#include "textpane/advancetable.h"
#include "textpane/linetext.h"
#include "textpane/longline.h"
#include "textpane/textdocument.h"

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QString>
#include <QTextLayout>

#include <map>
#include <memory>

class QPainter;

/// The layouts of the lines a view shows, between the document and the view: each line's bytes
/// shown through a LineText and laid out by a QTextLayout (shaping, bidi), a long line only in the
/// segments asked for. Kept until the document changes them or the view lets them go; an edit
/// drops only the lines it touched. Positions are document byte offsets, x is in pixels from the
/// line's start.
class LineLayouts
{
public:
    /// The colours a line is drawn in.
    struct Style
    {
        QColor text;
        QColor paper;
        QColor highlight;
        QColor highlightedText;
    };
    /// What is drawn over the text of a line.
    struct Marks
    {
        TextRange selection;
        qint64 caret = -1; ///< none when negative or off the line
        bool blockCaret = false;
        QString preedit; ///< shown at the caret, not part of the text
        int preeditCursor = 0;
    };

    LineLayouts(const TextDocument *document, const QFont &font);
    ~LineLayouts();

    void setDocument(const TextDocument *document);
    /// Lays out in `font` from now on, without kerning so that segment widths add up.
    void setFont(const QFont &font);
    const QFont &font() const { return m_font; }
    int lineHeight() const { return m_lineHeight; }
    /// Forgets every layout and the widest line.
    void clear();
    /// Follows a change of the document: drops the layouts of the lines it touched and moves
    /// those after it.
    void documentChanged(qint64 from, qint64 removed, qint64 inserted);
    /// Keeps only the layouts of lines in [first, last].
    void keepOnly(qint64 first, qint64 last);
    /// How many lines have a layout kept.
    int keptCount() const { return int(m_lines.size()); }

    /// Where `position` (on `line`) is drawn.
    qreal x(qint64 line, qint64 position);
    /// The position on `line` nearest `x`.
    qint64 positionAt(qint64 line, qreal x);
    /// Of a long line not yet measured to its end, an estimate (see LongLine::width()).
    qreal width(qint64 line);
    /// The widest line measured so far, counting the estimates of long lines being measured.
    qreal widest() const;
    /// Whether the line is cut into segments.
    bool isLong(qint64 line);
    /// Whether a long line kept here is not yet measured to its end.
    bool isMeasuring() const;
    /// Measures the long lines kept here on by about `bytes` in all, each from where its pass
    /// stopped; for doing it a little at a time. Returns whether any is still not measured.
    bool measureSome(qint64 bytes);
    /// The advance sums' x of `position` on a long line (no layout), for checking segment widths.
    qreal summedX(qint64 line, qint64 position);

    /// Draws the part of `line` between `left` and `right` (line x) with its start at `origin`.
    void draw(QPainter &painter, qint64 line, QPointF origin, qreal left, qreal right, const Style &style,
              const Marks &marks);

private:
    // A laid-out stretch: a whole short line or one segment of a long one.
    struct Piece
    {
        qint64 start = 0; ///< from the line's start
        qreal x = 0;
        LineText text;
        QTextLayout layout;
    };
    struct Entry
    {
        qint64 start = 0;
        qint64 length = 0;
        std::unique_ptr<Piece> whole;          ///< a short line
        std::unique_ptr<LongLine> segments;    ///< a long one, with the segments laid out so far
        std::map<int, std::unique_ptr<Piece>> pieces;
    };

    Entry &entry(qint64 line);
    Piece &piece(Entry &entry, int segment);
    std::unique_ptr<Piece> makePiece(qint64 start, qint64 length, qint64 x, qint64 width, bool tabs) const;
    // The piece that holds `offset` (from the line's start).
    Piece &pieceAt(Entry &entry, qint64 offset);
    void drawPiece(QPainter &painter, const Entry &entry, const Piece &piece, QPointF origin, qreal left,
                   qreal right, const Style &style, const Marks &marks);
    void noteWidth(qreal width);
    // Measures a long line on far enough to hold `offset`, or `x` (in 1/64 pixel).
    void measureTo(Entry &entry, qint64 offset);
    void measureToX(Entry &entry, qint64 x);
    void noteMeasured(const Entry &entry);
    // Lets lines go; those still being measured leave their estimate as a width seen.
    void drop(std::map<qint64, Entry>::iterator from, std::map<qint64, Entry>::iterator to);

    const TextDocument *m_document;
    QFont m_font;
    std::unique_ptr<AdvanceTable> m_advances;
    int m_lineHeight = 1;
    int m_ascent = 0;
    qreal m_spaceWidth = 1;
    std::map<qint64, Entry> m_lines;
    qint64 m_lineCount = 1; ///< of the document as last seen
    qreal m_widest = 0; ///< of the lines measured whole
};
