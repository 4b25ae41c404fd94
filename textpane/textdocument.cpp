#include "textpane/textdocument.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>

// An edit, in order:
// 1. The new text is appended to the add space and its line index. The add space begins in the
//    loaded buffer's room past the loaded text, so that typing at the end of a loaded text (and
//    the line end a pane adds there) grows the loaded piece itself, and goes on in the add buffer
//    from the first text that does not fit there. Nothing else changes yet, so a failure leaves
//    the document as it was (with some unused bytes in the add space).
// 2. The pieces the edit touches, with one untouched neighbour on each side, are cut into a short
//    run: what stays on the left, the new pieces, what stays on the right. What falls between is
//    kept, as pieces, for the history.
// 3. The run is tidied: empty pieces go, pieces that follow each other in one buffer join (so
//    typing at one place grows one piece), and a CR with its LF in two pieces is moved into a
//    fresh "\r\n" piece, so that no piece boundary ever falls inside a CR LF and each piece counts
//    its own line ends.
// 4. Room is made for the piece table, its prefix sums and the history. From there on nothing can
//    fail: the run takes the place of its pieces and the history takes the removed ones.
// 5. changed() is told, and modificationChanged() when the flag turned.
//
// The prefix sums of bytes and line ends over the pieces are brought up to date lazily, from the
// first piece an edit touched, by the next query.

namespace {
constexpr char kCr = '\r';
constexpr char kLf = '\n';
// The add buffer's first room; it doubles from there.
constexpr qint64 kAddedRoom = 64 * 1024;

enum class Source : quint8 { Loaded, Added };

struct Piece
{
    qint64 offset = 0;
    qint64 length = 0;
    qint64 lineEnds = 0; // counted within the piece alone: a CR as its last byte is one
    Source source = Source::Loaded;
};

// One primitive change, as the history keeps it: at `from`, `inserted` bytes took the place of
// the text of `removed`. Undone, it becomes the change that redoes it.
struct Change
{
    qint64 from = 0;
    qint64 inserted = 0;
    std::vector<Piece> removed;
};

struct Step
{
    std::vector<Change> changes;
};

qint64 lengthOf(const std::vector<Piece> &pieces)
{
    qint64 length = 0;
    for (const Piece &piece : pieces)
        length += piece.length;
    return length;
}

template<typename T>
void reserveFor(std::vector<T> &vector, size_t count)
{
    if (count > vector.capacity())
        vector.reserve(std::max(count, 2 * vector.capacity()));
}

// What a position was, moved by a change at `from`; inside the removed stretch, its start.
qint64 shifted(qint64 position, qint64 from, qint64 removed, qint64 inserted)
{
    if (position <= from)
        return position;
    if (position >= from + removed)
        return position - removed + inserted;
    return from;
}

// The pieces [first, last) of the table giving way to `run`, worked out before anything changes.
struct Splice
{
    size_t first = 0;
    size_t last = 0;
    std::vector<Piece> run;
    std::vector<Piece> removed;
    qint64 from = 0;
    qint64 removedLength = 0;
    qint64 insertedLength = 0;
    qint64 lineEndsGained = 0;
};
} // namespace

struct TextDocument::Store
{
    // The loaded text, then what was appended in its room; never grown, so its bytes stay where
    // they are, and snapshots share it.
    std::shared_ptr<BigBuffer> loaded = std::make_shared<BigBuffer>();
    LineIndex loadedIndex;
    BigBuffer added; // only ever appended to; pieces hold offsets, as growing may move it
    LineIndex addedIndex;
    bool loadedRoomOpen = true; // appends still go to the loaded buffer's room

    std::vector<Piece> pieces; // never empty ones
    mutable std::vector<qint64> bytesBefore; // per piece, and the whole size last
    mutable std::vector<qint64> lineEndsBefore;
    mutable size_t prefixValid = 0; // the leading entries of both that are up to date
    qint64 size = 0;
    qint64 lineEnds = 0;

    std::vector<Step> steps;
    size_t applied = 0; // the steps done; those after them can be redone
    qint64 savePoint = 0; // the value of `applied` at the save point; -1 once out of reach
    bool forcedModified = false;
    int stepDepth = 0;
    bool stepOpen = false; // the last step done belongs to the open beginStep()
    bool typingOpen = false; // the last step done may take more typing

