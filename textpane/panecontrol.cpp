#include "textpane/panecontrol.h"

#include "platform/failure.h"
#include "platform/memoryroom.h"
#include "platform/regularfile.h"
#include "textpane/documentload.h"
#include "textpane/engineloader.h"
#include "textpane/paneaccessible.h"

#include <QFocusEvent>
#include <QFont>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// Room beyond the text a document is created with: the carriage return every open appends,
// the terminator the engine adds when the text is read whole, and a first stretch of typing.
// Without it the first key typed after a load makes the engine regrow the whole document.
constexpr qint64 kSpareRoom = 64 * 1024;

// Styles are never used (plain text only) and large positions let a pane hold more than 2 GB.
constexpr long kDocumentOptions = QsciScintillaBase::SC_DOCUMENTOPTION_STYLES_NONE
                                  | QsciScintillaBase::SC_DOCUMENTOPTION_TEXT_LARGE;

// Texts up to this size are set without asking how much memory is left.
constexpr qint64 kUncheckedSize = 16 * 1024 * 1024;

} // namespace

PaneControl::PaneControl(QWidget *parent)
    : QsciScintilla(parent)
{
    installPaneAccessibility();

    QFont font(QStringLiteral("Arial"), 9);
    font.setBold(true);
    setFont(font);
    setPaper(palette().color(QPalette::Base));
    setWrapMode(WrapNone);
    for (int margin = 0; margin < 5; ++margin)
        setMarginWidth(margin, 0);
    setCaretLineVisible(false);
    setBraceMatching(NoBraceMatch);
    setAutoIndent(false);

    // Nothing listens to modification events; with them on, every insertion would also pay for
    // the notifications' bookkeeping.
    SendScintilla(SCI_SETMODEVENTMASK, 0ul);
    SendScintilla(SCI_SETSCROLLWIDTH, 1ul);
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1ul);
    // Laying a line out measures all of it; the layouts of the lines in view are kept, so a very
    // long line is measured once rather than on every scroll step (measured: 2 s a step on a
    // 1 MB line with only the caret's line kept, 0.1 s with the page's).
    SendScintilla(SCI_SETLAYOUTCACHE, static_cast<unsigned long>(SC_CACHE_PAGE));
    viewport()->setMouseTracking(true);
    // A click gives the focus to the first control up from the clicked one that takes focus on
    // a click, so a click on a scroll bar would focus the pane and make it lead. A click into the
    // text focuses the pane all the same, through the editor's own press handling.
    setFocusPolicy(Qt::TabFocus);

    beginDocument(0);
    endDocument();
}

QByteArray PaneControl::bytes() const
{
    return bytesView().toByteArray();
}

