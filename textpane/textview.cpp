#include "textpane/textview.h"

#include "textpane/linelayouts.h"
#include "textpane/overviewstrip.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDrag>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <limits>
#include <new>

// Input comes as events; each becomes one action on the editor (perform), after which the view
// keeps the caret in sight, restarts the caret's blink and says the selection moved. Painting
// asks the line layouts for the lines in view only and lets the others go. The vertical scroll
// bar counts lines (the first one shown), the horizontal one pixels, up to the widest line seen.
// A long line is measured only as far as the view has been; while the view is idle its width
// pass goes on in slices, and the range counts an estimate of the rest until then. Comparison
// marks, when set, are found for the lines in view by binary search and painted under their
// text (a gap's rule over it); the overview strip beside the text shows all of them.

namespace {

// Bytes that keep NULs and stray bytes through a copy and paste, or a drag and drop.
const QString kBytesMimeType = QStringLiteral("application/x-brassfinch-bytes");
// A selection made with the mouse or Shift goes to the primary selection only up to this size;
// more would be copied on every step of a drag.
constexpr qint64 kPrimarySelectionLimit = 64 * 1024 * 1024;
// The most of the caret's line shown to an input method, either side of the caret.
constexpr qint64 kSurroundingBytes = 512;
// The room kept beside the caret when the view scrolls sideways to show it.
constexpr int kCaretMargin = 40;
constexpr int kAutoScrollInterval = 40;
constexpr int kHorizontalStep = 20;
constexpr int kWheelNotch = 120;
// One idle slice of the width pass runs in steps of this many bytes for about this long, so
// input waits no longer than that.
constexpr qint64 kSliceStepBytes = 256 * 1024;
constexpr qint64 kSliceNanoseconds = 5'000'000;
// The height of a gap's rule.
constexpr int kGapRule = 2;
// On a long line, the changed bytes are shaded only in view, from a little before its left edge
// to a little past its right one, so that a character the edge cuts is shaded whole.
constexpr qint64 kShadeSlack = 8;

bool isContinuation(char byte)
{
    return (uchar(byte) & 0xC0) == 0x80;
}

} // namespace

enum class TextView::Command {
    None, SelectAll, Copy, Cut, Paste, Undo, Redo, ToggleOvertype, Backspace, Delete, NewLine,
    Left, Right, WordLeft, WordRight, Up, Down, ScrollUp, ScrollDown,
    LineStart, LineEnd, DocumentStart, DocumentEnd, PageUp, PageDown,
};