    QByteArrayView text(Source source) const
    {
        const BigBuffer &buffer = source == Source::Loaded ? *loaded : added;
        return QByteArrayView(buffer.data(), buffer.size());
    }
    const LineIndex &index(Source source) const { return source == Source::Loaded ? loadedIndex : addedIndex; }
    const char *begin(const Piece &piece) const { return text(piece.source).data() + piece.offset; }
    bool startsWithLf(const Piece &piece) const { return begin(piece)[0] == kLf; }
    bool endsWithCr(const Piece &piece) const { return begin(piece)[piece.length - 1] == kCr; }

    bool isModified() const { return forcedModified || qint64(applied) != savePoint; }

    qint64 countIn(Source source, qint64 offset, qint64 length) const;
    Piece part(const Piece &piece, qint64 from, qint64 to) const;
    qint64 pastLineEndIn(const Piece &piece, qint64 nth) const;
    void updatePrefix() const;
    size_t pieceAt(qint64 position) const;
    qint64 lineEndsBeforePosition(qint64 position) const;
    qint64 pastLineEnd(qint64 nth) const;
    char at(qint64 position) const;

    Piece append(QByteArrayView text);
    void tidy(std::vector<Piece> &run);
    Splice prepare(qint64 from, qint64 length, const std::vector<Piece> &inserted);
    void commit(const Splice &splice) noexcept;
    std::vector<Piece> joined(const std::vector<Piece> &left, const std::vector<Piece> &right) const;
};

qint64 TextDocument::Store::countIn(Source source, qint64 offset, qint64 length) const
{
    if (length <= 0)
        return 0;
    const QByteArrayView whole = text(source);
    const LineIndex &lines = index(source);
    qint64 count = lines.lineEndsBefore(whole, offset + length) - lines.lineEndsBefore(whole, offset);
    // The buffer gives a line feed after a CR to that CR; alone in the piece it is a line end.
    if (offset > 0 && whole[offset - 1] == kCr && whole[offset] == kLf)
        ++count;
    return count;
}

Piece TextDocument::Store::part(const Piece &piece, qint64 from, qint64 to) const
{
    if (from == 0 && to == piece.length)
        return piece;
    return Piece{piece.offset + from, to - from, countIn(piece.source, piece.offset + from, to - from), piece.source};
}

qint64 TextDocument::Store::pastLineEndIn(const Piece &piece, qint64 nth) const
{
    const QByteArrayView whole = text(piece.source);
    if (piece.offset > 0 && whole[piece.offset - 1] == kCr && whole[piece.offset] == kLf) {
        if (nth == 0)
            return 1;
        --nth; // the buffer's count does not see that line feed
    }
    const LineIndex &lines = index(piece.source);
    const qint64 past = lines.positionPastLineEnd(whole, lines.lineEndsBefore(whole, piece.offset) + nth);
    // A CR that ends the piece is a line end of its own whatever the buffer has after it.
    return std::min(past, piece.offset + piece.length) - piece.offset;
}

void TextDocument::Store::updatePrefix() const
{
    const size_t count = pieces.size();
    if (prefixValid > count)
        return;
    // Within the capacity made by the edits, so no allocation.
    bytesBefore.resize(count + 1);
    lineEndsBefore.resize(count + 1);
    if (prefixValid == 0) {
        bytesBefore[0] = 0;
        lineEndsBefore[0] = 0;
        prefixValid = 1;
    }
    for (size_t i = prefixValid - 1; i < count; ++i) {
        bytesBefore[i + 1] = bytesBefore[i] + pieces[i].length;
        lineEndsBefore[i + 1] = lineEndsBefore[i] + pieces[i].lineEnds;
    }
    prefixValid = count + 1;
}

size_t TextDocument::Store::pieceAt(qint64 position) const
{
    if (position >= size)
        return pieces.size();
    const auto end = bytesBefore.begin() + qsizetype(pieces.size()) + 1;
    return size_t(std::upper_bound(bytesBefore.begin(), end, position) - bytesBefore.begin()) - 1;
}

qint64 TextDocument::Store::lineEndsBeforePosition(qint64 position) const
{
    if (position >= size)
        return lineEnds;
    const size_t i = pieceAt(position);
    const Piece &piece = pieces[i];
    return lineEndsBefore[i] + countIn(piece.source, piece.offset, position - bytesBefore[i]);
}

