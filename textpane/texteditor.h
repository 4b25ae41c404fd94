#pragma once

#include "textpane/textdocument.h"

#include <QByteArray>
#include <QByteArrayView>

/// The caret, the selection and the editing commands over a document, without a display: what a
/// key does to the text. The view turns events into these calls and does what needs the layout
/// itself (up and down a line, a page, a click), through setSelection().
///
/// A character is a whole UTF-8 sequence, a stray byte alone, or a CR LF together; the caret
/// never rests inside one.
class TextEditor
{
public:
    explicit TextEditor(TextDocument *document);
    /// Works on another document; the caret goes to its start.
    void setDocument(TextDocument *document);
    TextDocument &document() const { return *m_document; }

    qint64 caret() const { return m_caret; }
    qint64 anchor() const { return m_anchor; }
    /// The selected stretch, start before end; empty at the caret when nothing is selected.
    TextRange selection() const;
    bool hasSelection() const { return m_caret != m_anchor; }
    /// Clamped to the text and moved off the inside of a character.
    void setSelection(qint64 anchor, qint64 caret);
    void setCaret(qint64 caret, bool extend = false);
    /// Follows an edit of the document made elsewhere (another view of it, an undo there).
    void documentChanged(qint64 from, qint64 removed, qint64 inserted);

    // Moving: with `extend` the anchor stays, as with Shift held.
    void moveCharacter(int direction, bool extend);   ///< -1 left, +1 right; without `extend` a selection collapses to its side
    void moveWord(int direction, bool extend);        ///< to the start of the previous or next word
    void moveLineStart(bool extend);
    void moveLineEnd(bool extend);
    void moveDocumentStart(bool extend);
    void moveDocumentEnd(bool extend);
    void selectAll();
    /// The word (letters, digits, underscore; or a run of other non-blank characters; or of
    /// blanks) around `position`, for a double click.
    TextRange wordAt(qint64 position) const;
    /// The line around `position` with its line end, for a triple click.
    TextRange lineAt(qint64 position) const;

    // Editing. Each is one step of the history; typing and deleting character by character
    // merge into one. All throw std::bad_alloc with the text and the caret as they were.
    /// Types `text` (UTF-8) over the selection; in overtype mode a character typed replaces the
    /// one after the caret, unless that is a line end.
    void type(QByteArrayView text);
    /// Inserts the line end the text uses (see setLineEnd) over the selection.
    void newLine();
    void backspace();  ///< the selection, or the character before the caret
    void deleteForward(); ///< the selection, or the character after the caret
    /// Replaces the selection with `text` as one step (paste, drop), the caret after it.
    void insert(QByteArrayView text);
    /// The selected bytes.
    QByteArray selectedBytes() const;
    void removeSelection();
    void undo();
    void redo();

    bool overtype() const { return m_overtype; }
    void setOvertype(bool on) { m_overtype = on; }
    /// What Enter inserts: "\n", "\r\n" or "\r".
    QByteArray lineEnd() const { return m_lineEnd; }
    void setLineEnd(QByteArray lineEnd) { m_lineEnd = std::move(lineEnd); }
    /// Sets the line end from the text's first one (this platform's, "\n", without one).
    void followLineEnds();

private:
    qint64 snapped(qint64 position, int direction) const;
    qint64 characterStep(qint64 position, int direction) const;
    void moveTo(qint64 caret, bool extend);
    // The one edit of every command; the caret lands after `text` once the document took it.
    void replace(qint64 from, qint64 length, QByteArrayView text, TextDocument::Merge merge);
    void landAfter(TextRange stretch);

    TextDocument *m_document;
    qint64 m_caret = 0;
    qint64 m_anchor = 0;
    bool m_overtype = false;
    QByteArray m_lineEnd = "\n";
};