TextView::TextView(QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_document(std::make_shared<TextDocument>())
    , m_editor(m_document.get())
    , m_layouts(std::make_unique<LineLayouts>(m_document.get(), font()))
{
    setAttribute(Qt::WA_InputMethodEnabled);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    m_changed = connect(m_document.get(), &TextDocument::changed, this, &TextView::documentChanged);
    updateScrollBars();
}

TextView::~TextView() = default;

void TextView::setDocument(std::shared_ptr<TextDocument> document)
{
    disconnect(m_changed);
    m_document = std::move(document);
    m_editor.setDocument(m_document.get());
    m_editor.followLineEnds();
    m_layouts->setDocument(m_document.get());
    m_changed = connect(m_document.get(), &TextDocument::changed, this, &TextView::documentChanged);
    m_firstLine = 0;
    m_xOffset = 0;
    m_shownWidest = 0;
    m_desiredX = -1;
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
    updateOverview();
    emit selectionChanged();
    emit documentReplaced();
}

void TextView::setLineMarks(std::shared_ptr<const LineMarks> marks)
{
    m_marks = std::move(marks);
    if (m_marks && m_overview == nullptr) {
        m_overview = new OverviewStrip(this);
        connect(m_overview, &OverviewStrip::markClicked, this, &TextView::overviewClicked);
    }
    placeOverview();
    if (m_overview != nullptr)
        m_overview->marksChanged();
    viewport()->update();
}

void TextView::placeOverview()
{
    const int width = m_marks ? OverviewStrip::widthFor(lineHeight()) : 0;
    if (viewportMargins().right() != width)
        setViewportMargins(0, 0, width, 0);
    if (m_overview == nullptr)
        return;
    if (m_marks) {
        const QRect port = viewport()->geometry();
        m_overview->setGeometry(port.right() + 1, port.top(), width, port.height());
        m_overview->show();
    } else {
        m_overview->hide();
    }
}

void TextView::updateOverview()
{
    if (m_marks && m_overview != nullptr)
        m_overview->update();
}

void TextView::documentChanged(qint64 from, qint64 removed, qint64 inserted)
{
    const qint64 caret = m_editor.caret();
    const qint64 anchor = m_editor.anchor();
    m_editor.documentChanged(from, removed, inserted);
    m_layouts->documentChanged(from, removed, inserted);
    m_firstLine = std::min(m_firstLine, lastFirstLine());
    updateScrollBars(true);
    viewport()->update();
    updateOverview();
    if (!m_performing && (caret != m_editor.caret() || anchor != m_editor.anchor()))
        emit selectionChanged();
}

// Scrolling

int TextView::lineHeight() const
{
    return m_layouts->lineHeight();
}

int TextView::clampedLine(qint64 line) const
{
    return int(std::min<qint64>(line, std::numeric_limits<int>::max()));
}

qint64 TextView::lastFirstLine() const
{
    // The last line stops at the bottom of the view, so a text that fits shows no scroll bar.
    return std::max<qint64>(0, m_document->lineCount() - std::max<qint64>(1, visibleLineCount()));
}

qint64 TextView::firstVisibleLine() const
{
    return m_firstLine;
}

qint64 TextView::visibleLineCount() const
{
    return viewport()->height() / lineHeight();
}

QPoint TextView::scrollPosition() const
{
    const qint64 y = m_firstLine * lineHeight();
    return QPoint(m_xOffset, int(std::min<qint64>(y, std::numeric_limits<int>::max())));
}

void TextView::setScrollPosition(QPoint position)
{
    const qint64 line = std::clamp<qint64>(std::max(0, position.y()) / lineHeight(), 0, lastFirstLine());
    const int x = std::max(0, position.x());
    if (line == m_firstLine && x == m_xOffset)
        return;
    setFirstVisibleLine(line);
    // The scroll range grows as lines are seen; the lines about to be shown count already. Past
    // them any offset is taken all the same, as the other pane of a pair may have seen wider
    // lines than this one has.
    if (x > horizontalScrollBar()->maximum())
        measureVisibleLines();
    if (x > horizontalScrollBar()->maximum())
        horizontalScrollBar()->setMaximum(x);
    setHorizontalOffset(x);
}

void TextView::measureVisibleLines()
{
    const qint64 last = std::min(m_document->lineCount() - 1, m_firstLine + visibleLineCount());
    for (qint64 line = m_firstLine; line <= last; ++line)
        m_layouts->width(line);
    if (m_layouts->widest() > m_shownWidest)
        updateScrollBars();
}

void TextView::setFirstVisibleLine(qint64 line)
{
    line = std::clamp<qint64>(line, 0, lastFirstLine());
    if (line == m_firstLine)
        return;
    m_firstLine = line;
    verticalScrollBar()->setValue(clampedLine(line));
    viewport()->update();
    updateOverview();
    updateCaret();
}

void TextView::setHorizontalOffset(int x)
{
    horizontalScrollBar()->setValue(x);
}

void TextView::scrollContentsBy(int, int)
{
    // The scroll bar moved (dragged, or set here): past the int range it stays at its end,
    // and then the line kept here is the one that counts.
    const int value = verticalScrollBar()->value();
    if (value != clampedLine(m_firstLine))
        m_firstLine = value;
    m_xOffset = horizontalScrollBar()->value();
    viewport()->update();
    updateOverview();
    updateCaret();
}

void TextView::updateScrollBars(bool keepOffset)
{
    m_scrollBarsQueued = false;
    QScrollBar *vertical = verticalScrollBar();
    const int page = int(std::max<qint64>(1, visibleLineCount()));
    vertical->setRange(0, clampedLine(lastFirstLine()));
    vertical->setPageStep(page);
    vertical->setSingleStep(1);
    if (vertical->value() != clampedLine(m_firstLine))
        vertical->setValue(clampedLine(m_firstLine));

    m_shownWidest = m_layouts->widest();
    QScrollBar *horizontal = horizontalScrollBar();
    const int width = viewport()->width();
    const qreal room = std::ceil(m_shownWidest) + lineHeight();
    int maximum = int(std::clamp<qreal>(room - width, 0, std::numeric_limits<int>::max() / 2));
    if (keepOffset)
        maximum = std::max(maximum, m_xOffset);
    horizontal->setRange(0, maximum);
    horizontal->setPageStep(std::max(1, width));
    horizontal->setSingleStep(kHorizontalStep);
}

void TextView::noteWidest()
{
    // Painting found a wider line, or measured a long one further than its estimate had it;
    // set the scroll range after it rather than while it paints.
    if (m_layouts->widest() == m_shownWidest || m_scrollBarsQueued)
        return;
    m_scrollBarsQueued = true;
    QMetaObject::invokeMethod(this, [this] { updateScrollBars(true); }, Qt::QueuedConnection);
}

void TextView::measureSlice()
{
    QElapsedTimer slice;
    slice.start();
    bool more = true;
    while (more && slice.nsecsElapsed() < kSliceNanoseconds)
        more = m_layouts->measureSome(kSliceStepBytes);
    if (!more)
        m_measuring.stop();
    if (m_layouts->widest() != m_shownWidest)
        updateScrollBars(true);
}

void TextView::ensureVisible(qint64 position)
{
    const qint64 line = m_document->lineOf(position);
    const qint64 visible = std::max<qint64>(1, visibleLineCount());
    if (line < m_firstLine)
        setFirstVisibleLine(line);
    else if (line >= m_firstLine + visible)
        setFirstVisibleLine(line - visible + 1);

    const qreal x = m_layouts->x(line, position);
    if (m_layouts->widest() != m_shownWidest)
        updateScrollBars();
    const int width = viewport()->width();
    const int margin = std::min(kCaretMargin, width / 4);
    if (x < m_xOffset)
        setHorizontalOffset(std::max(0, int(x) - margin));
    else if (x + 2 > m_xOffset + width)
        setHorizontalOffset(int(std::ceil(x)) + 2 - width + margin);
}

void TextView::ensureCaretVisible()
{
    ensureVisible(m_editor.caret());
}

QRect TextView::positionRect(qint64 position) const
{
    const qint64 line = m_document->lineOf(position);
    const qreal x = m_layouts->x(line, position) - m_xOffset;
    constexpr qint64 kFar = qint64(1) << 29;
    const qint64 y = std::clamp<qint64>((line - m_firstLine) * lineHeight(), -kFar, kFar);
    return QRect(int(std::floor(x)), int(y), 1, lineHeight());
}

qint64 TextView::positionAt(QPoint point) const
{
    const int height = lineHeight();
    const int row = point.y() >= 0 ? point.y() / height : -((height - 1 - point.y()) / height);
    const qint64 line = std::clamp<qint64>(m_firstLine + row, 0, m_document->lineCount() - 1);
    return m_layouts->positionAt(line, qreal(point.x()) + m_xOffset);
}

void TextView::setPaper(const QColor &colour)
{
    m_paper = colour;
    viewport()->update();
    updateOverview();
}

// Painting

void TextView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
    LineLayouts::Style style;
    style.text = palette().color(group, QPalette::Text);
    style.paper = m_paper.isValid() ? m_paper : palette().color(group, QPalette::Base);
    style.highlight = palette().color(group, QPalette::Highlight);
    style.highlightedText = palette().color(group, QPalette::HighlightedText);
    const QRect area = event->rect();
    painter.fillRect(area, style.paper);

    LineLayouts::Marks marks;
    marks.selection = m_editor.selection();
    if (m_dropPosition >= 0)
        marks.caret = m_dropPosition;
    else if (hasFocus() && (m_caretOn || !m_preedit.isEmpty()))
        marks.caret = m_editor.caret();
    marks.blockCaret = m_editor.overtype() && m_dropPosition < 0;
    marks.preedit = m_preedit;
    marks.preeditCursor = m_preeditCursor;

    const int height = lineHeight();
    const qint64 rows = viewport()->height() / height + 1;
    const qint64 last = std::min(m_document->lineCount() - 1, m_firstLine + rows);
    const qint64 from = m_firstLine + std::max(0, area.top()) / height;
    const qint64 to = std::min(last, m_firstLine + area.bottom() / height);
    if (m_marks)
        paintLineMarks(painter, from, to, area, style.paper, style.text, false);
    for (qint64 line = from; line <= to; ++line) {
        m_layouts->draw(painter, line, QPointF(-m_xOffset, qreal((line - m_firstLine) * height)),
                        m_xOffset + area.left(), m_xOffset + area.right() + 1, style, marks);
    }
    if (m_marks)
        paintLineMarks(painter, from, to, area, style.paper, style.text, true);
    m_layouts->keepOnly(m_firstLine - rows, last + rows);
    noteWidest();
    if (m_layouts->isMeasuring() && !m_measuring.isActive())
        m_measuring.start(0, this);
}

