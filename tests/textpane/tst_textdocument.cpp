#include "textpane/bigbuffer.h"
#include "textpane/lineindex.h"
#include "textpane/textdocument.h"

#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>

// Allocations fail on demand, to see an edit that runs out of memory leave the document alone.
namespace {
long g_allocationsLeft = -1;
}

void *operator new(std::size_t size)
{
    if (g_allocationsLeft >= 0 && g_allocationsLeft-- == 0)
        throw std::bad_alloc();
    if (void *memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}
void operator delete(void *memory) noexcept
{
    std::free(memory);
}
void operator delete(void *memory, std::size_t) noexcept
{
    std::free(memory);
}

namespace {
constexpr qint64 kBlock = LineIndex::kBlockSize;

// Lines as the plain reading of the bytes gives them: where each starts, where its text stops.
struct Lines
{
    std::vector<qint64> starts{0};
    std::vector<qint64> ends;
    qint64 lineOf(qint64 position) const
    {
        return qint64(std::upper_bound(starts.begin(), starts.end(), position) - starts.begin()) - 1;
    }
};

Lines naiveLines(const QByteArray &text)
{
    Lines lines;
    for (qint64 i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.ends.push_back(i);
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        lines.starts.push_back(i + 1);
    }
    lines.ends.push_back(text.size());
    return lines;
}

BigBuffer bufferOf(const QByteArray &text)
{
    BigBuffer buffer(text.size());
    std::memcpy(buffer.data(), text.constData(), size_t(text.size()));
    buffer.setSize(text.size());
    return buffer;
}

// What is wrong with `document` as a holder of `text`, or nothing.
QString mismatch(const TextDocument &document, const QByteArray &text, std::mt19937 &random)
{
    if (document.bytes() != text)
        return QStringLiteral("text %1, expected %2").arg(document.bytes().toHex(), text.toHex());
    if (document.size() != text.size())
        return QStringLiteral("size %1").arg(document.size());
    const Lines lines = naiveLines(text);
    const auto count = qint64(lines.starts.size());
    if (document.lineCount() != count)
        return QStringLiteral("%1 lines, expected %2").arg(document.lineCount()).arg(count);
    const bool all = text.size() <= 300;
    for (qint64 k = 0; k < (all ? count : 60); ++k) {
        const qint64 line = all ? k : qint64(random() % quint64(count));
        if (document.lineStart(line) != lines.starts[size_t(line)] || document.lineEnd(line) != lines.ends[size_t(line)])
            return QStringLiteral("line %1 is [%2, %3), expected [%4, %5)").arg(line).arg(document.lineStart(line))
                .arg(document.lineEnd(line)).arg(lines.starts[size_t(line)]).arg(lines.ends[size_t(line)]);
    }
    for (qint64 k = 0; k <= (all ? text.size() : 60); ++k) {
        const qint64 position = all ? k : qint64(random() % quint64(text.size() + 1));
        if (document.lineOf(position) != lines.lineOf(position))
            return QStringLiteral("position %1 on line %2, expected %3").arg(position).arg(document.lineOf(position))
                .arg(lines.lineOf(position));
    }
    bool contiguous = false;
    const QByteArrayView whole = document.contiguousView(&contiguous);
    if (contiguous && whole != text)
        return QStringLiteral("the contiguous view differs from the text");
    return {};
}

// The document's history told plainly: the whole text after every step.
struct Model
{
    QByteArray text;
    std::vector<QByteArray> states;
    size_t applied = 0;
    qint64 savePoint = 0;
    bool forced = false;
    bool typing = false;
    qint64 typedFrom = 0;
    qint64 typedLength = 0;
    int depth = 0;
    bool groupStepMade = false;

    bool modified() const { return forced || qint64(applied) != savePoint; }
    void replace(qint64 from, qint64 length, const QByteArray &inserted, TextDocument::Merge merge)
    {
        from = std::clamp<qint64>(from, 0, text.size());
        length = std::clamp<qint64>(length, 0, text.size() - from);
        if (length == 0 && inserted.isEmpty())
            return;
        text.replace(from, length, inserted);
        const bool typed = merge == TextDocument::Merge::Typing && depth == 0;
        const bool continues = !inserted.isEmpty() ? typedLength > 0 && from == typedFrom + typedLength
                                                   : typedLength == 0 && (from == typedFrom || from + length == typedFrom);
        if ((typed && typing && continues) || (depth > 0 && groupStepMade)) {
            states[applied] = text;
            typedLength += inserted.size();
            typedFrom = std::min(typedFrom, from);
        } else {
            states.resize(applied + 1);
            if (savePoint > qint64(applied))
                savePoint = -1;
            states.push_back(text);
            ++applied;
            typedFrom = from;
            typedLength = inserted.size();
            groupStepMade = depth > 0;
        }
        typing = typed;
    }
    void move(int direction)
    {
        applied += direction;
        text = states[applied];
        typing = false;
    }
};
} // namespace

class TestTextDocument : public QObject
{
    Q_OBJECT
private slots:
    void lineIndexCountsTheSameWhereverChunksAreCut_data();
    void lineIndexCountsTheSameWhereverChunksAreCut();
    void editsUndoAndSavePointsMatchAPlainString_data();
    void editsUndoAndSavePointsMatchAPlainString();
    void undoGivesTheStretchPutBack();
    void editOutOfMemoryLeavesTheDocumentAsItWas();
    void typingAtTheEndOfABigTextKeepsItInFewPieces();
};

void TestTextDocument::lineIndexCountsTheSameWhereverChunksAreCut_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("crlf, lone cr, lone lf") << QByteArray("a\r\nb\rc\nd\r\r\n\n\r");
    QTest::newRow("nothing but line ends") << QByteArray("\r\n\r\r\n\n\n\r\r");
    QTest::newRow("no line end") << QByteArray("abc\0def", 7);

    // A little over two blocks, with line ends at and across the block edges.
    const auto edges = [](std::initializer_list<std::pair<qint64, char>> bytes) {
        QByteArray text(2 * kBlock + 100, 'x');
        for (const auto &[at, byte] : bytes)
            text[at] = byte;
        return text;
    };
    QTest::newRow("crlf across a block edge") << edges({{kBlock - 1, '\r'}, {kBlock, '\n'}, {2 * kBlock, '\n'}});
    QTest::newRow("cr ends a block, lf opens the next")
        << edges({{kBlock - 2, '\r'}, {kBlock - 1, '\r'}, {kBlock, '\n'}, {2 * kBlock - 1, '\r'}, {2 * kBlock + 1, '\n'}});
    QTest::newRow("lone cr and lf at the edges") << edges({{kBlock - 1, '\r'}, {2 * kBlock - 1, '\n'}, {2 * kBlock, '\r'}});
    std::mt19937 random(7);
    QByteArray dense(2 * kBlock + 99, 'x');
    for (char &byte : dense)
        byte = "\r\n\r\nx"[random() % 5];
    QTest::newRow("dense random line ends") << dense;
}

