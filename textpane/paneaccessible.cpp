#include "textpane/paneaccessible.h"

#include "textpane/panecontrol.h"
#include "textpane/textdocument.h"
#include "textpane/utf8.h"

#include <QAccessible>

#include <algorithm>

namespace {

// Lines offered beyond those in view, above and below.
constexpr qint64 kLinesAround = 40;
// The most bytes offered at once; a longer stretch is cut around the caret.
constexpr qint64 kMostBytes = 256 * 1024;

bool isContinuation(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

QString decoded(const QByteArray &bytes)
{
    return decodeUtf8Bytewise(bytes);
}

} // namespace

QAccessibleInterface *paneAccessibleFactory(const QString &, QObject *object)
{
    if (auto *pane = qobject_cast<PaneControl *>(object))
        return new PaneAccessible(pane);
    return nullptr;
}

void installPaneAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(paneAccessibleFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

PaneAccessible::PaneAccessible(PaneControl *pane)
    : QAccessibleWidget(pane, QAccessible::EditableText)
{
}

PaneControl *PaneAccessible::pane() const
{
    return static_cast<PaneControl *>(widget());
}

PaneAccessible::Stretch PaneAccessible::offered() const
{
    const PaneControl *p = pane();
    const TextDocument &doc = p->document();
    const qint64 caret = p->editor().caret();
    const qint64 first = std::max<qint64>(0, std::min(p->firstVisibleLine(), doc.lineOf(caret)) - kLinesAround);
    const qint64 last = std::max(p->firstVisibleLine() + p->visibleLineCount(), doc.lineOf(caret)) + kLinesAround;
    Stretch w;
    w.start = doc.lineStart(first);
    w.end = last + 1 < doc.lineCount() ? doc.lineStart(last + 1) : doc.size();
    if (w.end - w.start > kMostBytes) {
        w.start = std::clamp(caret - kMostBytes / 2, w.start, w.end - kMostBytes);
        w.end = w.start + kMostBytes;
        // Cut between characters, never inside one.
        for (int i = 0; i < 3 && w.start > 0 && isContinuation(doc.at(w.start)); ++i)
            --w.start;
        for (int i = 0; i < 3 && w.end < doc.size() && isContinuation(doc.at(w.end)); ++i)
            ++w.end;
    }
    w.text = decoded(doc.bytes(w.start, w.end - w.start));
    return w;
}

int PaneAccessible::offsetOfPosition(qint64 position) const
{
    const Stretch w = offered();
    position = std::clamp(position, w.start, w.end);
    return static_cast<int>(decoded(pane()->document().bytes(w.start, position - w.start)).size());
}

qint64 PaneAccessible::positionOfOffset(int offset) const
{
    const Stretch w = offered();
    offset = std::clamp<int>(offset, 0, static_cast<int>(w.text.size()));
    // Walks the stretch as it was decoded: a character of two units is a four-byte sequence, a
    // stray byte one unit.
    const QByteArray bytes = pane()->document().bytes(w.start, w.end - w.start);
    qint64 at = 0;
    for (int units = 0; units < offset && at < bytes.size();) {
        const int length = utf8SequenceLength(QByteArrayView(bytes).sliced(at));
        at += std::max(length, 1);
        units += length == 4 ? 2 : 1;
    }
    return w.start + at;
}

void *PaneAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString PaneAccessible::text(QAccessible::Text type) const
{
    if (type == QAccessible::Value)
        return offered().text;
    if (type == QAccessible::Name && pane()->accessibleName().isEmpty())
        return pane()->objectName();
    return QAccessibleWidget::text(type);
}

QAccessible::State PaneAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.editable = true;
    s.multiLine = true;
    s.selectableText = true;
    return s;
}

void PaneAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || selectionCount() == 0)
        return;
    const TextRange selected = pane()->editor().selection();
    *startOffset = offsetOfPosition(selected.start);
    *endOffset = offsetOfPosition(selected.end);
}

int PaneAccessible::selectionCount() const
{
    return pane()->editor().hasSelection() ? 1 : 0;
}

void PaneAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void PaneAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        pane()->select(pane()->editor().caret(), pane()->editor().caret());
}

void PaneAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0)
        pane()->select(positionOfOffset(startOffset), positionOfOffset(endOffset));
}

int PaneAccessible::cursorPosition() const
{
    return offsetOfPosition(pane()->editor().caret());
}

void PaneAccessible::setCursorPosition(int position)
{
    const qint64 at = positionOfOffset(position);
    pane()->select(at, at);
}

QString PaneAccessible::text(int startOffset, int endOffset) const
{
    const QString whole = offered().text;
    startOffset = std::clamp<int>(startOffset, 0, static_cast<int>(whole.size()));
    endOffset = std::clamp<int>(endOffset, startOffset, static_cast<int>(whole.size()));
    return whole.mid(startOffset, endOffset - startOffset);
}

int PaneAccessible::characterCount() const
{
    return static_cast<int>(offered().text.size());
}

QRect PaneAccessible::characterRect(int offset) const
{
    const PaneControl *p = pane();
    const QRect box = p->positionRect(positionOfOffset(offset));
    return QRect(p->viewport()->mapToGlobal(box.topLeft()), box.size());
}

int PaneAccessible::offsetAtPoint(const QPoint &point) const
{
    const PaneControl *p = pane();
    return offsetOfPosition(p->positionAt(p->viewport()->mapFromGlobal(point)));
}

void PaneAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    pane()->ensureVisible(positionOfOffset(endIndex));
    pane()->ensureVisible(positionOfOffset(startIndex));
}

QString PaneAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    *startOffset = 0;
    *endOffset = characterCount();
    Q_UNUSED(offset);
    return {};
}