void TextView::paintLineMarks(QPainter &painter, qint64 from, qint64 to, const QRect &area, const QColor &paper,
                              const QColor &text, bool rules)
{
    if (from > to)
        return;
    const std::vector<LineMark> &all = m_marks->marks;
    const qint64 lines = m_document->lineCount();
    const int height = lineHeight();
    const int width = viewport()->width();
    auto top = [&](qint64 line) { return int((line - m_firstLine) * height); };
    for (size_t index = size_t(firstLineMarkFrom(all, from)); index < all.size(); ++index) {
        const LineMark &mark = all[index];
        const bool gap = mark.kind == LineMark::Kind::Gap;
        // A gap at the end is drawn on the last line; marks past the end (the text shrank since
        // they were given) are left out.
        if ((gap ? std::min(mark.firstLine, lines - 1) : mark.firstLine) > to || mark.firstLine > lines)
            break;
        if (gap) {
            if (rules) {
                const int y = mark.firstLine < lines ? top(mark.firstLine) : top(lines - 1) + height - kGapRule;
                painter.fillRect(QRect(0, y, width, kGapRule), lineMarkColour(mark.kind, paper, text));
            }
            continue;
        }
        const qint64 first = std::max(mark.firstLine, from);
        const qint64 last = std::min(mark.firstLine + mark.lineCount - 1, to);
        if (rules || first > last)
            continue;
        painter.fillRect(QRect(0, top(first), width, int(last - first + 1) * height),
                         lineMarkColour(mark.kind, paper, text));
        if (mark.kind == LineMark::Kind::Changed && m_marks->changedBytes) {
            const QColor shade = lineMarkColour(mark.kind, paper, text, true);
            for (qint64 line = first; line <= last; ++line)
                paintChangedBytes(painter, line, area, shade);
        }
    }
}

