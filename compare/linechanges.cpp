#include "compare/linechanges.h"

#include "compare/linediff.h"
#include "textpane/utf8.h"

#include <algorithm>
#include <unordered_map>

namespace {

// Past this many characters on both sides between the common start and end, the middle is
// marked whole: a minimal diff of two long, unrelated lines costs too much for a paint.
constexpr qsizetype kMaxMiddle = 512;

struct Characters
{
    std::vector<char32_t> codes;   // a code point, or 0x110000 plus a stray byte
    std::vector<qint64> starts;    // each character's byte offset, and the line's length last
};

Characters charactersOf(QByteArrayView line)
{
    Characters characters;
    const auto *p = reinterpret_cast<const uchar *>(line.data());
    for (qint64 at = 0; at < line.size();) {
        char32_t code = 0;
        int length = decodeUtf8(p + at, line.size() - at, &code);
        if (length == 0) {
            code = 0x110000 + p[at];
            length = 1;
        }
        characters.codes.push_back(code);
        characters.starts.push_back(at);
        at += length;
    }
    characters.starts.push_back(line.size());
    return characters;
}

void addStretch(ByteStretches &stretches, const Characters &characters, qsizetype first, qsizetype count)
{
    if (count > 0)
        stretches.emplace_back(characters.starts[size_t(first)], characters.starts[size_t(first + count)]);
}

} // namespace

LineChanges lineChanges(QByteArrayView left, QByteArrayView right)
{
    const Characters a = charactersOf(left);
    const Characters b = charactersOf(right);
    const qsizetype sizeA = qsizetype(a.codes.size());
    const qsizetype sizeB = qsizetype(b.codes.size());
    qsizetype head = 0;
    while (head < sizeA && head < sizeB && a.codes[size_t(head)] == b.codes[size_t(head)])
        ++head;
    qsizetype tail = 0;
    while (tail < sizeA - head && tail < sizeB - head
           && a.codes[size_t(sizeA - 1 - tail)] == b.codes[size_t(sizeB - 1 - tail)])
        ++tail;
    const qsizetype middleA = sizeA - head - tail;
    const qsizetype middleB = sizeB - head - tail;

    LineChanges changes;
    if (middleA > kMaxMiddle || middleB > kMaxMiddle || middleA == 0 || middleB == 0) {
        addStretch(changes.left, a, head, middleA);
        addStretch(changes.right, b, head, middleB);
        return changes;
    }
    // The diff wants small ids, so the characters are numbered in order of first appearance.
    std::unordered_map<char32_t, std::uint32_t> ids;
    auto idsOf = [&ids](const Characters &characters, qsizetype from, qsizetype count) {
        std::vector<std::uint32_t> out;
        out.reserve(size_t(count));
        for (qsizetype i = from; i < from + count; ++i)
            out.push_back(ids.try_emplace(characters.codes[size_t(i)], std::uint32_t(ids.size())).first->second);
        return out;
    };
    const std::vector<std::uint32_t> idsA = idsOf(a, head, middleA);
    const std::vector<std::uint32_t> idsB = idsOf(b, head, middleB);
    for (const DiffHunk &hunk : diffLinesMinimal(idsA, idsB)) {
        addStretch(changes.left, a, head + hunk.leftStart, hunk.leftCount);
        addStretch(changes.right, b, head + hunk.rightStart, hunk.rightCount);
    }
    return changes;
}
