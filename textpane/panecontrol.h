#pragma once

#include "textpane/textview.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QPoint>

#include <memory>
#include <vector>

class TextDocument;
namespace platform { class LoadProgress; }

/// A text pane: holds its text as bytes (UTF-8 where the file was UTF-8) and gives them back
/// unchanged. No wrapping, scroll bars as needed, scroll position in pixels.
class PaneControl : public TextView
{
    Q_OBJECT
public:
    explicit PaneControl(QWidget *parent = nullptr);

    /// The whole content, byte for byte.
    QByteArray bytes() const;
    /// Shows the whole content, in one stretch, to `use` and returns its answer: without a copy
    /// where the text is kept in one piece (after a load), else gathered for this call alone.
    /// Throws platform::Failure when there is no memory to gather it.
    template <typename Use>
    decltype(auto) withBytes(Use &&use) const
    {
        bool whole = false;
        const QByteArrayView stored = document().contiguousView(&whole);
        if (whole)
            return use(stored);
        const QByteArray gathered = bytes();
        return use(QByteArrayView(gathered));
    }
    /// The whole content as the stretches it is kept in, in order, without a copy; valid until the
    /// text next changes.
    std::vector<QByteArrayView> pieces() const;
    /// Replaces the whole content; the view returns to the start. Throws platform::Failure, with
    /// the content as it was, when there is no memory for the new text.
    void setBytes(QByteArrayView bytes);
    /// Shows `other`'s document here, as setBytes would its text, and leaves `other` empty.
    /// Nothing is copied, so this needs no memory, whatever the size.
    void takeBytesOf(PaneControl &other);
    /// Shows the very document `other` shows: an edit in one pane is in both.
    void shareDocumentOf(const PaneControl &other);
    /// Adds bytes at the end without touching the rest of the document or the view, and leaves
    /// nothing to undo. Throws platform::Failure when there is no memory for them.
    void appendBytes(QByteArrayView bytes);
    /// The same at `at`: the view keeps its lines, the caret and selection move with the text
    /// after `at`, and the text stays as edited or unedited as it was.
    void insertBytes(qint64 at, QByteArrayView bytes);
    /// Replaces the whole content with the file's bytes, read into a new document on worker
    /// threads while the window goes on painting (see DocumentLoad). Throws platform::Failure
    /// when the file cannot be opened or read; the content is then as it was, never part of the
    /// file. With `progress`, a long load shows how far it has come and can be stopped: then the
    /// pane is left empty and the answer is false.
    bool loadFile(const QString &path, platform::LoadProgress *progress = nullptr);
    /// The size of the content in bytes.
    qint64 byteCount() const;
    /// About how much memory a pane needs to hold a text of `bytes` bytes: the text, its line
    /// index and the room around it.
    static qint64 memoryToHold(qint64 bytes) { return bytes + bytes / 16 + 32 * 1024 * 1024; }

    /// Selects from `anchor` to `caret` (nothing when they are equal), as a click and a drag would.
    void select(qint64 anchor, qint64 caret);

    /// Whether the text was edited since it was loaded, set or last marked saved.
    bool isModified() const;
    /// false marks the text as saved as it is; true as edited.
    void setModified(bool modified);

signals:
    void focusReceived();
    void pointerMoved();
    /// The text became edited, or saved as it is.
    void modificationChanged(bool modified);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    friend class DocumentLoad;
    /// Shows a document built aside, as if its text had been set; null empties the pane.
    void adoptDocument(std::shared_ptr<TextDocument> document);
    void attach(std::shared_ptr<TextDocument> document);
};