QByteArrayView PaneControl::bytesView() const
{
    const qint64 size = byteCount();
    if (size == 0)
        return {};
    const auto *data = reinterpret_cast<const char *>(
        SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
    return QByteArrayView(data, size);
}

void PaneControl::setBytes(QByteArrayView bytes)
{
    // The new document is filled aside and shown only once it is whole, so a text that does not
    // fit leaves the old one in place, and says so. A large one is measured against the memory
    // left first: overcommit would let it seem to fit, and the kernel end the program later.
    if (bytes.size() > kUncheckedSize)
        platform::ensureMemoryFor(memoryToHold(bytes.size()), QStringLiteral("Holding the text"));
    auto *loader = static_cast<engine::Loader *>(createLoader(bytes.size()));
    if (!loader) {
        keepDocument();
        throw platform::outOfMemory();
    }
    if (!bytes.isEmpty() && engine::addData(loader, bytes.data(), bytes.size()) != 0) {
        engine::release(loader);
        keepDocument();
        throw platform::outOfMemory();
    }
    adoptDocument(engine::toDocument(loader));
}

void PaneControl::takeBytesOf(PaneControl &other)
{
    const long document = other.SendScintilla(SCI_GETDOCPOINTER);
    SendScintilla(SCI_ADDREFDOCUMENT, 0ul, document);
    other.beginDocument(0);
    other.endDocument();
    showDocument(document);
    endDocument();
}

void PaneControl::appendBytes(QByteArrayView bytes)
{
    const bool wasEmpty = byteCount() == 0;
    SendScintilla(SCI_SETUNDOCOLLECTION, 0ul);
    appendRaw(bytes.data(), bytes.size());
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    SendScintilla(SCI_SETUNDOCOLLECTION, 1ul);
    // The engine keeps a failed allocation to itself, as a status.
    if (SendScintilla(SCI_GETSTATUS) != SC_STATUS_OK) {
        SendScintilla(SCI_SETSTATUS, static_cast<unsigned long>(SC_STATUS_OK));
        throw platform::outOfMemory();
    }
    if (wasEmpty)
        followLineEnds();
}

bool PaneControl::loadFile(const QString &path, platform::LoadProgress *progress)
{
    DocumentLoad load(*this, path);
    return load.finish(progress);
}

qint64 PaneControl::byteCount() const
{
    return static_cast<qint64>(SendScintilla(SCI_GETLENGTH));
}

QPoint PaneControl::scrollPosition() const
{
    // A point counts in int: past some 130 million lines it stays at the largest one rather than
    // wrapping round to the top.
    const qint64 y = static_cast<qint64>(SendScintilla(SCI_GETFIRSTVISIBLELINE)) * lineHeight();
    return {static_cast<int>(SendScintilla(SCI_GETXOFFSET)),
            static_cast<int>(std::min<qint64>(y, std::numeric_limits<int>::max()))};
}

void PaneControl::setScrollPosition(QPoint position)
{
    // The follower is told its place on every tick, mostly the place it has; the engine would
    // draw the whole view again for it (with a very long line in view, most of a core).
    const long x = std::max(0, position.x());
    const long line = std::max(0, position.y()) / std::max(1, lineHeight());
    if (SendScintilla(SCI_GETXOFFSET) != x)
        SendScintilla(SCI_SETXOFFSET, static_cast<unsigned long>(x));
    if (SendScintilla(SCI_GETFIRSTVISIBLELINE) != line)
        SendScintilla(SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(line));
}

int PaneControl::lineHeight() const
{
    return static_cast<int>(SendScintilla(SCI_TEXTHEIGHT, 0ul));
}

void PaneControl::focusInEvent(QFocusEvent *event)
{
    QsciScintilla::focusInEvent(event);
    emit focusReceived();
}

void PaneControl::mouseMoveEvent(QMouseEvent *event)
{
    emit pointerMoved();
    QsciScintilla::mouseMoveEvent(event);
}

bool PaneControl::focusNextPrevChild(bool next)
{
    // Tab moves on through the window's controls, as in every other control of the window.
    return QWidget::focusNextPrevChild(next);
}

void PaneControl::beginDocument(qint64 capacity)
{
    // A fresh document per content frees the old one whole and starts with an empty history;
    // it is created at its final size, so the appends never move the text.
    const long document = SendScintilla(SCI_CREATEDOCUMENT, static_cast<unsigned long>(capacity + kSpareRoom),
                                        kDocumentOptions);
    showDocument(document);
}

void *PaneControl::createLoader(QsciScintillaBase &view, qint64 size)
{
    return reinterpret_cast<void *>(
        view.SendScintilla(SCI_CREATELOADER, static_cast<unsigned long>(size + kSpareRoom), kDocumentOptions));
}

void PaneControl::adoptDocument(void *document)
{
    if (!document) {
        beginDocument(0);
    } else {
        showDocument(reinterpret_cast<long>(document));
    }
    endDocument();
}

void PaneControl::keepDocument()
{
    // Making a loader resets the view's map of which lines are shown; attaching the document
    // anew rebuilds it. The caret, the selection and the scroll position go back where they were.
    const long document = SendScintilla(SCI_GETDOCPOINTER);
    const long anchor = SendScintilla(SCI_GETANCHOR);
    const long caret = SendScintilla(SCI_GETCURRENTPOS);
    const QPoint at = scrollPosition();
    SendScintilla(SCI_ADDREFDOCUMENT, 0ul, document);
    SendScintilla(SCI_SETDOCPOINTER, 0ul, 0l);
    SendScintilla(SCI_SETDOCPOINTER, 0ul, document);
    SendScintilla(SCI_RELEASEDOCUMENT, 0ul, document);
    SendScintilla(SCI_SETCODEPAGE, static_cast<unsigned long>(SC_CP_UTF8));
    SendScintilla(SCI_SETSEL, static_cast<unsigned long>(anchor), caret);
    setScrollPosition(at);
}

void PaneControl::showDocument(long document)
{
    SendScintilla(SCI_SETDOCPOINTER, 0ul, document);
    // The pane's reference keeps the document; the one its creation gave is dropped.
    SendScintilla(SCI_RELEASEDOCUMENT, 0ul, document);
    SendScintilla(SCI_SETCODEPAGE, static_cast<unsigned long>(SC_CP_UTF8));
    SendScintilla(SCI_SETUNDOCOLLECTION, 0ul);
}

void PaneControl::appendRaw(const char *data, qint64 size)
{
    if (size > 0)
        SendScintilla(SCI_APPENDTEXT, static_cast<unsigned long>(size), data);
}

void PaneControl::endDocument()
{
    SendScintilla(SCI_SETUNDOCOLLECTION, 1ul);
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    SendScintilla(SCI_SETSAVEPOINT);
    SendScintilla(SCI_GOTOPOS, 0ul);
    followLineEnds();
}

void PaneControl::followLineEnds()
{
    // Enter continues the line ends of the text's first line end; without one, this platform's.
    const qint64 size = byteCount();
    const auto *data = size ? reinterpret_cast<const char *>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER))
                            : nullptr;
    // Only a carriage return before the first line feed counts, so the search for one stops
    // there: a large text without any is not read to its end twice.
    const auto find = [](const char *from, qint64 length, char c) {
        return length > 0 ? static_cast<const char *>(std::memchr(from, c, static_cast<size_t>(length))) : nullptr;
    };
    const char *lf = find(data, size, '\n');
    const char *cr = find(data, lf ? lf - data : size, '\r');
    long mode = SC_EOL_LF;
    if (cr)
        mode = (cr + 1 != data + size && cr[1] == '\n') ? SC_EOL_CRLF : SC_EOL_CR;
    SendScintilla(SCI_SETEOLMODE, static_cast<unsigned long>(mode));
}