void TestTextDocument::lineIndexCountsTheSameWhereverChunksAreCut()
{
    QFETCH(QByteArray, text);
    const Lines lines = naiveLines(text);
    const auto lineEnds = qint64(lines.starts.size()) - 1;
    QCOMPARE(countLineEnds(text), lineEnds);

    // Every cut into two chunks of a short text; around the block edges and a block's middle of
    // a long one, where counting turns from one end of a block to the other.
    std::vector<qint64> cuts;
    std::vector<qint64> probes;
    for (qint64 i = 0; i <= text.size(); ++i) {
        const qint64 fromEdge = std::min(i % kBlock, kBlock - i % kBlock);
        if (text.size() < 100 || fromEdge <= 3 || std::abs(i % kBlock - kBlock / 2) <= 2)
            cuts.push_back(i);
    }
    probes = cuts;
    for (const qint64 cut : cuts) {
        for (const qint64 second : {cut, std::min(cut + 1, text.size())}) {
            LineIndex index;
            index.add(text.first(cut));
            index.add(text.sliced(cut, second - cut));
            index.add(text.sliced(second));
            QCOMPARE(index.size(), text.size());
            QVERIFY2(index.lineEnds() == lineEnds, qPrintable(QStringLiteral("cut at %1, %2").arg(cut).arg(second)));
        }
    }
    LineIndex index;
    for (qint64 at = 0; at < text.size(); at += 7)
        index.add(text.sliced(at, std::min<qint64>(7, text.size() - at)));
    for (const qint64 position : probes) {
        const auto before = qint64(std::lower_bound(lines.ends.begin(), lines.ends.end() - 1, position) - lines.ends.begin());
        QVERIFY2(index.lineEndsBefore(text, position) == before, qPrintable(QStringLiteral("before %1").arg(position)));
        if (before < lineEnds)
            QCOMPARE(index.positionPastLineEnd(text, before), lines.starts[size_t(before + 1)]);
    }
    QCOMPARE(index.positionPastLineEnd(text, lineEnds), -1);
    std::vector<qint64> nths{lineEnds / 2, lineEnds - 1};
    for (qint64 nth = 0; nth < std::min<qint64>(lineEnds, 300); ++nth)
        nths.push_back(nth);
    for (const qint64 nth : nths) {
        if (nth >= 0 && nth < lineEnds)
            QCOMPARE(offsetPastLineEnd(text, nth), lines.starts[size_t(nth + 1)]);
    }
    if (text.endsWith('\r'))
        QCOMPARE(offsetPastLineEnd(text, lineEnds - 1, true), text.size() + 1);
}

