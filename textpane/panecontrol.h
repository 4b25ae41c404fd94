#pragma once

#include <Qsci/qsciscintilla.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QPoint>

namespace platform { class LoadProgress; }

/// A text pane: holds its text as bytes (UTF-8 where the file was UTF-8) and gives them back
/// unchanged. No wrapping, scroll bars as needed, scroll position in pixels.
class PaneControl : public QsciScintilla
{
    Q_OBJECT
public:
    explicit PaneControl(QWidget *parent = nullptr);

    /// The whole content, byte for byte.
    QByteArray bytes() const;
    /// The whole content without a copy; valid until the text next changes.
    QByteArrayView bytesView() const;
    /// Replaces the whole content; the view returns to the start. Throws platform::Failure, with
    /// the content as it was, when there is no memory for the new text.
    void setBytes(QByteArrayView bytes);
    /// Replaces the whole content with `other`'s, as setBytes would, and leaves `other` empty.
    /// The text moves rather than being copied, so this needs no memory for it, whatever its size.
    void takeBytesOf(PaneControl &other);
    /// Adds bytes at the end without touching the rest of the document or the view. Throws
    /// platform::Failure when there is no memory for them.
    void appendBytes(QByteArrayView bytes);
    /// Replaces the whole content with the file's bytes, read in chunks into a new document on a
    /// worker thread while the window goes on painting (see DocumentLoad). Throws
    /// platform::Failure when the file cannot be opened or read; the content is then as it was,
    /// never part of the file. With `progress`, a long load shows how far it has come and can be
    /// stopped: then the pane is left empty and the answer is false.
    bool loadFile(const QString &path, platform::LoadProgress *progress = nullptr);
    /// The size of the content in bytes.
    qint64 byteCount() const;
    /// About how much memory a pane needs to hold a text of `bytes` bytes: the text, its line
    /// index and the room around it (measured: 157 MB for 100 MB, 1257 MB for 1 GB).
    static qint64 memoryToHold(qint64 bytes) { return bytes + bytes / 4 + 32 * 1024 * 1024; }

    /// The document point at the top-left corner of the view: x offset, first line x line height.
    QPoint scrollPosition() const;
    /// Scrolls so the given point is at the top-left corner; y is rounded down to a whole line.
    void setScrollPosition(QPoint position);
    int lineHeight() const;

signals:
    void focusReceived();
    void pointerMoved();

protected:
    void focusInEvent(QFocusEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    // The engine's own text calls go through QString: they would turn invalid UTF-8 and NULs into
    // other bytes, and count in int. Out of reach here, so only the byte-exact calls above remain.
    using QsciScintilla::append;
    using QsciScintilla::insert;
    using QsciScintilla::insertAt;
    using QsciScintilla::length;
    using QsciScintilla::lineLength;
    using QsciScintilla::replace;
    using QsciScintilla::replaceSelectedText;
    using QsciScintilla::selectedText;
    using QsciScintilla::setText;
    using QsciScintilla::text;
    using QsciScintilla::wordAtLineIndex;
    using QsciScintilla::wordAtPoint;

    friend class DocumentLoad;
    /// A loader for a new document with room for `size` bytes; 0 when there is no memory.
    void *createLoader(qint64 size) { return createLoader(*this, size); }
    /// The same, made through `view`, whose map of shown lines the engine resets for it.
    static void *createLoader(QsciScintillaBase &view, qint64 size);
    /// Shows the document a loader built, as if the text had been set; null empties the pane.
    void adoptDocument(void *document);
    /// Shows the current document again, where it was, after a loader that was dropped.
    void keepDocument();
    void beginDocument(qint64 capacity);
    void showDocument(long document);
    void appendRaw(const char *data, qint64 size);
    void endDocument();
    void followLineEnds();
};