qint64 TextDocument::Store::pastLineEnd(qint64 nth) const
{
    const auto end = lineEndsBefore.begin() + qsizetype(pieces.size()) + 1;
    const size_t i = size_t(std::upper_bound(lineEndsBefore.begin(), end, nth) - lineEndsBefore.begin()) - 1;
    return bytesBefore[i] + pastLineEndIn(pieces[i], nth - lineEndsBefore[i]);
}

char TextDocument::Store::at(qint64 position) const
{
    if (position < 0 || position >= size)
        return 0;
    const size_t i = pieceAt(position);
    return begin(pieces[i])[position - bytesBefore[i]];
}

Piece TextDocument::Store::append(QByteArrayView bytes)
{
    // Once a text does not fit in the loaded buffer's room, the add space goes on in the add
    // buffer for good: the bytes of one edit, and so each CR LF made, stay in one buffer.
    loadedRoomOpen = loadedRoomOpen && bytes.size() <= loaded->capacity() - loaded->size();
    const Source source = loadedRoomOpen ? Source::Loaded : Source::Added;
    BigBuffer &buffer = loadedRoomOpen ? *loaded : added;
    LineIndex &lines = loadedRoomOpen ? loadedIndex : addedIndex;
    const qint64 offset = buffer.size();
    const qint64 needed = offset + bytes.size();
    // The text may lie in this very buffer, which growing may move.
    const std::less_equal<const char *> notAfter;
    const bool inside = buffer.data() && notAfter(buffer.data(), bytes.data()) && notAfter(bytes.data(), buffer.data() + offset);
    const qint64 from = inside ? bytes.data() - buffer.data() : 0;
    if (needed > buffer.capacity() && !buffer.reserve(std::max({needed, kAddedRoom, 2 * buffer.capacity()}))
        && !buffer.reserve(needed))
        throw std::bad_alloc();
    char *const start = buffer.data() + offset;
    std::memcpy(start, inside ? buffer.data() + from : bytes.data(), size_t(bytes.size()));
    const qint64 lineEndsBefore = lines.lineEnds();
    lines.add(QByteArrayView(start, bytes.size()));
    buffer.setSize(needed);
    Piece piece{offset, bytes.size(), lines.lineEnds() - lineEndsBefore, source};
    // The index gives a line feed after a CR to that CR, which may end the loaded text.
    if (offset > 0 && start[-1] == kCr && start[0] == kLf)
        ++piece.lineEnds;
    return piece;
}

void TextDocument::Store::tidy(std::vector<Piece> &run)
{
    std::vector<Piece> tidied;
    tidied.reserve(2 * run.size());
    for (Piece piece : run) {
        if (piece.length == 0)
            continue;
        if (!tidied.empty()) {
            Piece &last = tidied.back();
            const bool crlf = endsWithCr(last) && startsWithLf(piece);
            if (last.source == piece.source && last.offset + last.length == piece.offset) {
                last.length += piece.length;
                last.lineEnds += piece.lineEnds - (crlf ? 1 : 0);
                continue;
            }
            if (crlf) {
                // Both lose the byte that counted as a line end: the CR its last, the LF its first.
                --last.length;
                --last.lineEnds;
                if (last.length == 0)
                    tidied.pop_back();
                ++piece.offset;
                --piece.length;
                --piece.lineEnds;
                tidied.push_back(append(QByteArrayView("\r\n", 2)));
                if (piece.length == 0)
                    continue;
            }
        }
        tidied.push_back(piece);
    }
    run = std::move(tidied);
}

