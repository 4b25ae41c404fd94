#pragma once

#include "textpane/linemarks.h"

#include <QColor>
#include <QImage>
#include <QWidget>

class TextView;

/// The narrow strip beside a view's scroll bar that shows where the marks of the whole text lie,
/// each at its place scaled to the text's line count and never thinner than a mark can be seen,
/// with a faint frame around the part in view. The marks are drawn once into an image, again only
/// when they, the line count, the size or the colours change, so a paint costs the same for any
/// number of marks.
class OverviewStrip : public QWidget
{
    Q_OBJECT
public:
    explicit OverviewStrip(TextView *view);

    /// Draws the marks afresh at the next paint: the view was given others.
    void marksChanged();

    /// The width the strip takes for a view whose lines are `lineHeight` pixels high.
    static int widthFor(int lineHeight);
    /// The index of the mark drawn nearest `y` (in the strip's pixels); -1 when there is none.
    qsizetype markNearest(int y) const;

signals:
    /// A click in the strip, with the index of the mark nearest it.
    void markClicked(qsizetype index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    // What the image was drawn for.
    struct Drawn
    {
        bool valid = false;
        qint64 lineCount = 0;
        QSize size;
        qreal ratio = 0;
        QRgb paper = 0;
        QRgb text = 0;
        friend bool operator==(const Drawn &, const Drawn &) = default;
    };

    Drawn wanted() const;
    void draw(const Drawn &drawn);

    TextView *m_view;
    QImage m_image;
    Drawn m_drawn;
};