void TestTextDocument::editsUndoAndSavePointsMatchAPlainString_data()
{
    QTest::addColumn<uint>("seed");
    QTest::addColumn<QList<QByteArray>>("alphabet");
    const QList<QByteArray> endsAndStrays{"\r", "\n", "\r\n", QByteArray(1, '\0'), "\xff", "a", "b\r"};
    const QList<QByteArray> plain{"a", "b", "c", " ", "\n", "de"};
    for (uint seed : {1u, 2u, 3u})
        QTest::addRow("line ends, nul and stray bytes %u", seed) << seed << endsAndStrays;
    for (uint seed : {4u, 5u})
        QTest::addRow("plain %u", seed) << seed << plain;
}

void TestTextDocument::editsUndoAndSavePointsMatchAPlainString()
{
    QFETCH(uint, seed);
    QFETCH(QList<QByteArray>, alphabet);
    std::mt19937 random(seed);
    const auto below = [&random](qint64 n) { return n > 0 ? qint64(random() % quint64(n)) : 0; };
    const auto word = [&](int most) {
        QByteArray text;
        for (qint64 n = below(most + 1); n > 0; --n)
            text += alphabet[below(alphabet.size())];
        return text;
    };

    Model model;
    model.text = word(120);
    model.states = {model.text};
    TextDocument document(bufferOf(model.text), LineIndex(model.text));
    QByteArray told = model.text;
    connect(&document, &TextDocument::changed, this, [&](qint64 from, qint64 removed, qint64 inserted) {
        told.replace(from, removed, document.bytes(from, inserted));
    });
    bool modifiedTold = false;
    int flagTurnsMissed = 0;
    connect(&document, &TextDocument::modificationChanged, this, [&](bool modified) {
        flagTurnsMissed += modified == modifiedTold;
        modifiedTold = modified;
    });

    qint64 caret = 0;
    const auto edit = [&](qint64 from, qint64 length, const QByteArray &text, TextDocument::Merge merge) {
        document.replace(from, length, text, merge);
        model.replace(from, length, text, merge);
    };
    const auto type = [&](int kind) {
        const auto typing = TextDocument::Merge::Typing;
        caret = std::min(caret, qint64(model.text.size()));
        const QByteArray letter = alphabet[below(alphabet.size())];
        if (kind == 0) {
            edit(caret, 0, letter, typing);
            caret += letter.size();
        } else if (kind == 1 && caret > 0) {
            edit(--caret, 1, {}, typing);
        } else if (kind == 2) {
            edit(caret, 1, {}, typing);
        } else {
            edit(caret, 1, letter, typing);
            caret += letter.size();
        }
    };

    for (int operation = 0; operation < 2500; ++operation) {
        const qint64 size = model.text.size();
        const qint64 choice = below(100);
        QString done;
        if (choice < 20) {
            const qint64 from = below(size + 1);
            const qint64 length = below(std::min<qint64>(size - from, size > 400 ? 60 : 6) + 1);
            const QByteArray text = word(size > 400 ? 1 : 4);
            edit(from, length, text, below(2) ? TextDocument::Merge::Typing : TextDocument::Merge::No);
            done = QStringLiteral("replace %1 %2 %3").arg(from).arg(length).arg(text.toHex());
        } else if (choice < 60) {
            type(int(below(4)));
            done = QStringLiteral("typing at %1").arg(caret);
        } else if (choice < 66) {
            caret = below(size + 1);
            if (below(2)) {
                document.breakTyping();
                model.typing = false;
            }
            done = QStringLiteral("caret to %1").arg(caret);
        } else if (choice < 78) {
            QCOMPARE(document.canUndo(), model.applied > 0);
            if (document.canUndo()) {
                document.undo();
                model.move(-1);
            }
            done = QStringLiteral("undo");
        } else if (choice < 86) {
            QCOMPARE(document.canRedo(), model.applied + 1 < model.states.size());
            if (document.canRedo()) {
                document.redo();
                model.move(+1);
            }
            done = QStringLiteral("redo");
        } else if (choice < 92) {
            const bool modified = below(4) == 0;
            document.setModified(modified);
            if (modified) {
                model.forced = true;
            } else {
                model.forced = model.typing = false;
                model.savePoint = qint64(model.applied);
            }
            done = QStringLiteral("modified set %1").arg(modified);
        } else if (choice < 99) {
            // A step of several edits, a nested step among them.
            const qint64 count = 1 + below(4);
            for (qint64 k = 0; k < count; ++k) {
                document.beginStep();
                ++model.depth;
                if (below(2))
                    type(int(below(4)));
                else
                    edit(below(model.text.size() + 1), below(3), word(2), TextDocument::Merge::No);
            }
            for (qint64 k = 0; k < count; ++k) {
                document.endStep();
                --model.depth;
            }
            model.typing = model.groupStepMade = false;
            done = QStringLiteral("step of %1 edits").arg(count);
        } else {
            document.clearHistory();
            model.states = {model.text};
            model.savePoint = model.modified() ? -1 : 0;
            model.applied = 0;
            model.typing = false;
            done = QStringLiteral("history cleared");
        }
        const QString why = mismatch(document, model.text, random);
        QVERIFY2(why.isEmpty(), qPrintable(QStringLiteral("after %1 (#%2): %3").arg(done).arg(operation).arg(why)));
        QVERIFY2(document.isModified() == model.modified(), qPrintable(QStringLiteral("modified after %1 (#%2)").arg(done).arg(operation)));
        QVERIFY2(told == model.text, qPrintable(QStringLiteral("changed() misreported %1 (#%2)").arg(done).arg(operation)));
        QVERIFY2(modifiedTold == model.modified() && flagTurnsMissed == 0,
                 qPrintable(QStringLiteral("modificationChanged() after %1 (#%2)").arg(done).arg(operation)));
    }
}

