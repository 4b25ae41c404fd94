#include "textpane/paneaccessible.h"

#include "textpane/panecontrol.h"

#include <QAccessible>

#include <algorithm>
#include <limits>

namespace {

constexpr long kIndexKind = QsciScintillaBase::SC_LINECHARACTERINDEX_UTF16;

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

namespace {

// Offsets are ints to screen readers: past some two thousand million characters they stay at the
// largest one rather than wrapping round to negative counts.
int clampedOffset(long offset)
{
    return static_cast<int>(std::clamp<long>(offset, 0, std::numeric_limits<int>::max()));
}

} // namespace

void *PaneAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString PaneAccessible::text(QAccessible::Text type) const
{
    if (type == QAccessible::Value)
        return QString::fromUtf8(pane()->bytes());
    if (type == QAccessible::Name && pane()->accessibleName().isEmpty())
        return pane()->objectName();
    return QAccessibleWidget::text(type);
}

QAccessible::State PaneAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.editable = !pane()->isReadOnly();
    s.multiLine = true;
    s.selectableText = true;
    return s;
}

void PaneAccessible::ensureIndex() const
{
    // The engine keeps the index up to date across edits once the document has one; panes
    // nobody reads aloud never pay for it. Each new content is a new document, so look each time.
    if (!(pane()->SendScintilla(QsciScintillaBase::SCI_GETLINECHARACTERINDEX) & kIndexKind))
        pane()->SendScintilla(QsciScintillaBase::SCI_ALLOCATELINECHARACTERINDEX,
                              static_cast<unsigned long>(kIndexKind));
}

int PaneAccessible::offsetOfPosition(long position) const
{
    ensureIndex();
    PaneControl *p = pane();
    position = std::clamp<long>(position, 0, static_cast<long>(p->byteCount()));
    const long line = p->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION,
                                       static_cast<unsigned long>(position));
    const long lineStart = p->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE,
                                            static_cast<unsigned long>(line));
    const long lineOffset = p->SendScintilla(QsciScintillaBase::SCI_INDEXPOSITIONFROMLINE,
                                             static_cast<unsigned long>(line), kIndexKind);
    const long within = p->SendScintilla(QsciScintillaBase::SCI_COUNTCODEUNITS,
                                         static_cast<unsigned long>(lineStart), position);
    return clampedOffset(lineOffset + within);
}

long PaneAccessible::positionOfOffset(int offset) const
{
    ensureIndex();
    PaneControl *p = pane();
    offset = std::clamp(offset, 0, characterCount());
    const long line = p->SendScintilla(QsciScintillaBase::SCI_LINEFROMINDEXPOSITION,
                                       static_cast<unsigned long>(offset), kIndexKind);
    const long lineStart = p->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE,
                                            static_cast<unsigned long>(line));
    const long lineOffset = p->SendScintilla(QsciScintillaBase::SCI_INDEXPOSITIONFROMLINE,
                                             static_cast<unsigned long>(line), kIndexKind);
    return p->SendScintilla(QsciScintillaBase::SCI_POSITIONRELATIVECODEUNITS,
                            static_cast<unsigned long>(lineStart), offset - lineOffset);
}

void PaneAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || selectionCount() == 0)
        return;
    *startOffset = offsetOfPosition(pane()->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART));
    *endOffset = offsetOfPosition(pane()->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONEND));
}

int PaneAccessible::selectionCount() const
{
    return pane()->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART)
                   != pane()->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONEND)
               ? 1 : 0;
}

void PaneAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void PaneAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        pane()->SendScintilla(QsciScintillaBase::SCI_SETEMPTYSELECTION,
                              static_cast<unsigned long>(pane()->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS)));
}

void PaneAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0)
        pane()->SendScintilla(QsciScintillaBase::SCI_SETSEL,
                              static_cast<unsigned long>(positionOfOffset(startOffset)),
                              positionOfOffset(endOffset));
}

int PaneAccessible::cursorPosition() const
{
    return offsetOfPosition(pane()->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS));
}

void PaneAccessible::setCursorPosition(int position)
{
    pane()->SendScintilla(QsciScintillaBase::SCI_GOTOPOS,
                          static_cast<unsigned long>(positionOfOffset(position)));
}

QString PaneAccessible::text(int startOffset, int endOffset) const
{
    const long start = positionOfOffset(startOffset);
    const long end = positionOfOffset(endOffset);
    if (end <= start)
        return {};
    const auto *data = reinterpret_cast<const char *>(
        pane()->SendScintillaPtrResult(QsciScintillaBase::SCI_GETCHARACTERPOINTER));
    return QString::fromUtf8(data + start, end - start);
}

int PaneAccessible::characterCount() const
{
    ensureIndex();
    PaneControl *p = pane();
    const long lines = p->SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT);
    const long lastLine = lines - 1;
    const long lastStart = p->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE,
                                            static_cast<unsigned long>(lastLine));
    return clampedOffset(p->SendScintilla(QsciScintillaBase::SCI_INDEXPOSITIONFROMLINE,
                                          static_cast<unsigned long>(lastLine), kIndexKind)
                         + p->SendScintilla(QsciScintillaBase::SCI_COUNTCODEUNITS,
                                            static_cast<unsigned long>(lastStart),
                                            static_cast<long>(p->byteCount())));
}

QRect PaneAccessible::characterRect(int offset) const
{
    PaneControl *p = pane();
    const long position = positionOfOffset(offset);
    const int x = static_cast<int>(p->SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0ul, position));
    const int y = static_cast<int>(p->SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0ul, position));
    const QPoint topLeft = p->viewport()->mapToGlobal(QPoint(x, y));
    return QRect(topLeft, QSize(std::max(1, p->fontMetrics().averageCharWidth()), p->lineHeight()));
}

int PaneAccessible::offsetAtPoint(const QPoint &point) const
{
    PaneControl *p = pane();
    const QPoint local = p->viewport()->mapFromGlobal(point);
    const long position = p->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMPOINT,
                                           static_cast<unsigned long>(std::max(0, local.x())),
                                           static_cast<long>(std::max(0, local.y())));
    return offsetOfPosition(position);
}

void PaneAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    pane()->SendScintilla(QsciScintillaBase::SCI_SCROLLRANGE,
                          static_cast<unsigned long>(positionOfOffset(endIndex)),
                          positionOfOffset(startIndex));
}

QString PaneAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    *startOffset = 0;
    *endOffset = characterCount();
    Q_UNUSED(offset);
    return {};
}
