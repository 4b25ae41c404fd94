#include "textpane/texteditor.h"

#include "textpane/utf8.h"

#include <QChar>

#include <algorithm>
#include <array>
#include <cstring>

// Every command reads only the few bytes around the caret, through a small window over the
// document, and never the text as a whole: a document may be several gigabytes. An edit is one
// replace() of the document; the caret and the anchor are set only after it returned, so a
// replace that throws leaves them as they were.

namespace {

// What Enter inserts in a text without a line end.
constexpr QByteArrayView kPlatformLineEnd = "\n";
// Stands for a byte that starts no valid UTF-8 sequence.
constexpr char32_t kStray = 0xFFFFFFFF;

// The document's bytes near a position, copied a few kilobytes at a time into storage of its
// own: walking characters costs no query per byte and no allocation, so it can run after an edit
// without being able to fail.
class Window
{
public:
    explicit Window(const TextDocument &document) : m_document(document), m_size(document.size()) {}

    qint64 size() const { return m_size; }
    // The byte at `position` as 0 to 255, or -1 outside the text.
    int at(qint64 position)
    {
        if (position < 0 || position >= m_size)
            return -1;
        if (position < m_from || position >= m_from + m_length)
            load(position);
        if (position >= m_from + m_length)
            return -1;
        return static_cast<uchar>(m_bytes[static_cast<size_t>(position - m_from)]);
    }

private:
    static constexpr qint64 kLength = 4096;

    void load(qint64 position)
    {
        // Centred, so walking either way stays inside it for half its length.
        m_from = std::clamp<qint64>(position - kLength / 2, 0, std::max<qint64>(0, m_size - kLength));
        m_length = 0;
        m_document.visit(m_from, std::min(kLength, m_size - m_from), [this](QByteArrayView piece) {
            const qint64 n = std::min<qint64>(piece.size(), kLength - m_length);
            std::memcpy(m_bytes.data() + m_length, piece.data(), static_cast<size_t>(n));
            m_length += n;
            return m_length < kLength;
        });
    }

    const TextDocument &m_document;
    const qint64 m_size;
    qint64 m_from = 0;
    qint64 m_length = 0;
    std::array<char, kLength> m_bytes;
};

enum class Kind { Word, Blank, LineEnd, Other };

struct Character
{
    qint64 end;
    Kind kind;
};

Kind kindOf(char32_t c)
{
    if (c == '\r' || c == '\n')
        return Kind::LineEnd;
    if (c == kStray)
        return Kind::Other;
    // A combining mark belongs to the letter it follows.
    if (c == '_' || QChar::isLetterOrNumber(c) || QChar::isMark(c))
        return Kind::Word;
    return QChar::isSpace(c) ? Kind::Blank : Kind::Other;
}

// The length of the valid UTF-8 sequence at `position`, or 1 for a byte that starts none (a
// continuation byte, a truncated or overlong sequence, a surrogate, past U+10FFFF).
template <typename Text>
int sequenceAt(Text &text, qint64 position, char32_t *codePoint)
{
    uchar bytes[4];
    qint64 available = 0;
    for (; available < 4; ++available) {
        const int byte = text.at(position + available);
        if (byte < 0)
            break;
        bytes[available] = static_cast<uchar>(byte);
    }
    *codePoint = kStray;
    if (available == 0)
        return 1;
    const int length = decodeUtf8(bytes, available, codePoint);
    if (length == 0)
        *codePoint = kStray;
    return std::max(length, 1);
}

// The character that starts at `position`, which must start one and lie before the end.
template <typename Text>
Character characterAt(Text &text, qint64 position)
{
    if (text.at(position) == '\r' && text.at(position + 1) == '\n')
        return {position + 2, Kind::LineEnd};
    char32_t c;
    const int length = sequenceAt(text, position, &c);
    return {position + length, kindOf(c)};
}

// The start of the character that ends at `position`, which must end one and lie after 0.
qint64 previousStart(Window &text, qint64 position)
{
    if (text.at(position - 1) == '\n' && text.at(position - 2) == '\r')
        return position - 2;
    // A lead byte is never inside a sequence, so a valid one that ends here starts a character.
    char32_t c;
    for (int length = 2; length <= 4 && position - length >= 0; ++length) {
        if (sequenceAt(text, position - length, &c) == length)
            return position - length;
    }
    return position - 1;
}

// `position` moved to the nearest edge of a character in `direction` (-1 or +1) when it lies
// inside one.
qint64 snap(Window &text, qint64 position, int direction)
{
    position = std::clamp<qint64>(position, 0, text.size());
    if (text.at(position - 1) == '\r' && text.at(position) == '\n')
        return direction < 0 ? position - 1 : position + 1;
    char32_t c;
    for (int back = 1; back <= 3 && position - back >= 0; ++back) {
        const int length = sequenceAt(text, position - back, &c);
        if (length > back)
            return direction < 0 ? position - back : position - back + length;
    }
    return position;
}

// How much a kind of character is a word, for a double click between two.
int wordRank(Kind kind)
{
    switch (kind) {
    case Kind::Word: return 3;
    case Kind::Other: return 2;
    case Kind::Blank: return 1;
    case Kind::LineEnd: break;
    }
    return 0;
}

// Typing over a selection begins a step; typing at the caret goes on with the one before.
TextDocument::Merge typingOver(TextRange selection)
{
    return selection.length() ? TextDocument::Merge::No : TextDocument::Merge::Typing;
}

qint64 runEnd(Window &text, qint64 position, Kind kind)
{
    while (position < text.size()) {
        const Character next = characterAt(text, position);
        if (next.kind != kind)
            break;
        position = next.end;
    }
    return position;
}

qint64 runStart(Window &text, qint64 position, Kind kind)
{
    while (position > 0) {
        const qint64 start = previousStart(text, position);
        if (characterAt(text, start).kind != kind)
            break;
        position = start;
    }
    return position;
}

} // namespace

