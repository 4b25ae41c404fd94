#include "find/textsearch.h"

#include <QChar>
#include <QList>

#include <algorithm>
#include <bit>
#include <unordered_map>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr char32_t kReplacement = 0xFFFD;
// The longest UTF-8 sequence: as far as a whole word's neighbours are read on either side.
constexpr qint64 kNeighbourBytes = 4;
// Every character with a case lies below this; the supplementary planes above have none.
constexpr char32_t kLastCased = 0x1FFFF;

char32_t fold(char32_t c)
{
    return QChar::toCaseFolded(c);
}

QByteArray encode(char32_t c)
{
    return QStringView(QChar::fromUcs4(c)).toUtf8();
}

// The length of the sequence a lead byte starts, or 0 for a byte that starts none.
int sequenceLength(uchar lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead < 0xE0)
        return 2;
    if (lead >= 0xE0 && lead < 0xF0)
        return 3;
    if (lead >= 0xF0 && lead < 0xF5)
        return 4;
    return 0;
}

// The character whose sequence starts at `at`, or the replacement character where no valid one
// does.
char32_t decodeAt(const uchar *text, qint64 size, qint64 at)
{
    const int length = sequenceLength(text[at]);
    if (length == 0 || at + length > size)
        return kReplacement;
    static constexpr uchar kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t c = text[at] & kLeadBits[length];
    for (int i = 1; i < length; ++i) {
        if ((text[at + i] & 0xC0) != 0x80)
            return kReplacement;
        c = (c << 6) | (text[at + i] & 0x3F);
    }
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000}; // shorter forms are not UTF-8
    return c >= kLeast[length] && c <= 0x10FFFF ? c : kReplacement;
}

bool isWordCharacter(char32_t c)
{
    if (c < 0x80)
        return c == '_' || (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
    return c != kReplacement && (QChar::isLetterOrNumber(c) || QChar::isMark(c));
}

// The character that ends just before `at`, or none at the start.
bool wordCharacterBefore(const uchar *text, qint64 at)
{
    if (at == 0)
        return false;
    qint64 lead = at - 1;
    while (lead > 0 && at - lead < 4 && (text[lead] & 0xC0) == 0x80)
        --lead;
    const int length = sequenceLength(text[lead]);
    return lead + length == at && isWordCharacter(decodeAt(text, at, lead));
}

// Characters by their case folding, for those whose folding is another character.
const std::unordered_multimap<char32_t, char32_t> &foldedFrom()
{
    static const auto table = [] {
        std::unordered_multimap<char32_t, char32_t> map;
        for (char32_t c = 0; c <= kLastCased; ++c) {
            if ((c < 0xD800 || c > 0xDFFF) && fold(c) != c)
                map.emplace(fold(c), c);
        }
        return map;
    }();
    return table;
}

// The UTF-8 forms a needle character may take in the text.
std::vector<QByteArray> formsOf(char32_t c, bool matchCase)
{
    const QByteArray own = encode(c);
    if (matchCase)
        return {own};
    const char32_t folded = fold(c);
    std::vector<char32_t> candidates{folded};
    const auto [first, last] = foldedFrom().equal_range(folded);
    for (auto it = first; it != last; ++it)
        candidates.push_back(it->second);
    std::vector<QByteArray> forms;
    for (char32_t candidate : candidates) {
        QByteArray form = encode(candidate);
        if (form.size() == own.size())
            forms.push_back(std::move(form));
    }
    return forms;
}

} // namespace