void TestTextDocument::undoGivesTheStretchPutBack()
{
    TextDocument document(bufferOf("one\r\ntwo"), LineIndex(QByteArrayView("one\r\ntwo")));
    for (const char *letter : {"x", "y", "z"})
        document.insert(document.size(), letter, TextDocument::Merge::Typing);
    document.remove(0, 5);
    QCOMPARE(document.undo(), (TextRange{0, 5}));
    QCOMPARE(document.undo(), (TextRange{8, 8}));
    QVERIFY2(!document.canUndo(), "typing at one place is one step");
    QCOMPARE(document.redo(), (TextRange{8, 11}));
    bool contiguous = false;
    document.undo();
    QCOMPARE(document.contiguousView(&contiguous), QByteArrayView("one\r\ntwo"));
    QVERIFY2(contiguous, "undoing every edit gives back the loaded text whole");
}

void TestTextDocument::editOutOfMemoryLeavesTheDocumentAsItWas()
{
    const QByteArray text = "ab\ncd\ref\n";
    TextDocument document(bufferOf(text), LineIndex(text));
    document.insert(2, "X", TextDocument::Merge::Typing);
    const QByteArray before = document.bytes();
    std::mt19937 random(1);
    // Each allocation fails in turn till the edit goes through: a CR typed before a loaded LF,
    // which needs a piece of its own for the pair, merged into the typing before it.
    for (long fail = 0;; ++fail) {
        g_allocationsLeft = fail;
        try {
            document.insert(3, "\r", TextDocument::Merge::Typing);
            g_allocationsLeft = -1;
            break;
        } catch (const std::bad_alloc &) {
            g_allocationsLeft = -1;
        }
        const QString why = mismatch(document, before, random);
        QVERIFY2(why.isEmpty(), qPrintable(QStringLiteral("allocation %1 failed: %2").arg(fail).arg(why)));
        QCOMPARE(document.canRedo(), false);
    }
    QCOMPARE(document.bytes(), QByteArray("abX\r\ncd\ref\n"));
    QCOMPARE(document.lineCount(), 4);
    document.undo();
    QCOMPARE(document.bytes(), text);
    QVERIFY2(!document.canUndo(), "the failed tries left the typing to merge into");
}

void TestTextDocument::typingAtTheEndOfABigTextKeepsItInFewPieces()
{
    QByteArray text;
    for (int line = 0; text.size() < 3 * 1024 * 1024; ++line)
        text += QByteArray::number(line) + (line % 3 ? "\n" : "\r\n");
    text += '\r';
    LineIndex index;
    for (qint64 at = 0; at < text.size(); at += 100000)
        index.add(text.sliced(at, std::min<qint64>(100000, text.size() - at)));
    TextDocument document(bufferOf(text), std::move(index));
    const Lines lines = naiveLines(text);
    QCOMPARE(document.lineCount(), qint64(lines.starts.size()));
    for (const qint64 line : {qint64(1), qint64(77777), qint64(lines.starts.size()) - 2})
        QCOMPARE(document.lineStart(line), lines.starts[size_t(line)]);

    for (int i = 0; i < 1000; ++i)
        document.insert(document.size(), i % 10 ? "x" : "\n", TextDocument::Merge::Typing);
    for (int i = 0; i < 100; ++i)
        document.insert(1000 + i, "y", TextDocument::Merge::Typing);
    // The loaded text either side of the y's, the y's, and what was typed at the end.
    int stretches = 0;
    document.visit(0, document.size(), [&stretches](QByteArrayView) { return ++stretches; });
    QCOMPARE(stretches, 4);
    // The first line feed typed joins the loaded text's last CR.
    QCOMPARE(document.lineCount(), qint64(lines.starts.size()) + 99);
}

QTEST_GUILESS_MAIN(TestTextDocument)
#include "tst_textdocument.moc"