TextEditor::TextEditor(TextDocument *document) : m_document(document) {}

void TextEditor::setDocument(TextDocument *document)
{
    m_document = document;
    m_caret = m_anchor = 0;
}

TextRange TextEditor::selection() const
{
    return {std::min(m_caret, m_anchor), std::max(m_caret, m_anchor)};
}

void TextEditor::setSelection(qint64 anchor, qint64 caret)
{
    // A selection that cuts a character grows to take it whole.
    Window text(*m_document);
    const int towardCaret = caret < anchor ? -1 : +1;
    const qint64 snappedAnchor = snap(text, anchor, -towardCaret);
    m_caret = snap(text, caret, caret == anchor ? -1 : towardCaret);
    m_anchor = snappedAnchor;
    m_document->breakTyping();
}

void TextEditor::setCaret(qint64 caret, bool extend)
{
    setSelection(extend ? m_anchor : caret, caret);
}

void TextEditor::documentChanged(qint64 from, qint64 removed, qint64 inserted)
{
    // Not a caret move: typing in another view of the document goes on merging.
    const auto follow = [&](qint64 position) {
        if (position <= from)
            return position;
        if (position >= from + removed)
            return position - removed + inserted;
        return from;
    };
    // The edit may have joined bytes around the caret into one character.
    Window text(*m_document);
    m_caret = snap(text, follow(m_caret), -1);
    m_anchor = snap(text, follow(m_anchor), -1);
}

qint64 TextEditor::characterStep(qint64 position, int direction) const
{
    Window text(*m_document);
    if (direction < 0)
        return position > 0 ? previousStart(text, position) : 0;
    return position < text.size() ? characterAt(text, position).end : position;
}

void TextEditor::moveTo(qint64 caret, bool extend)
{
    m_caret = caret;
    if (!extend)
        m_anchor = caret;
    m_document->breakTyping();
}

void TextEditor::moveCharacter(int direction, bool extend)
{
    if (!extend && hasSelection()) {
        const TextRange range = selection();
        moveTo(direction < 0 ? range.start : range.end, false);
        return;
    }
    moveTo(characterStep(m_caret, direction), extend);
}

void TextEditor::moveWord(int direction, bool extend)
{
    // Blanks go with the word before them, and each line end is a stop of its own.
    Window text(*m_document);
    qint64 position = m_caret;
    if (direction > 0) {
        if (position < text.size()) {
            const Character here = characterAt(text, position);
            position = here.kind == Kind::LineEnd ? here.end : runEnd(text, position, here.kind);
            position = runEnd(text, position, Kind::Blank);
        }
    } else {
        position = runStart(text, position, Kind::Blank);
        if (position > 0) {
            const qint64 start = previousStart(text, position);
            const Kind kind = characterAt(text, start).kind;
            position = kind == Kind::LineEnd ? start : runStart(text, position, kind);
        }
    }
    moveTo(position, extend);
}