TextSearch::TextSearch(const QString &needle, SearchOptions options)
    : m_needle(needle), m_options(options)
{
    for (char32_t c : needle.toUcs4()) { // a lone surrogate has no UTF-8 form
        if (c >= 0xD800 && c <= 0xDFFF)
            c = kReplacement;
        const qint64 offset = m_bytes.size();
        const std::vector<QByteArray> forms = formsOf(c, options.matchCase);
        m_bytes += forms.front();
        m_allowed.resize(m_bytes.size());
        for (const QByteArray &form : forms) {
            for (qsizetype i = 0; i < form.size(); ++i)
                m_allowed[offset + i].set(uchar(form[i]));
        }
        // Sets of bytes per position also let through mixtures of two forms.
        if (forms.size() > 1 && forms.front().size() > 1)
            m_verify.push_back({offset, forms.front().size(), fold(c)});
    }

    const qint64 m = m_bytes.size();
    m_forwardShift.fill(m);
    m_backwardShift.fill(m);
    for (qint64 i = 0; i + 1 < m; ++i) {
        for (int b = 0; b < 256; ++b) {
            if (m_allowed[i][b])
                m_forwardShift[b] = m - 1 - i;
        }
    }
    for (qint64 i = m - 1; i >= 1; --i) {
        for (int b = 0; b < 256; ++b) {
            if (m_allowed[i][b])
                m_backwardShift[b] = i;
        }
    }
}

TextMatch TextSearch::find(QByteArrayView text, qint64 begin, qint64 end, SearchDirection direction) const
{
    const qint64 m = m_bytes.size();
    begin = std::max<qint64>(begin, 0);
    end = std::min<qint64>(end, text.size());
    if (m == 0 || end - begin < m)
        return {};
    const auto *data = reinterpret_cast<const uchar *>(text.data());
    const qint64 size = text.size();
    const bool forward = direction == SearchDirection::Forward;
    qint64 low = begin;       // the first window start not yet looked at
    qint64 high = end - m;    // the last one

#if defined(__SSE2__)
    // Sixteen windows at a time by their first and last bytes, where each takes at most two
    // values: far fewer steps than the shifts below, which wait on each other's loads.
    const auto pair = [](const std::bitset<256> &allowed, __m128i &a, __m128i &b) {
        int values[2] = {-1, -1};
        int count = 0;
        for (int v = 0; v < 256; ++v) {
            if (allowed[v] && count++ < 2)
                values[count - 1] = v;
        }
        a = _mm_set1_epi8(char(values[0]));
        b = _mm_set1_epi8(char(values[count > 1 ? 1 : 0]));
        return count <= 2;
    };
    __m128i first0, first1, last0, last1;
    if (pair(m_allowed[0], first0, first1) && pair(m_allowed[m - 1], last0, last1)) {
        constexpr qint64 kBlock = 16;
        const auto candidates = [&](qint64 at) {
            const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + at));
            const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + at + m - 1));
            const __m128i both = _mm_and_si128(
                _mm_or_si128(_mm_cmpeq_epi8(head, first0), _mm_cmpeq_epi8(head, first1)),
                _mm_or_si128(_mm_cmpeq_epi8(tail, last0), _mm_cmpeq_epi8(tail, last1)));
            return unsigned(_mm_movemask_epi8(both));
        };
        for (; high - low + 1 >= kBlock; forward ? low += kBlock : high -= kBlock) {
            const qint64 block = forward ? low : high - kBlock + 1;
            for (unsigned bits = candidates(block); bits;) {
                const int i = forward ? std::countr_zero(bits) : 31 - std::countl_zero(bits);
                if (matchesAt(data, size, block + i))
                    return {block + i, m};
                bits &= ~(1u << i);
            }
        }
    }
#endif

    if (forward) {
        const std::bitset<256> &lastAllowed = m_allowed[m - 1];
        for (qint64 at = low; at <= high;) {
            const uchar b = data[at + m - 1];
            if (lastAllowed[b] && matchesAt(data, size, at))
                return {at, m};
            at += m_forwardShift[b];
        }
    } else {
        const std::bitset<256> &firstAllowed = m_allowed[0];
        for (qint64 at = high; at >= low;) {
            const uchar b = data[at];
            if (firstAllowed[b] && matchesAt(data, size, at))
                return {at, m};
            at -= m_backwardShift[b];
        }
    }
    return {};
}