Splice TextDocument::Store::prepare(qint64 from, qint64 length, const std::vector<Piece> &inserted)
{
    updatePrefix();
    const qint64 to = from + length;
    const size_t holdingFrom = pieceAt(from);
    Splice splice;
    splice.from = from;
    splice.removedLength = length;
    splice.insertedLength = lengthOf(inserted);
    splice.first = holdingFrom > 0 ? holdingFrom - 1 : 0;
    splice.last = std::min(pieces.size(), pieceAt(to) + 1);
    splice.run.reserve(splice.last - splice.first + inserted.size() + 1);

    qint64 lineEndsLost = 0;
    bool placed = false;
    const auto place = [&] {
        splice.run.insert(splice.run.end(), inserted.begin(), inserted.end());
        placed = true;
    };
    for (size_t i = splice.first; i < splice.last; ++i) {
        const Piece &piece = pieces[i];
        const qint64 start = bytesBefore[i];
        const qint64 end = start + piece.length;
        lineEndsLost += piece.lineEnds;
        if (start < from)
            splice.run.push_back(part(piece, 0, std::min(end, from) - start));
        if (std::max(start, from) < std::min(end, to))
            splice.removed.push_back(part(piece, std::max(start, from) - start, std::min(end, to) - start));
        if (end > to) {
            if (!placed)
                place();
            splice.run.push_back(part(piece, std::max(start, to) - start, piece.length));
        }
    }
    if (!placed)
        place();
    tidy(splice.run);

    qint64 lineEndsGot = 0;
    for (const Piece &piece : splice.run)
        lineEndsGot += piece.lineEnds;
    splice.lineEndsGained = lineEndsGot - lineEndsLost;

    const size_t count = pieces.size() - (splice.last - splice.first) + splice.run.size();
    reserveFor(pieces, count);
    reserveFor(bytesBefore, count + 1);
    reserveFor(lineEndsBefore, count + 1);
    return splice;
}

void TextDocument::Store::commit(const Splice &splice) noexcept
{
    const auto first = pieces.begin() + qsizetype(splice.first);
    const size_t replaced = splice.last - splice.first;
    const size_t common = std::min(replaced, splice.run.size());
    std::copy(splice.run.begin(), splice.run.begin() + qsizetype(common), first);
    if (splice.run.size() > replaced)
        pieces.insert(first + qsizetype(common), splice.run.begin() + qsizetype(common), splice.run.end());
    else
        pieces.erase(first + qsizetype(common), pieces.begin() + qsizetype(splice.last));
    size += splice.insertedLength - splice.removedLength;
    lineEnds += splice.lineEndsGained;
    prefixValid = std::min(prefixValid, splice.first + 1);
}

std::vector<Piece> TextDocument::Store::joined(const std::vector<Piece> &left, const std::vector<Piece> &right) const
{
    std::vector<Piece> out;
    out.reserve(left.size() + right.size());
    out = left;
    for (const Piece &piece : right) {
        if (!out.empty()) {
            Piece &last = out.back();
            if (last.source == piece.source && last.offset + last.length == piece.offset) {
                last.lineEnds += piece.lineEnds - (endsWithCr(last) && startsWithLf(piece) ? 1 : 0);
                last.length += piece.length;
                continue;
            }
        }
        out.push_back(piece);
    }
    return out;
}

TextDocument::TextDocument(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Store>())
{
    d->bytesBefore.reserve(4);
    d->lineEndsBefore.reserve(4);
}

TextDocument::TextDocument(BigBuffer text, LineIndex index, QObject *parent)
    : TextDocument(parent)
{
    if (index.size() != text.size())
        index = LineIndex(QByteArrayView(text.data(), text.size()));
    *d->loaded = std::move(text);
    d->loadedIndex = std::move(index);
    if (d->loaded->size() > 0) {
        d->pieces.push_back(Piece{0, d->loaded->size(), d->loadedIndex.lineEnds(), Source::Loaded});
        d->size = d->loaded->size();
        d->lineEnds = d->loadedIndex.lineEnds();
    }
}

TextDocument::~TextDocument() = default;

qint64 TextDocument::size() const
{
    return d->size;
}

qint64 TextDocument::lineCount() const
{
    return d->lineEnds + 1;
}

qint64 TextDocument::lineStart(qint64 line) const
{
    line = std::min(line, d->lineEnds);
    if (line <= 0)
        return 0;
    d->updatePrefix();
    return d->pastLineEnd(line - 1);
}

qint64 TextDocument::lineEnd(qint64 line) const
{
    line = std::clamp<qint64>(line, 0, d->lineEnds);
    if (line == d->lineEnds)
        return d->size;
    d->updatePrefix();
    const qint64 next = d->pastLineEnd(line);
    return next >= 2 && d->at(next - 1) == kLf && d->at(next - 2) == kCr ? next - 2 : next - 1;
}

