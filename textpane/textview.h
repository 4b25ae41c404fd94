#pragma once

#include "textpane/textdocument.h"
#include "textpane/texteditor.h"

#include <QAbstractScrollArea>
#include <QColor>

#include <memory>

class LineLayouts;

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

signals:
    /// The caret or the selection moved (after an edit, too).
    void selectionChanged();

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

private:
    std::shared_ptr<TextDocument> m_document;
    TextEditor m_editor;
    std::unique_ptr<LineLayouts> m_layouts;
};