void TextView::paintChangedBytes(QPainter &painter, qint64 line, const QRect &area, const QColor &shade)
{
    const std::vector<std::pair<qint64, qint64>> stretches = m_marks->changedBytes(line);
    if (stretches.empty())
        return;
    const qint64 start = m_document->lineStart(line);
    const qint64 length = m_document->lineEnd(line) - start;
    qint64 low = 0;
    qint64 high = length;
    if (m_layouts->isLong(line)) {
        // Only the part in view is laid out; no x is asked for beyond it.
        low = std::max<qint64>(0, m_layouts->positionAt(line, m_xOffset + area.left()) - start - kShadeSlack);
        high = std::min(length, m_layouts->positionAt(line, m_xOffset + area.right() + 1) - start + kShadeSlack);
    }
    const int y = int((line - m_firstLine) * lineHeight());
    auto stretch = std::partition_point(stretches.begin(), stretches.end(),
                                        [low](const auto &bytes) { return bytes.second <= low; });
    for (; stretch != stretches.end() && stretch->first < high; ++stretch) {
        const qint64 from = std::clamp(stretch->first, low, high);
        const qint64 to = std::clamp(stretch->second, from, high);
        if (from == to)
            continue;
        const qreal x1 = m_layouts->x(line, start + from);
        const qreal x2 = m_layouts->x(line, start + to);
        painter.fillRect(QRectF(std::min(x1, x2) - m_xOffset, y, std::abs(x2 - x1), lineHeight()), shade);
    }
}

void TextView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (m_overview != nullptr)
        placeOverview();
    // A taller view may show the last line higher up than it can be.
    if (m_firstLine > lastFirstLine()) {
        m_firstLine = lastFirstLine();
        viewport()->update();
    }
    updateScrollBars();
}

void TextView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_layouts->setFont(font());
        m_shownWidest = 0;
        if (m_overview != nullptr)
            placeOverview();
        updateScrollBars();
    }
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange
        || event->type() == QEvent::StyleChange || event->type() == QEvent::EnabledChange) {
        viewport()->update();
        updateOverview();
    }
}

// The caret

void TextView::restartBlink()
{
    m_caretOn = true;
    const int flash = QApplication::cursorFlashTime();
    if (hasFocus() && flash > 0)
        m_blink.start(flash / 2, this);
    else
        m_blink.stop();
    updateCaret();
}

void TextView::updateCaret()
{
    // The caret's whole line: a preedit string or a block caret may be wider than the caret.
    const qint64 line = m_document->lineOf(m_editor.caret());
    const qint64 row = line - m_firstLine;
    if (row >= 0 && row <= visibleLineCount())
        viewport()->update(0, int(row * lineHeight()), viewport()->width(), lineHeight());
    if (hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
}

void TextView::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_measuring.timerId()) {
        measureSlice();
    } else if (event->timerId() == m_blink.timerId()) {
        m_caretOn = !m_caretOn;
        updateCaret();
    } else if (event->timerId() == m_autoScroll.timerId()) {
        const QRect area = viewport()->rect();
        if (m_pointer.y() < area.top())
            setFirstVisibleLine(m_firstLine - 1);
        else if (m_pointer.y() > area.bottom())
            setFirstVisibleLine(m_firstLine + 1);
        if (m_pointer.x() < area.left())
            setHorizontalOffset(m_xOffset - kHorizontalStep);
        else if (m_pointer.x() > area.right())
            setHorizontalOffset(m_xOffset + kHorizontalStep);
        extendSelectionTo(m_pointer);
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

void TextView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    restartBlink();
    viewport()->update();
}

void TextView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    m_blink.stop();
    viewport()->update();
}

// Keys

void TextView::perform(const std::function<void()> &action, bool vertical, bool primary)
{
    const qint64 caret = m_editor.caret();
    const qint64 anchor = m_editor.anchor();
    m_performing = true;
    try {
        action();
    } catch (const std::bad_alloc &) {
        // The editor leaves the text as it was.
        QApplication::beep();
    }
    m_performing = false;
    if (!vertical)
        m_desiredX = -1;
    ensureCaretVisible();
    restartBlink();
    if (caret != m_editor.caret() || anchor != m_editor.anchor()) {
        viewport()->update();
        if (primary)
            setPrimarySelection();
        if (hasFocus())
            QGuiApplication::inputMethod()->update(Qt::ImQueryInput);
        emit selectionChanged();
    }
}

