#pragma once

#include "textpane/bigbuffer.h"
#include "textpane/lineindex.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QObject>

#include <functional>
#include <memory>
#include <vector>

/// A stretch of a document, in bytes: [start, end).
struct TextRange
{
    qint64 start = 0;
    qint64 end = 0;
    qint64 length() const { return end - start; }
    bool operator==(const TextRange &) const = default;
};

/// A document's text as it stood at one moment, readable on any thread while the document goes on
/// changing, or after it is gone: the loaded bytes are shared, never copied, and the bytes edits
/// added are copied.
class TextSnapshot
{
public:
    /// The text, as the stretches it was kept in, in order.
    const QList<QByteArrayView> &stretches() const { return m_stretches; }
    qint64 size() const { return m_size; }

private:
    friend class TextDocument;
    std::shared_ptr<const BigBuffer> m_loaded;
    QByteArray m_added;
    QList<QByteArrayView> m_stretches;
    qint64 m_size = 0;
};

/// A text as bytes, exactly as it was loaded or typed: no encoding is assumed and every byte
/// (NULs, stray bytes, any line ends) is kept. Positions are 64-bit byte offsets. Lines end as
/// lineindex.h says. It knows nothing of views: they follow it through changed().
///
/// Kept as a table of pieces over buffers that never change once written (the loaded text, and
/// what edits append, first in the room left past the loaded text, then in a buffer of their
/// own), so an edit costs the same at any size, undo keeps pieces rather than copies, and the
/// loaded text is never copied.
class TextDocument : public QObject
{
    Q_OBJECT
public:
    /// An empty document.
    explicit TextDocument(QObject *parent = nullptr);
    /// A document of a loaded text and its line index, built while it was read. Nothing to undo,
    /// not modified.
    TextDocument(BigBuffer text, LineIndex index, QObject *parent = nullptr);
    ~TextDocument() override;

    qint64 size() const;
    bool isEmpty() const { return size() == 0; }
    /// Line ends + 1: a text that ends with a line end has an empty last line.
    qint64 lineCount() const;
    /// The first byte of a line (clamped to the lines there are).
    qint64 lineStart(qint64 line) const;
    /// Where a line's text stops: the position of its line end, or the document's end.
    qint64 lineEnd(qint64 line) const;
    /// The line a position lies on; between the two bytes of a CR LF, the line it ends.
    qint64 lineOf(qint64 position) const;
    /// The byte at `position` (0 outside the text).
    char at(qint64 position) const;

    /// A copy of [from, from + length), clipped to the text. Throws std::bad_alloc.
    QByteArray bytes(qint64 from, qint64 length) const;
    /// The whole text, copied.
    QByteArray bytes() const { return bytes(0, size()); }
    /// Shows [from, from + length) to `visit` in the stored stretches, in order, without copying;
    /// stops early when `visit` returns false.
    void visit(qint64 from, qint64 length, const std::function<bool(QByteArrayView)> &visit) const;
    /// The text as it is now, for a worker thread. Throws std::bad_alloc.
    std::shared_ptr<const TextSnapshot> snapshot() const;
    /// The whole text, contiguous, when it is stored so (as after a load, and after bytes added
    /// at its end while they fit in the room the loaded buffer had left); otherwise empty with
    /// `contiguous` false. Valid until the next edit.
    QByteArrayView contiguousView(bool *contiguous = nullptr) const;

    /// How an edit joins the one before it in the history.
    enum class Merge {
        No,     ///< a step of its own
        Typing, ///< one more character typed, or removed by Backspace or Delete, next to the last
    };
    /// Replaces [from, from + length) with `text`. Throws std::bad_alloc, with the document as it
    /// was, when there is no memory.
    void replace(qint64 from, qint64 length, QByteArrayView text, Merge merge = Merge::No);
    void insert(qint64 at, QByteArrayView text, Merge merge = Merge::No) { replace(at, 0, text, merge); }
    void remove(qint64 from, qint64 length, Merge merge = Merge::No) { replace(from, length, {}, merge); }

    /// Edits between these two calls (they nest) undo as one step.
    void beginStep();
    void endStep();
    /// Typing merges no further into the last step (the caret moved, or a click).
    void breakTyping();

    bool canUndo() const;
    bool canRedo() const;
    /// Undoes the last step; returns the stretch it put back (empty at the place of a removal), for
    /// the caret. Nothing happens, and it returns {-1, -1}, when there is nothing to undo.
    TextRange undo();
    TextRange redo();
    /// Forgets the history.
    void clearHistory();

    /// Whether the text differs from the last save point: undoing back to it clears the flag.
    bool isModified() const;
    /// false sets the save point here; true marks the text modified until the next save point.
    void setModified(bool modified);

signals:
    /// After every change of the text: `removed` bytes at `from` gave way to `inserted` bytes.
    void changed(qint64 from, qint64 removed, qint64 inserted);
    void modificationChanged(bool modified);

private:
    // Undoes the last step done, or redoes the next one.
    TextRange turnStep(bool redo);

    struct Store;
    std::unique_ptr<Store> d;
};
