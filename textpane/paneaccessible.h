#pragma once

#include <QAccessibleTextInterface>
#include <QAccessibleWidget>

class PaneControl;

/// Installs our accessibility factory for panes once.
void installPaneAccessibility();

/// The factory that installPaneAccessibility() installs: our interface for every pane.
QAccessibleInterface *paneAccessibleFactory(const QString &className, QObject *object);

/// What screen readers see of a pane: its name, its role and its text. The text they are given
/// is the stretch of whole lines around the view and the caret (bounded, so a pane of many
/// gigabytes costs what a small one does, and its offsets never pass what an int holds); its
/// offsets count UTF-16 units from the stretch's start, as QString does. It moves with the view.
class PaneAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit PaneAccessible(PaneControl *pane);

    void *interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text type) const override;
    QAccessible::State state() const override;

    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

    /// The offset of a byte position (clamped into the stretch shown) and back.
    int offsetOfPosition(qint64 position) const;
    qint64 positionOfOffset(int offset) const;

private:
    /// The stretch of the text offered, decoded, with where each of its characters begins.
    struct Stretch
    {
        qint64 start = 0;
        qint64 end = 0;
        QString text;
    };
    PaneControl *pane() const;
    Stretch offered() const;
};