TextView::Command TextView::commandFor(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool plain = modifiers == Qt::NoModifier;
    const bool control = modifiers == Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_A: return control && !shift ? Command::SelectAll : Command::None;
    case Qt::Key_C: return control && !shift ? Command::Copy : Command::None;
    case Qt::Key_X: return control && !shift ? Command::Cut : Command::None;
    case Qt::Key_V: return control && !shift ? Command::Paste : Command::None;
    case Qt::Key_Z: return control ? (shift ? Command::Redo : Command::Undo) : Command::None;
    case Qt::Key_Y: return control && !shift ? Command::Redo : Command::None;
    case Qt::Key_Insert:
        if (control && !shift)
            return Command::Copy;
        if (plain)
            return shift ? Command::Paste : Command::ToggleOvertype;
        return Command::None;
    case Qt::Key_Delete:
        if (plain)
            return shift ? Command::Cut : Command::Delete;
        return Command::None;
    case Qt::Key_Backspace: return plain ? Command::Backspace : Command::None;
    case Qt::Key_Return:
    case Qt::Key_Enter: return plain ? Command::NewLine : Command::None;
    case Qt::Key_Left: return plain ? Command::Left : control ? Command::WordLeft : Command::None;
    case Qt::Key_Right: return plain ? Command::Right : control ? Command::WordRight : Command::None;
    case Qt::Key_Up: return plain ? Command::Up : control && !shift ? Command::ScrollUp : Command::None;
    case Qt::Key_Down: return plain ? Command::Down : control && !shift ? Command::ScrollDown : Command::None;
    case Qt::Key_Home: return plain ? Command::LineStart : control ? Command::DocumentStart : Command::None;
    case Qt::Key_End: return plain ? Command::LineEnd : control ? Command::DocumentEnd : Command::None;
    case Qt::Key_PageUp: return plain ? Command::PageUp : Command::None;
    case Qt::Key_PageDown: return plain ? Command::PageDown : Command::None;
    default: return Command::None;
    }
}

bool TextView::typesText(const QKeyEvent *event)
{
    // Control with Alt is AltGr on some systems, and types.
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if ((modifiers & Qt::MetaModifier) || ((modifiers & Qt::ControlModifier) && !(modifiers & Qt::AltModifier)))
        return false;
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isPrint() || c.isSurrogate(); });
}

void TextView::keyPressEvent(QKeyEvent *event)
{
    const Command command = commandFor(event);
    if (command != Command::None) {
        run(command, event->modifiers() & Qt::ShiftModifier);
    } else if (typesText(event)) {
        const QByteArray text = event->text().toUtf8();
        perform([&] { m_editor.type(text); });
    } else {
        // Tab among them: it moves the focus.
        event->ignore();
        return;
    }
    event->accept();
}

void TextView::run(Command command, bool extend)
{
    switch (command) {
    case Command::None: break;
    case Command::SelectAll: perform([&] { m_editor.selectAll(); }, false, true); break;
    case Command::Copy: copy(); break;
    case Command::Cut: cut(); break;
    case Command::Paste: paste(); break;
    case Command::Undo: perform([&] { m_editor.undo(); }); break;
    case Command::Redo: perform([&] { m_editor.redo(); }); break;
    case Command::ToggleOvertype:
        m_editor.setOvertype(!m_editor.overtype());
        restartBlink();
        break;
    case Command::Backspace: perform([&] { m_editor.backspace(); }); break;
    case Command::Delete: perform([&] { m_editor.deleteForward(); }); break;
    case Command::NewLine: perform([&] { m_editor.newLine(); }); break;
    case Command::Left: perform([&] { m_editor.moveCharacter(-1, extend); }, false, extend); break;
    case Command::Right: perform([&] { m_editor.moveCharacter(1, extend); }, false, extend); break;
    case Command::WordLeft: perform([&] { m_editor.moveWord(-1, extend); }, false, extend); break;
    case Command::WordRight: perform([&] { m_editor.moveWord(1, extend); }, false, extend); break;
    case Command::Up: perform([&] { moveVertically(-1, extend); }, true, extend); break;
    case Command::Down: perform([&] { moveVertically(1, extend); }, true, extend); break;
    case Command::ScrollUp: setFirstVisibleLine(m_firstLine - 1); break;
    case Command::ScrollDown: setFirstVisibleLine(m_firstLine + 1); break;
    case Command::LineStart: perform([&] { m_editor.moveLineStart(extend); }, false, extend); break;
    case Command::LineEnd: perform([&] { m_editor.moveLineEnd(extend); }, false, extend); break;
    case Command::DocumentStart: perform([&] { m_editor.moveDocumentStart(extend); }, false, extend); break;
    case Command::DocumentEnd: perform([&] { m_editor.moveDocumentEnd(extend); }, false, extend); break;
    case Command::PageUp:
    case Command::PageDown: {
        const qint64 page = std::max<qint64>(1, visibleLineCount());
        const qint64 lines = command == Command::PageUp ? -page : page;
        setFirstVisibleLine(m_firstLine + lines);
        perform([&] { moveVertically(lines, extend); }, true, extend);
        break;
    }
    }
}

