#pragma once

#include "textpane/linemarks.h"
#include "textpane/textdocument.h"
#include "textpane/texteditor.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QColor>
#include <QElapsedTimer>

#include <functional>
#include <memory>

class QMenu;
class QMimeData;
class QPainter;

class LineLayouts;
class OverviewStrip;

/// A scrolling view of a document that takes input: it paints only the lines in view, keeps
/// their layouts, and lays out a long line only in the stretch near the view, so a very long
/// line costs what a short one does. No wrapping; scroll bars as needed. Several views may show
/// one document.
class TextView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit TextView(QWidget *parent = nullptr);
    ~TextView() override;

    TextDocument &document() const { return *m_document; }
    std::shared_ptr<TextDocument> sharedDocument() const { return m_document; }
    /// Shows `document` (a new one, or another view's); the caret goes to its start and the view
    /// to the top left.
    void setDocument(std::shared_ptr<TextDocument> document);
    TextEditor &editor() { return m_editor; }
    const TextEditor &editor() const { return m_editor; }

    /// The document point at the top-left corner of the view, in pixels: the horizontal offset,
    /// and the first line shown times the line height.
    QPoint scrollPosition() const;
    /// Scrolls so that point comes to the top-left corner, y rounded down to a whole line. Costs
    /// nothing when the view is there already.
    void setScrollPosition(QPoint position);
    int lineHeight() const;
    qint64 firstVisibleLine() const;
    void setFirstVisibleLine(qint64 line);
    /// How many whole lines the view shows.
    qint64 visibleLineCount() const;
    /// Scrolls as little as needed to show `position` (the caret when not given).
    void ensureVisible(qint64 position);
    void ensureCaretVisible();
    /// Where a position is drawn, in viewport pixels (a caret-sized box).
    QRect positionRect(qint64 position) const;
    /// The position nearest a viewport point.
    qint64 positionAt(QPoint point) const;

    /// The background behind the text; the palette's base colour unless set.
    void setPaper(const QColor &colour);
    QColor paper() const { return m_paper.isValid() ? m_paper : palette().color(QPalette::Base); }

    /// Shows these marks (null: none, and no overview strip). Repaints; costs nothing per paint
    /// beyond the marks that meet the lines in view (binary search, never a walk of all marks).
    /// They stay as given through edits until others are set, each clamped to the lines there are.
    void setLineMarks(std::shared_ptr<const LineMarks> marks);
    std::shared_ptr<const LineMarks> lineMarks() const { return m_marks; }

signals:
    /// The caret or the selection moved (after an edit, too).
    void selectionChanged();
    /// The view shows another document (see setDocument()).
    void documentReplaced();
    /// The context menu is built and about to open: what is added to it now shows below its own
    /// items.
    void contextMenuAboutToShow(QMenu *menu);
    /// A click in the overview strip: the index (into marks) of the mark nearest the click, so the
    /// caller can go to that difference. Not emitted when there are no marks.
    void overviewClicked(qsizetype markIndex);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    bool viewportEvent(QEvent *event) override;
    // Hands an event on to the base class, which calls the handlers above; an edit or layout
    // that runs out of memory leaves the text as it was and ends there, never in the event loop.
    template<typename Dispatch> bool guarded(Dispatch dispatch);

    enum class Command;
    enum class Press { None, Selecting, MaybeDrag };

    static Command commandFor(const QKeyEvent *event);
    static bool typesText(const QKeyEvent *event);
    // Runs an action on the editor, then keeps the caret in view and tells who listens.
    void perform(const std::function<void()> &action, bool vertical = false, bool primary = false);
    void run(Command command, bool extend);
    void moveVertically(qint64 lines, bool extend);
    void documentChanged(qint64 from, qint64 removed, qint64 inserted);
    // With `keepOffset`, a narrower widest line leaves the horizontal range reaching the
    // current offset, so that a width found out later never moves the view.
    void updateScrollBars(bool keepOffset = false);
    void noteWidest();
    void measureSlice();
    void measureVisibleLines();
    void restartBlink();
    void updateCaret();
    void setHorizontalOffset(int x);
    void extendSelectionTo(QPoint point);
    void startDrag();
    void copy();
    void cut();
    void paste();
    void setPrimarySelection();
    bool canPaste() const;
    static QMimeData *mimeDataOf(const QByteArray &bytes);
    static QByteArray bytesOf(const QMimeData *data);
    bool acceptsDrag(QDropEvent *event) const;
    // A bounded stretch of the caret's line around it, for input methods, and where it starts.
    QString surroundingText(qint64 *start) const;
    QVariant inputMethodAnswer(Qt::InputMethodQuery query) const;
    int clampedLine(qint64 line) const;
    // Lines [from, to] of the marks: the backgrounds and changed bytes under the text, or the
    // gaps' rules over it.
    void paintLineMarks(QPainter &painter, qint64 from, qint64 to, const QRect &area, const QColor &paper,
                        const QColor &text, bool rules);
    void paintChangedBytes(QPainter &painter, qint64 line, const QRect &area, const QColor &shade);
    // Gives the overview strip its room beside the text while there are marks, and none without.
    void placeOverview();
    void updateOverview();
    qint64 lastFirstLine() const;

    std::shared_ptr<TextDocument> m_document;
    TextEditor m_editor;
    std::unique_ptr<LineLayouts> m_layouts;
    QMetaObject::Connection m_changed;
    qint64 m_firstLine = 0;
    int m_xOffset = 0;
    qreal m_desiredX = -1; ///< the x that Up and Down keep; none when negative
    QColor m_paper;
    std::shared_ptr<const LineMarks> m_marks;
    OverviewStrip *m_overview = nullptr; ///< made when marks are first set
    qreal m_shownWidest = 0;
    bool m_scrollBarsQueued = false;
    bool m_performing = false;
    int m_wheelLines = 0;  ///< a wheel's movement not yet a whole line, in 1/120 lines
    int m_wheelPixels = 0; ///< the same sideways, in 1/120 pixels

    QBasicTimer m_measuring; ///< idle slices of the long lines' width pass
    QBasicTimer m_blink;
    bool m_caretOn = true;

    Press m_press = Press::None;
    QPoint m_pressPoint;
    QPoint m_pointer;          ///< where a selecting drag is, for scrolling while outside the view
    QBasicTimer m_autoScroll;
    QElapsedTimer m_sinceDoubleClick;
    QPoint m_doubleClickPoint;
    TextRange m_dragged;       ///< what a drag from here carries
    bool m_dragMoved = false;  ///< a drop into this document has moved it already
    qint64 m_dropPosition = -1;

    QString m_preedit;
    int m_preeditCursor = 0;
};