void TextEditor::moveLineStart(bool extend)
{
    moveTo(m_document->lineStart(m_document->lineOf(m_caret)), extend);
}

void TextEditor::moveLineEnd(bool extend)
{
    moveTo(m_document->lineEnd(m_document->lineOf(m_caret)), extend);
}

void TextEditor::moveDocumentStart(bool extend)
{
    moveTo(0, extend);
}

void TextEditor::moveDocumentEnd(bool extend)
{
    moveTo(m_document->size(), extend);
}

void TextEditor::selectAll()
{
    m_anchor = 0;
    m_caret = m_document->size();
    m_document->breakTyping();
}

TextRange TextEditor::wordAt(qint64 position) const
{
    // A click between two characters takes the side that is more of a word.
    Window text(*m_document);
    position = snap(text, position, -1);
    const Kind after = position < text.size() ? characterAt(text, position).kind : Kind::LineEnd;
    const Kind before = position > 0 ? characterAt(text, previousStart(text, position)).kind : Kind::LineEnd;
    const Kind kind = wordRank(before) > wordRank(after) ? before : after;
    if (kind == Kind::LineEnd)
        return {position, position};
    return {runStart(text, position, kind), runEnd(text, position, kind)};
}

TextRange TextEditor::lineAt(qint64 position) const
{
    const qint64 line = m_document->lineOf(position);
    const qint64 end = line + 1 < m_document->lineCount() ? m_document->lineStart(line + 1) : m_document->size();
    return {m_document->lineStart(line), end};
}

void TextEditor::replace(qint64 from, qint64 length, QByteArrayView text, TextDocument::Merge merge)
{
    m_document->replace(from, length, text, merge);
    // What was typed may have joined the bytes after it into one character (a CR before an LF).
    Window window(*m_document);
    m_caret = m_anchor = snap(window, from + text.size(), +1);
}

void TextEditor::type(QByteArrayView text)
{
    if (text.isEmpty())
        return;
    const TextRange range = selection();
    if (!range.length() && m_overtype) {
        // A line end is never typed over, so overtyping never joins two lines.
        Window window(*m_document);
        qint64 end = m_caret;
        if (end < window.size() && characterAt(window, end).kind != Kind::LineEnd)
            end = characterAt(window, end).end;
        replace(m_caret, end - m_caret, text, TextDocument::Merge::Typing);
        return;
    }
    replace(range.start, range.length(), text, typingOver(range));
}

void TextEditor::newLine()
{
    const TextRange range = selection();
    replace(range.start, range.length(), m_lineEnd, typingOver(range));
}

void TextEditor::backspace()
{
    if (hasSelection()) {
        removeSelection();
    } else if (m_caret > 0) {
        const qint64 start = characterStep(m_caret, -1);
        replace(start, m_caret - start, {}, TextDocument::Merge::Typing);
    }
}

void TextEditor::deleteForward()
{
    if (hasSelection()) {
        removeSelection();
    } else if (m_caret < m_document->size()) {
        replace(m_caret, characterStep(m_caret, +1) - m_caret, {}, TextDocument::Merge::Typing);
    }
}

void TextEditor::insert(QByteArrayView text)
{
    const TextRange range = selection();
    if (text.isEmpty() && !range.length())
        return;
    replace(range.start, range.length(), text, TextDocument::Merge::No);
}

QByteArray TextEditor::selectedBytes() const
{
    const TextRange range = selection();
    return m_document->bytes(range.start, range.length());
}

void TextEditor::removeSelection()
{
    if (!hasSelection())
        return;
    const TextRange range = selection();
    replace(range.start, range.length(), {}, TextDocument::Merge::No);
}

void TextEditor::undo()
{
    landAfter(m_document->undo());
}

void TextEditor::redo()
{
    landAfter(m_document->redo());
}

void TextEditor::landAfter(TextRange stretch)
{
    if (stretch.start < 0)
        return;
    Window text(*m_document);
    m_caret = m_anchor = snap(text, stretch.end, +1);
}

void TextEditor::followLineEnds()
{
    // The first line's end is found through the document's index: a long text without any line
    // end is not read, and nothing past the first line end is looked at.
    const qint64 end = m_document->lineEnd(0);
    if (end >= m_document->size())
        m_lineEnd = kPlatformLineEnd.toByteArray();
    else if (m_document->at(end) == '\n')
        m_lineEnd = "\n";
    else
        m_lineEnd = m_document->at(end + 1) == '\n' ? "\r\n" : "\r";
}