void TextView::moveVertically(qint64 lines, bool extend)
{
    const qint64 caret = m_editor.caret();
    const qint64 line = m_document->lineOf(caret);
    if (m_desiredX < 0)
        m_desiredX = m_layouts->x(line, caret);
    const qint64 target = std::clamp<qint64>(line + lines, 0, m_document->lineCount() - 1);
    if (target != line)
        m_editor.setCaret(m_layouts->positionAt(target, m_desiredX), extend);
}

template<typename Dispatch>
bool TextView::guarded(Dispatch dispatch)
{
    try {
        return dispatch();
    } catch (const std::bad_alloc &) {
        QApplication::beep();
        return true;
    }
}

bool TextView::event(QEvent *event)
{
    // Keys this view acts on are its own, not the window's shortcuts.
    if (event->type() == QEvent::ShortcutOverride) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (commandFor(key) != Command::None || typesText(key)) {
            key->accept();
            return true;
        }
    }
    return guarded([&] { return QAbstractScrollArea::event(event); });
}

bool TextView::viewportEvent(QEvent *event)
{
    return guarded([&] { return QAbstractScrollArea::viewportEvent(event); });
}

// The clipboard

QMimeData *TextView::mimeDataOf(const QByteArray &bytes)
{
    auto *data = new QMimeData;
    data->setText(QString::fromUtf8(bytes));
    data->setData(kBytesMimeType, bytes);
    return data;
}

QByteArray TextView::bytesOf(const QMimeData *data)
{
    if (data == nullptr)
        return {};
    if (data->hasFormat(kBytesMimeType))
        return data->data(kBytesMimeType);
    if (data->hasText())
        return data->text().toUtf8();
    return {};
}

bool TextView::canPaste() const
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    return data != nullptr && (data->hasFormat(kBytesMimeType) || data->hasText());
}

void TextView::copy()
{
    if (!m_editor.hasSelection())
        return;
    try {
        QGuiApplication::clipboard()->setMimeData(mimeDataOf(m_editor.selectedBytes()));
    } catch (const std::bad_alloc &) {
        QApplication::beep();
    }
}

void TextView::cut()
{
    if (!m_editor.hasSelection())
        return;
    copy();
    perform([&] { m_editor.removeSelection(); });
}

void TextView::paste()
{
    try {
        const QByteArray bytes = bytesOf(QGuiApplication::clipboard()->mimeData());
        if (!bytes.isEmpty())
            perform([&] { m_editor.insert(bytes); });
    } catch (const std::bad_alloc &) {
        QApplication::beep();
    }
}

void TextView::setPrimarySelection()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard->supportsSelection() || !m_editor.hasSelection()
        || m_editor.selection().length() > kPrimarySelectionLimit)
        return;
    try {
        clipboard->setMimeData(mimeDataOf(m_editor.selectedBytes()), QClipboard::Selection);
    } catch (const std::bad_alloc &) {
        // The primary selection is a convenience; without memory it keeps what it had.
    }
}

// The mouse

void TextView::mousePressEvent(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    if (event->button() == Qt::MiddleButton) {
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (!clipboard->supportsSelection())
            return;
        setFocus(Qt::MouseFocusReason);
        const qint64 position = positionAt(point);
        try {
            const QByteArray bytes = bytesOf(clipboard->mimeData(QClipboard::Selection));
            if (!bytes.isEmpty())
                perform([&] {
                    m_editor.setCaret(position);
                    m_editor.insert(bytes);
                });
        } catch (const std::bad_alloc &) {
            QApplication::beep();
        }
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    if (!m_preedit.isEmpty())
        QGuiApplication::inputMethod()->commit();
    const qint64 position = positionAt(point);
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const bool third = m_sinceDoubleClick.isValid()
                       && m_sinceDoubleClick.elapsed() < QApplication::doubleClickInterval()
                       && (point - m_doubleClickPoint).manhattanLength() < QApplication::startDragDistance();
    m_sinceDoubleClick.invalidate();
    const TextRange selection = m_editor.selection();
    m_pressPoint = point;
    m_pointer = point;
    if (third) {
        const TextRange line = m_editor.lineAt(position);
        perform([&] { m_editor.setSelection(line.start, line.end); }, false, true);
        m_press = Press::Selecting;
    } else if (!extend && m_editor.hasSelection() && position >= selection.start && position < selection.end) {
        m_press = Press::MaybeDrag;
    } else {
        perform([&] { m_editor.setCaret(position, extend); }, false, extend);
        m_press = Press::Selecting;
    }
}

void TextView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint point = event->position().toPoint();
    const TextRange word = m_editor.wordAt(positionAt(point));
    perform([&] { m_editor.setSelection(word.start, word.end); }, false, true);
    m_sinceDoubleClick.start();
    m_doubleClickPoint = point;
    m_press = Press::Selecting;
}

