#pragma once

#include <QAccessibleTextInterface>
#include <QAccessibleWidget>

class PaneControl;

/// Installs our accessibility factory for panes once. It must run after the text engine has
/// installed its own: Qt asks the most recently installed factory first, and the engine's own
/// interface would walk the document from its start on every view update.
void installPaneAccessibility();

/// The factory that installPaneAccessibility() installs: our interface for every pane.
QAccessibleInterface *paneAccessibleFactory(const QString &className, QObject *object);

/// What screen readers see of a pane: its name, its role and its text, with offsets computed
/// from a per-line index that exists only while someone asks.
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

    /// Offsets count UTF-16 units, as QString does.
    int offsetOfPosition(long position) const;
    long positionOfOffset(int offset) const;

private:
    PaneControl *pane() const;
    void ensureIndex() const;
};