TextMatch TextSearch::find(std::span<const QByteArrayView> stretches, qint64 begin, qint64 end,
                           SearchDirection direction) const
{
    if (stretches.size() == 1)
        return find(stretches.front(), begin, end, direction);
    const qint64 m = m_bytes.size();
    std::vector<qint64> starts{0};
    starts.reserve(stretches.size() + 1);
    for (const QByteArrayView stretch : stretches)
        starts.push_back(starts.back() + stretch.size());
    const qint64 size = starts.back();
    begin = std::max<qint64>(begin, 0);
    end = std::min<qint64>(end, size);
    if (m == 0 || end - begin < m)
        return {};

    // The window starts fall into runs, in order: those whose window and neighbours lie in one
    // stretch, searched in place, and those between them, about the seams, searched in a copy of
    // their bytes and their neighbours'. A stretch too short for a run of its own lies in one of
    // the copies whole.
    struct Run
    {
        qint64 first;
        qint64 last;
        qsizetype stretch; // -1 for a copy
    };
    std::vector<Run> runs;
    runs.reserve(2 * stretches.size() + 1);
    qint64 next = 0; // the first window start not in a run yet
    for (qsizetype i = 0; i < qsizetype(stretches.size()); ++i) {
        // At the text's own ends a window has all the neighbours it has anywhere.
        const qint64 first = starts[i] + (starts[i] > 0 ? kNeighbourBytes : 0);
        const qint64 last = starts[i + 1] - m - (starts[i + 1] < size ? kNeighbourBytes : 0);
        if (first > last)
            continue;
        if (next < first)
            runs.push_back({next, first - 1, -1});
        runs.push_back({first, last, i});
        next = last + 1;
    }
    if (next <= size - m)
        runs.push_back({next, size - m, -1});

    const bool forward = direction == SearchDirection::Forward;
    QByteArray copy;
    for (size_t k = 0; k < runs.size(); ++k) {
        const Run &run = runs[forward ? k : runs.size() - 1 - k];
        const qint64 first = std::max(run.first, begin);
        const qint64 last = std::min(run.last, end - m);
        if (first > last)
            continue;
        QByteArrayView text;
        qint64 offset = 0; // of `text` in the whole
        if (run.stretch >= 0) {
            text = stretches[run.stretch];
            offset = starts[run.stretch];
        } else {
            offset = std::max<qint64>(0, first - kNeighbourBytes);
            const qint64 to = std::min(size, last + m + kNeighbourBytes);
            copy.resize(to - offset);
            char *out = copy.data();
            auto i = qsizetype(std::upper_bound(starts.begin(), starts.end(), offset) - starts.begin()) - 1;
            for (qint64 at = offset; at < to; ++i) {
                const qint64 from = at - starts[i];
                const qint64 length = std::min(starts[i + 1], to) - at;
                std::copy_n(stretches[i].data() + from, length, out);
                out += length;
                at += length;
            }
            text = copy;
        }
        const TextMatch found = find(text, first - offset, last + m - offset, direction);
        if (found.found())
            return {found.start + offset, m};
    }
    return {};
}

bool TextSearch::matchesAt(const uchar *text, qint64 size, qint64 at) const
{
    const qint64 m = m_bytes.size();
    for (qint64 i = 0; i < m; ++i) {
        if (!m_allowed[i][text[at + i]])
            return false;
    }
    for (const Folded &c : m_verify) {
        if (sequenceLength(text[at + c.offset]) != c.length || fold(decodeAt(text, size, at + c.offset)) != c.fold)
            return false;
    }
    if (m_options.wholeWord) {
        if (wordCharacterBefore(text, at))
            return false;
        if (at + m < size && isWordCharacter(decodeAt(text, size, at + m)))
            return false;
    }
    return true;
}