void TextView::extendSelectionTo(QPoint point)
{
    const qint64 position = positionAt(point);
    if (position != m_editor.caret())
        perform([&] { m_editor.setCaret(position, true); });
}

void TextView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    m_pointer = point;
    if (m_press == Press::MaybeDrag && (event->buttons() & Qt::LeftButton)) {
        if ((point - m_pressPoint).manhattanLength() >= QApplication::startDragDistance())
            startDrag();
    } else if (m_press == Press::Selecting && (event->buttons() & Qt::LeftButton)) {
        extendSelectionTo(point);
        if (viewport()->rect().contains(point))
            m_autoScroll.stop();
        else if (!m_autoScroll.isActive())
            m_autoScroll.start(kAutoScrollInterval, this);
    }
}

void TextView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_autoScroll.stop();
    if (m_press == Press::MaybeDrag) {
        // A click into the selection without a drag puts the caret there.
        const qint64 position = positionAt(event->position().toPoint());
        perform([&] { m_editor.setCaret(position); });
    } else if (m_press == Press::Selecting && m_editor.hasSelection()) {
        setPrimarySelection();
    }
    m_press = Press::None;
}

void TextView::wheelEvent(QWheelEvent *event)
{
    QPoint delta = event->angleDelta();
    if ((event->modifiers() & Qt::ShiftModifier) && delta.x() == 0)
        delta = QPoint(delta.y(), 0);
    const int notchLines = QApplication::wheelScrollLines();
    if (delta.y() != 0) {
        m_wheelLines += delta.y() * notchLines;
        const int lines = m_wheelLines / kWheelNotch;
        m_wheelLines -= lines * kWheelNotch;
        setFirstVisibleLine(m_firstLine - lines);
    }
    if (delta.x() != 0) {
        m_wheelPixels += delta.x() * notchLines * kHorizontalStep;
        const int pixels = m_wheelPixels / kWheelNotch;
        m_wheelPixels -= pixels * kWheelNotch;
        setHorizontalOffset(m_xOffset - pixels);
    }
    event->accept();
}

void TextView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    const bool selected = m_editor.hasSelection();
    auto add = [&](const QString &text, bool enabled, const std::function<void()> &action) {
        QAction *item = menu.addAction(text);
        item->setEnabled(enabled);
        connect(item, &QAction::triggered, this, action);
    };
    add(tr("Undo"), m_document->canUndo(), [this] { run(Command::Undo, false); });
    add(tr("Redo"), m_document->canRedo(), [this] { run(Command::Redo, false); });
    menu.addSeparator();
    add(tr("Cut"), selected, [this] { cut(); });
    add(tr("Copy"), selected, [this] { copy(); });
    add(tr("Paste"), canPaste(), [this] { paste(); });
    add(tr("Delete"), selected, [this] { perform([this] { m_editor.removeSelection(); }); });
    menu.addSeparator();
    add(tr("Select All"), m_editor.selection() != TextRange {0, m_document->size()},
        [this] { run(Command::SelectAll, false); });
    emit contextMenuAboutToShow(&menu);
    menu.exec(event->globalPos());
}

// Drag and drop

void TextView::startDrag()
{
    m_press = Press::None;
    m_dragged = m_editor.selection();
    m_dragMoved = false;
    auto *drag = new QDrag(this);
    try {
        drag->setMimeData(mimeDataOf(m_editor.selectedBytes()));
    } catch (const std::bad_alloc &) {
        delete drag;
        QApplication::beep();
        return;
    }
    const Qt::DropAction action = drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
    if (action == Qt::MoveAction && !m_dragMoved) {
        const TextRange dragged = m_dragged;
        perform([&] { m_document->remove(dragged.start, dragged.length()); });
    }
    m_dragged = {};
}

bool TextView::acceptsDrag(QDropEvent *event) const
{
    // Files dropped are for the window, which watches this view for them.
    const QMimeData *data = event->mimeData();
    return !data->hasUrls() && (data->hasFormat(kBytesMimeType) || data->hasText());
}

void TextView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!acceptsDrag(event)) {
        event->ignore();
        return;
    }
    dragMoveEvent(event);
}

void TextView::dragMoveEvent(QDragMoveEvent *event)
{
    if (!acceptsDrag(event)) {
        event->ignore();
        return;
    }
    const bool copy = (event->modifiers() & Qt::ControlModifier) || !(event->possibleActions() & Qt::MoveAction);
    event->setDropAction(copy ? Qt::CopyAction : Qt::MoveAction);
    event->accept();
    const qint64 position = positionAt(event->position().toPoint());
    if (position != m_dropPosition) {
        m_dropPosition = position;
        viewport()->update();
    }
}

void TextView::dragLeaveEvent(QDragLeaveEvent *)
{
    m_dropPosition = -1;
    viewport()->update();
}