qint64 TextDocument::lineOf(qint64 position) const
{
    position = std::clamp<qint64>(position, 0, d->size);
    d->updatePrefix();
    const qint64 line = d->lineEndsBeforePosition(position);
    // Between a CR and its LF the line end has begun but the line has not ended.
    return position > 0 && d->at(position) == kLf && d->at(position - 1) == kCr ? line - 1 : line;
}

char TextDocument::at(qint64 position) const
{
    d->updatePrefix();
    return d->at(position);
}

QByteArray TextDocument::bytes(qint64 from, qint64 length) const
{
    from = std::clamp<qint64>(from, 0, d->size);
    length = std::clamp<qint64>(length, 0, d->size - from);
    QByteArray copy(length, Qt::Uninitialized);
    char *out = copy.data();
    visit(from, length, [&out](QByteArrayView stretch) {
        std::memcpy(out, stretch.data(), size_t(stretch.size()));
        out += stretch.size();
        return true;
    });
    return copy;
}

void TextDocument::visit(qint64 from, qint64 length, const std::function<bool(QByteArrayView)> &visit) const
{
    from = std::clamp<qint64>(from, 0, d->size);
    const qint64 to = from + std::clamp<qint64>(length, 0, d->size - from);
    if (from == to)
        return;
    d->updatePrefix();
    for (size_t i = d->pieceAt(from); i < d->pieces.size() && d->bytesBefore[i] < to; ++i) {
        const qint64 start = std::max(from, d->bytesBefore[i]);
        const qint64 end = std::min(to, d->bytesBefore[i + 1]);
        if (!visit(QByteArrayView(d->begin(d->pieces[i]) + (start - d->bytesBefore[i]), end - start)))
            return;
    }
}

std::shared_ptr<const TextSnapshot> TextDocument::snapshot() const
{
    auto snapshot = std::make_shared<TextSnapshot>();
    snapshot->m_loaded = d->loaded;
    // Added text lives in a buffer that growing may move, so it is copied; it is what was typed
    // or pasted, usually small.
    snapshot->m_added = QByteArray(d->added.data(), d->added.size());
    snapshot->m_stretches.reserve(qsizetype(d->pieces.size()));
    for (const Piece &piece : d->pieces) {
        const char *base = piece.source == Source::Loaded ? d->loaded->data() : snapshot->m_added.constData();
        snapshot->m_stretches.append(QByteArrayView(base + piece.offset, piece.length));
    }
    snapshot->m_size = d->size;
    return snapshot;
}

QByteArrayView TextDocument::contiguousView(bool *contiguous) const
{
    const bool whole = d->pieces.size() <= 1;
    if (contiguous)
        *contiguous = whole;
    if (!whole || d->pieces.empty())
        return {};
    return QByteArrayView(d->begin(d->pieces[0]), d->pieces[0].length);
}

void TextDocument::replace(qint64 from, qint64 length, QByteArrayView text, Merge merge)
{
    Store &s = *d;
    from = std::clamp<qint64>(from, 0, s.size);
    length = std::clamp<qint64>(length, 0, s.size - from);
    if (length == 0 && text.isEmpty())
        return;
    const bool wasModified = s.isModified();

    std::vector<Piece> inserted;
    if (!text.isEmpty())
        inserted.push_back(s.append(text));
    Splice splice = s.prepare(from, length, inserted);

    // Where the edit goes in the history, with room made for it, before anything changes.
    Change *into = nullptr;
    bool before = false;
    if (merge == Merge::Typing && s.typingOpen && s.stepDepth == 0) {
        Change &last = s.steps[s.applied - 1].changes.back();
        if (!text.isEmpty())
            into = last.inserted > 0 && from == last.from + last.inserted ? &last : nullptr;
        else if (last.inserted == 0 && (from == last.from || from + length == last.from))
            into = &last; // Delete stays put, Backspace goes left
        before = into && text.isEmpty() && from + length == last.from && from != last.from;
    }
    std::vector<Piece> mergedRemoved;
    Step step;
    Step *open = s.stepDepth > 0 && s.stepOpen ? &s.steps[s.applied - 1] : nullptr;
    if (into)
        mergedRemoved = before ? s.joined(splice.removed, into->removed) : s.joined(into->removed, splice.removed);
    else if (open)
        reserveFor(open->changes, open->changes.size() + 1);
    else {
        step.changes.push_back(Change{from, splice.insertedLength, std::move(splice.removed)});
        reserveFor(s.steps, s.applied + 1);
    }

    // Nothing fails from here on.
    s.commit(splice);
    if (into) {
        into->removed.swap(mergedRemoved);
        into->inserted += splice.insertedLength;
        if (before)
            into->from = from;
    } else if (open) {
        open->changes.push_back(Change{from, splice.insertedLength, std::move(splice.removed)});
    } else {
        s.steps.erase(s.steps.begin() + qsizetype(s.applied), s.steps.end());
        if (s.savePoint > qint64(s.applied))
            s.savePoint = -1;
        s.steps.push_back(std::move(step));
        ++s.applied;
        s.stepOpen = s.stepDepth > 0;
    }
    s.typingOpen = merge == Merge::Typing && s.stepDepth == 0;

    emit changed(from, length, text.size());
    if (s.isModified() != wasModified)
        emit modificationChanged(!wasModified);
}

