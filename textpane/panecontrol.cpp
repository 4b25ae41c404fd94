#include "textpane/panecontrol.h"

#include "platform/failure.h"
#include "platform/memoryroom.h"
#include "textpane/bigbuffer.h"
#include "textpane/documentload.h"
#include "textpane/lineindex.h"
#include "textpane/paneaccessible.h"
#include "textpane/textdocument.h"

#include <QFocusEvent>
#include <QFont>

#include <cstring>
#include <new>

namespace {

// Texts up to this size are set without asking how much memory is left.
constexpr qint64 kUncheckedSize = 16 * 1024 * 1024;

} // namespace

PaneControl::PaneControl(QWidget *parent)
    : TextView(parent)
{
    installPaneAccessibility();

    QFont font(QStringLiteral("Arial"), 9);
    font.setBold(true);
    setFont(font);
    viewport()->setMouseTracking(true);
    // A click gives the focus to the first control up from the clicked one that takes focus on
    // a click, so a click on a scroll bar would focus the pane and make it lead. A click into the
    // text focuses the pane all the same, through the view's own press handling.
    setFocusPolicy(Qt::TabFocus);
    attach(std::make_shared<TextDocument>());
}

QByteArray PaneControl::bytes() const
{
    try {
        return document().bytes();
    } catch (const std::bad_alloc &) {
        throw platform::outOfMemory();
    }
}

std::vector<QByteArrayView> PaneControl::pieces() const
{
    std::vector<QByteArrayView> stretches;
    document().visit(0, document().size(), [&](QByteArrayView stretch) {
        stretches.push_back(stretch);
        return true;
    });
    return stretches;
}

void PaneControl::setBytes(QByteArrayView bytes)
{
    // The new document is filled aside and shown only once it is whole, so a text that does not
    // fit leaves the old one in place, and says so. A large one is measured against the memory
    // left first: overcommit would let it seem to fit, and the kernel end the program later.
    if (bytes.size() > kUncheckedSize)
        platform::ensureMemoryFor(memoryToHold(bytes.size()), QStringLiteral("Holding the text"));
    BigBuffer text(bytes.size());
    if (text.isNull() && !bytes.isEmpty())
        throw platform::outOfMemory();
    try {
        if (!bytes.isEmpty())
            std::memcpy(text.data(), bytes.data(), static_cast<size_t>(bytes.size()));
        text.setSize(bytes.size());
        LineIndex index(QByteArrayView(text.data(), text.size()));
        adoptDocument(std::make_shared<TextDocument>(std::move(text), std::move(index)));
    } catch (const std::bad_alloc &) {
        throw platform::outOfMemory();
    }
}

void PaneControl::takeBytesOf(PaneControl &other)
{
    attach(other.sharedDocument());
    other.attach(std::make_shared<TextDocument>());
}

void PaneControl::shareDocumentOf(const PaneControl &other)
{
    attach(other.sharedDocument());
}

void PaneControl::appendBytes(QByteArrayView bytes)
{
    insertBytes(byteCount(), bytes);
}

void PaneControl::insertBytes(qint64 at, QByteArrayView bytes)
{
    TextDocument &text = document();
    const bool wasModified = text.isModified();
    try {
        text.insert(at, bytes);
    } catch (const std::bad_alloc &) {
        throw platform::outOfMemory();
    }
    text.clearHistory();
    text.setModified(wasModified);
    if (text.size() == bytes.size())
        editor().followLineEnds();
}

bool PaneControl::loadFile(const QString &path, platform::LoadProgress *progress)
{
    DocumentLoad load(*this, path);
    return load.finish(progress);
}

qint64 PaneControl::byteCount() const
{
    return document().size();
}

void PaneControl::select(qint64 anchor, qint64 caret)
{
    editor().setSelection(anchor, caret);
    viewport()->update();
    emit selectionChanged();
}

bool PaneControl::isModified() const
{
    return document().isModified();
}

void PaneControl::setModified(bool modified)
{
    document().setModified(modified);
}

void PaneControl::focusInEvent(QFocusEvent *event)
{
    TextView::focusInEvent(event);
    emit focusReceived();
}

void PaneControl::mouseMoveEvent(QMouseEvent *event)
{
    emit pointerMoved();
    TextView::mouseMoveEvent(event);
}

bool PaneControl::focusNextPrevChild(bool next)
{
    // Tab moves on through the window's controls, as in every other control of the window.
    return QWidget::focusNextPrevChild(next);
}

void PaneControl::adoptDocument(std::shared_ptr<TextDocument> document)
{
    attach(document ? std::move(document) : std::make_shared<TextDocument>());
}

void PaneControl::attach(std::shared_ptr<TextDocument> document)
{
    const std::shared_ptr<TextDocument> old = sharedDocument();
    if (old == document)
        return;
    if (old)
        disconnect(old.get(), nullptr, this, nullptr);
    const bool wasModified = old && old->isModified();
    setDocument(document);
    connect(document.get(), &TextDocument::modificationChanged, this, &PaneControl::modificationChanged);
    // Enter continues the line ends of the text's first line end; without one, this platform's.
    editor().followLineEnds();
    if (document->isModified() != wasModified)
        emit modificationChanged(document->isModified());
}