void TextView::dropEvent(QDropEvent *event)
{
    m_dropPosition = -1;
    viewport()->update();
    if (!acceptsDrag(event)) {
        event->ignore();
        return;
    }
    const qint64 position = positionAt(event->position().toPoint());
    const bool copy = (event->modifiers() & Qt::ControlModifier) || !(event->possibleActions() & Qt::MoveAction);
    event->setDropAction(copy ? Qt::CopyAction : Qt::MoveAction);
    event->accept();
    setFocus(Qt::MouseFocusReason);

    auto *source = qobject_cast<TextView *>(event->source());
    const bool sameDocument = source != nullptr && source->m_document == m_document;
    const TextRange dragged = sameDocument ? source->m_dragged : TextRange {};
    if (sameDocument && !copy) {
        // A move within one document is one step here, so the source has nothing left to do.
        source->m_dragMoved = true;
        if (position >= dragged.start && position <= dragged.end)
            return;
    }
    try {
        const QByteArray bytes = bytesOf(event->mimeData());
        perform([&] {
            m_document->beginStep();
            try {
                m_editor.setCaret(position);
                m_editor.insert(bytes);
                if (sameDocument && !copy) {
                    const qint64 shift = position <= dragged.start ? bytes.size() : 0;
                    m_document->remove(dragged.start + shift, dragged.length());
                }
            } catch (...) {
                m_document->endStep();
                throw;
            }
            m_document->endStep();
            m_editor.setSelection(m_editor.caret() - bytes.size(), m_editor.caret());
        });
    } catch (const std::bad_alloc &) {
        QApplication::beep();
    }
}

// Input methods

QString TextView::surroundingText(qint64 *start) const
{
    const qint64 caret = m_editor.caret();
    const qint64 line = m_document->lineOf(caret);
    qint64 from = std::max(m_document->lineStart(line), caret - kSurroundingBytes);
    qint64 to = std::min(m_document->lineEnd(line), caret + kSurroundingBytes);
    while (from < caret && isContinuation(m_document->at(from)))
        ++from;
    while (to > caret && isContinuation(m_document->at(to)))
        --to;
    *start = from;
    return QString::fromUtf8(m_document->bytes(from, to - from));
}

void TextView::inputMethodEvent(QInputMethodEvent *event)
{
    const QByteArray commit = event->commitString().toUtf8();
    if (!commit.isEmpty() || event->replacementLength() > 0) {
        perform([&] {
            if (event->replacementLength() > 0 && !m_editor.hasSelection()) {
                // The replacement counts UTF-16 units from the caret in the surrounding text.
                qint64 start;
                const QString around = surroundingText(&start);
                const qsizetype caretUnit = QString::fromUtf8(m_document->bytes(start, m_editor.caret() - start)).size();
                const qsizetype from = std::clamp<qsizetype>(caretUnit + event->replacementStart(), 0, around.size());
                const qsizetype to = std::clamp<qsizetype>(from + event->replacementLength(), from, around.size());
                const qint64 fromByte = start + around.left(from).toUtf8().size();
                m_editor.setSelection(fromByte, start + around.left(to).toUtf8().size());
            }
            m_editor.type(commit);
        });
    }
    m_preedit = event->preeditString();
    m_preeditCursor = int(m_preedit.size());
    for (const QInputMethodEvent::Attribute &attribute : event->attributes()) {
        if (attribute.type == QInputMethodEvent::Cursor)
            m_preeditCursor = std::clamp(attribute.start, 0, int(m_preedit.size()));
    }
    if (!m_preedit.isEmpty())
        ensureCaretVisible();
    updateCaret();
    event->accept();
}

QVariant TextView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    try {
        return inputMethodAnswer(query);
    } catch (const std::bad_alloc &) {
        return {};
    }
}

QVariant TextView::inputMethodAnswer(Qt::InputMethodQuery query) const
{
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImCursorRectangle:
        return positionRect(m_editor.caret()).translated(viewport()->pos());
    case Qt::ImFont:
        return m_layouts->font();
    case Qt::ImHints:
        return int(Qt::ImhMultiLine | Qt::ImhNoAutoUppercase);
    case Qt::ImCursorPosition:
    case Qt::ImAnchorPosition:
    case Qt::ImSurroundingText: {
        qint64 start;
        const QString around = surroundingText(&start);
        if (query == Qt::ImSurroundingText)
            return around;
        const qint64 end = start + around.toUtf8().size();
        const qint64 at = std::clamp(query == Qt::ImCursorPosition ? m_editor.caret() : m_editor.anchor(), start, end);
        return int(QString::fromUtf8(m_document->bytes(start, at - start)).size());
    }
    case Qt::ImCurrentSelection: {
        const TextRange selection = m_editor.selection();
        if (selection.length() > kSurroundingBytes * 8)
            return QString();
        return QString::fromUtf8(m_document->bytes(selection.start, selection.length()));
    }
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}