void TextDocument::beginStep()
{
    if (d->stepDepth++ == 0) {
        d->stepOpen = false;
        d->typingOpen = false;
    }
}

void TextDocument::endStep()
{
    if (d->stepDepth > 0 && --d->stepDepth == 0) {
        d->stepOpen = false;
        d->typingOpen = false;
    }
}

void TextDocument::breakTyping()
{
    d->typingOpen = false;
}

bool TextDocument::canUndo() const
{
    return d->applied > 0;
}

bool TextDocument::canRedo() const
{
    return d->applied < d->steps.size();
}

TextRange TextDocument::undo()
{
    if (!canUndo())
        return {-1, -1};
    return turnStep(false);
}

TextRange TextDocument::redo()
{
    if (!canRedo())
        return {-1, -1};
    return turnStep(true);
}

TextRange TextDocument::turnStep(bool redo)
{
    Store &s = *d;
    const bool wasModified = s.isModified();
    std::vector<Change> &changes = s.steps[redo ? s.applied : s.applied - 1].changes;
    const size_t count = changes.size();
    // Undo runs back through the changes of a step, redo forward.
    const auto order = [&](size_t i) { return redo ? i : count - 1 - i; };
    // Turned, a change becomes the one that turns it back.
    const auto turn = [&](Change &change) {
        Splice splice = s.prepare(change.from, change.inserted, change.removed);
        s.commit(splice);
        const qint64 removed = change.inserted;
        change.inserted = splice.insertedLength;
        change.removed = std::move(splice.removed);
        emit changed(change.from, removed, change.inserted);
        return removed;
    };
    TextRange range{-1, -1};
    size_t done = 0;
    try {
        for (; done < count; ++done) {
            const Change &change = changes[order(done)];
            const qint64 removed = turn(changes[order(done)]);
            const qint64 end = change.from + change.inserted;
            if (range.start < 0)
                range = {change.from, end};
            else
                range = {std::min(change.from, shifted(range.start, change.from, removed, change.inserted)),
                         std::max(end, shifted(range.end, change.from, removed, change.inserted))};
        }
    } catch (...) {
        // The changes turned so far are turned back, with the memory the failed one left.
        while (done > 0)
            turn(changes[order(--done)]);
        throw;
    }
    if (redo)
        ++s.applied;
    else
        --s.applied;
    s.typingOpen = false;
    s.stepOpen = false;
    if (s.isModified() != wasModified)
        emit modificationChanged(!wasModified);
    return range;
}

void TextDocument::clearHistory()
{
    const bool modified = d->isModified();
    d->steps.clear();
    d->applied = 0;
    d->savePoint = modified ? -1 : 0;
    d->typingOpen = false;
    d->stepOpen = false;
}

bool TextDocument::isModified() const
{
    return d->isModified();
}

void TextDocument::setModified(bool modified)
{
    const bool wasModified = d->isModified();
    if (modified) {
        d->forcedModified = true;
    } else {
        d->savePoint = qint64(d->applied);
        d->forcedModified = false;
        d->typingOpen = false;
        d->stepOpen = false;
    }
    if (d->isModified() != wasModified)
        emit modificationChanged(!wasModified);
}
