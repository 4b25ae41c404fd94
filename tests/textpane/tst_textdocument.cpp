#include "tests/support/failingallocation.h"
#include "textpane/bigbuffer.h"
#include "textpane/lineindex.h"
#include "textpane/textdocument.h"

#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <random>


namespace {
constexpr qint64 kBlock = LineIndex::kBlockSize;
using enum TextDocument::Merge;

// Lines as a plain reading of the bytes gives them: where each starts, where its text stops.
struct Lines
{
    std::vector<qint64> starts{0};
    std::vector<qint64> ends;
    explicit Lines(const QByteArray &text)
    {
        for (qint64 i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' || text[i] == '\n') {
                ends.push_back(i);
                i += text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
                starts.push_back(i + 1);
            }
        }
        ends.push_back(text.size());
    }
    qint64 lineOf(qint64 at) const { return qint64(std::upper_bound(starts.begin(), starts.end(), at) - starts.begin()) - 1; }
};

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
    if (document.bytes() != text || document.size() != text.size())
        return QStringLiteral("text %1, expected %2").arg(document.bytes().toHex(), text.toHex());
    const Lines lines(text);
    if (document.lineCount() != qint64(lines.starts.size()))
        return QStringLiteral("%1 lines").arg(document.lineCount());
    // Every position of a short text, a sample of a longer one.
    const bool all = text.size() <= 300;
    for (qint64 k = 0; k <= (all ? text.size() : 60); ++k) {
        const qint64 at = all ? k : qint64(random() % (text.size() + 1));
        const qint64 line = lines.lineOf(at);
        if (document.lineOf(at) != line || document.lineStart(line) != lines.starts[size_t(line)]
            || document.lineEnd(line) != lines.ends[size_t(line)])
            return QStringLiteral("position %1 on line %2 of [%3, %4)").arg(at).arg(document.lineOf(at))
                .arg(document.lineStart(line)).arg(document.lineEnd(line));
    }
    bool contiguous = false;
    if (document.contiguousView(&contiguous) != text && contiguous)
        return QStringLiteral("the contiguous view differs");
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
    bool stepMade = false;

    bool modified() const { return forced || qint64(applied) != savePoint; }
    void replace(qint64 from, qint64 length, const QByteArray &inserted, TextDocument::Merge merge)
    {
        from = std::clamp<qint64>(from, 0, text.size());
        length = std::clamp<qint64>(length, 0, text.size() - from);
        if (length == 0 && inserted.isEmpty())
            return;
        text.replace(from, length, inserted);
        const bool typed = merge == Typing && depth == 0;
        // Typing goes on after what it typed; Delete stays put, Backspace goes left.
        const bool goesOn = !inserted.isEmpty() ? typedLength > 0 && from == typedFrom + typedLength
                                                : typedLength == 0 && (from == typedFrom || from + length == typedFrom);
        if ((typed && typing && goesOn) || (depth > 0 && stepMade)) {
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
            stepMade = depth > 0;
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
    void bytesAddedAfterALoadKeepItInOnePiece_data();
    void bytesAddedAfterALoadKeepItInOnePiece();
    void editOutOfMemoryLeavesTheDocumentAsItWas_data();
    void editOutOfMemoryLeavesTheDocumentAsItWas();
    void typingIntoABigGrownTextKeepsItInFewPiecesAndOneStepEach();
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
    QTest::newRow("nothing but line feeds") << QByteArray(2 * kBlock + 50, '\n');
}

void TestTextDocument::lineIndexCountsTheSameWhereverChunksAreCut()
{
    QFETCH(QByteArray, text);
    const Lines lines(text);
    const auto lineEnds = qint64(lines.starts.size()) - 1;
    QCOMPARE(countLineEnds(text), lineEnds);
    // Every cut of a short text; around the block edges and middles of a long one, where a
    // count turns from one end of a block to the other.
    std::vector<qint64> cuts;
    for (qint64 i = 0; i <= text.size(); ++i) {
        if (text.size() < 100 || std::min(i % kBlock, kBlock - i % kBlock) <= 3 || std::abs(i % kBlock - kBlock / 2) <= 2)
            cuts.push_back(i);
    }
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
    for (const qint64 at : cuts) {
        const auto before = qint64(std::lower_bound(lines.ends.begin(), lines.ends.end() - 1, at) - lines.ends.begin());
        QVERIFY2(index.lineEndsBefore(text, at) == before, qPrintable(QStringLiteral("before %1").arg(at)));
        if (before < lineEnds)
            QCOMPARE(index.positionPastLineEnd(text, before), lines.starts[size_t(before + 1)]);
    }
    QCOMPARE(index.positionPastLineEnd(text, lineEnds), -1);
    for (qint64 nth = 0; nth < lineEnds; nth += nth < 300 ? 1 : lineEnds / 3)
        QCOMPARE(offsetPastLineEnd(text, nth), lines.starts[size_t(nth + 1)]);
    if (text.endsWith('\r'))
        QCOMPARE(offsetPastLineEnd(text, lineEnds - 1, true), text.size() + 1);
}

void TestTextDocument::editsUndoAndSavePointsMatchAPlainString_data()
{
    QTest::addColumn<uint>("seed");
    QTest::addColumn<QList<QByteArray>>("alphabet");
    QTest::addColumn<qint64>("room"); // left in the loaded buffer past the text; -1: what its page leaves
    const QList<QByteArray> endsAndStrays{"\r", "\n", "\r\n", QByteArray(1, '\0'), "\xff", "a", "b\r"};
    const QList<QByteArray> plain{"a", "b", "c", " ", "\n", "de"};
    // The page's room takes the edits for a while, then the add buffer goes on.
    QTest::newRow("line ends, nul and stray bytes 1") << 1u << endsAndStrays << qint64(-1);
    QTest::newRow("line ends, nul and stray bytes 2, no room") << 2u << endsAndStrays << qint64(0);
    QTest::newRow("line ends, nul and stray bytes 3, little room") << 3u << endsAndStrays << qint64(3);
    QTest::newRow("plain 4") << 4u << plain << qint64(-1);
    QTest::newRow("plain 5, little room") << 5u << plain << qint64(40);
}

void TestTextDocument::editsUndoAndSavePointsMatchAPlainString()
{
    QFETCH(uint, seed);
    QFETCH(QList<QByteArray>, alphabet);
    QFETCH(qint64, room);
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
    BigBuffer loaded = bufferOf(model.text);
    const qint64 taken = room < 0 ? 0 : loaded.capacity() - loaded.size() - room;
    TextDocument document(std::move(loaded), LineIndex(model.text));
    if (taken > 0) {
        // Bytes added once stay written, whatever is undone or forgotten.
        document.insert(document.size(), QByteArray(taken, 'z'));
        document.undo();
        document.clearHistory();
    }
    QByteArray told = model.text;
    connect(&document, &TextDocument::changed, this, [&](qint64 from, qint64 removed, qint64 inserted) {
        told.replace(from, removed, document.bytes(from, inserted));
    });
    bool modifiedTold = false;
    int turnsMissed = 0;
    connect(&document, &TextDocument::modificationChanged, this, [&](bool modified) {
        turnsMissed += modified == modifiedTold;
        modifiedTold = modified;
    });

    const auto edit = [&](qint64 from, qint64 length, const QByteArray &text, TextDocument::Merge merge) {
        document.replace(from, length, text, merge);
        model.replace(from, length, text, merge);
    };
    // Typing, Backspace, Delete, or overtype at the caret.
    qint64 caret = 0;
    const auto type = [&](qint64 key) {
        caret = std::min(caret, qint64(model.text.size()));
        const QByteArray letter = key == 0 || key == 3 ? alphabet[below(alphabet.size())] : QByteArray();
        caret -= key == 1 && caret > 0;
        edit(caret, key == 0 ? 0 : 1, letter, Typing);
        caret += letter.size();
    };

    for (int operation = 0; operation < 2500; ++operation) {
        const qint64 size = model.text.size();
        const qint64 choice = below(100);
        const char *done = "typing";
        if (choice < 20) {
            const qint64 from = below(size + 1);
            edit(from, below(std::min<qint64>(size - from, size > 400 ? 60 : 6) + 1), word(size > 400 ? 1 : 4),
                 below(2) ? Typing : No);
            done = "replace";
        } else if (choice < 60) {
            type(below(4));
        } else if (choice < 66) {
            caret = below(size + 1);
            if (below(2)) {
                document.breakTyping();
                model.typing = false;
            }
            done = "caret moved";
        } else if (choice < 86) {
            const bool back = choice < 78;
            const bool can = back ? document.canUndo() : document.canRedo();
            QCOMPARE(can, back ? model.applied > 0 : model.applied + 1 < model.states.size());
            if (can) {
                back ? document.undo() : document.redo();
                model.move(back ? -1 : 1);
            }
            done = back ? "undo" : "redo";
        } else if (choice < 92) {
            const bool modified = below(4) == 0;
            document.setModified(modified);
            model.forced = modified;
            if (!modified) {
                model.typing = false;
                model.savePoint = qint64(model.applied);
            }
            done = "modified set";
        } else if (choice < 99) {
            // A step of several edits, with steps nested in it.
            const int depth = 1 + int(below(4));
            for (model.depth = 1; model.depth <= depth; ++model.depth) {
                document.beginStep();
                if (below(2))
                    type(below(4));
                else
                    edit(below(model.text.size() + 1), below(3), word(2), No);
            }
            for (int k = 0; k < depth; ++k)
                document.endStep();
            model.depth = 0;
            model.typing = model.stepMade = false;
            done = "step";
        } else {
            document.clearHistory();
            model.states = {model.text};
            model.savePoint = model.modified() ? -1 : 0;
            model.applied = 0;
            model.typing = false;
            done = "history cleared";
        }
        const QString why = mismatch(document, model.text, random);
        const QString after = QStringLiteral(" after %1 (#%2)").arg(done).arg(operation);
        QVERIFY2(why.isEmpty(), qPrintable(why + after));
        QVERIFY2(document.isModified() == model.modified(), qPrintable("modified" + after));
        QVERIFY2(told == model.text, qPrintable("changed() misreported" + after));
        QVERIFY2(modifiedTold == model.modified() && turnsMissed == 0, qPrintable("modificationChanged()" + after));
    }
}

void TestTextDocument::bytesAddedAfterALoadKeepItInOnePiece_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("added");
    QTest::newRow("cr after a text") << QByteArray("ab\ncd") << QByteArray("\r");
    QTest::newRow("lf after a cr that ended the text") << QByteArray("ab\r") << QByteArray("\nc");
    QTest::newRow("cr after an empty text") << QByteArray() << QByteArray("\r");
}

void TestTextDocument::bytesAddedAfterALoadKeepItInOnePiece()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, added);
    TextDocument document(bufferOf(text), LineIndex(text));
    document.insert(text.size(), added);
    bool contiguous = false;
    QCOMPARE(document.contiguousView(&contiguous), text + added);
    QVERIFY2(contiguous, "the added bytes join the loaded piece");
    std::mt19937 random(1);
    QString why = mismatch(document, text + added, random);
    QVERIFY2(why.isEmpty(), qPrintable(why));
    document.undo();
    why = mismatch(document, text, random);
    QVERIFY2(why.isEmpty(), qPrintable("undone: " + why));
    document.redo();
    QCOMPARE(document.contiguousView(&contiguous), text + added);
    QVERIFY2(contiguous, "redone, the added bytes join the loaded piece again");
}

void TestTextDocument::editOutOfMemoryLeavesTheDocumentAsItWas_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QByteArray>("turnedBack");
    // The CR needs a piece of its own for the pair, and merges into the typing before it.
    QTest::newRow("cr typed before a loaded lf") << 0 << QByteArray("abX\r\ncd\ref\n") << QByteArray("ab\ncd\ref\n");
    QTest::newRow("replacement across pieces") << 1 << QByteArray("aQQ\rd\ref\n") << QByteArray("abX\ncd\ref\n");
    QTest::newRow("undo of a step of two edits") << 2 << QByteArray("abX\ncd\ref\n") << QByteArray("\nabX\n\ref\n");
}

void TestTextDocument::editOutOfMemoryLeavesTheDocumentAsItWas()
{
    QFETCH(int, action);
    QFETCH(QByteArray, after);
    QFETCH(QByteArray, turnedBack);
    // Each try on a document made afresh, so that each allocation of the action fails in turn.
    const auto made = [action] {
        const QByteArray text = "ab\ncd\ref\n";
        auto document = std::make_unique<TextDocument>(bufferOf(text), LineIndex(text));
        document->insert(2, "X", Typing);
        if (action == 2) {
            document->beginStep();
            document->remove(4, 2);
            document->insert(0, "\n");
            document->endStep();
        }
        return document;
    };
    std::unique_ptr<TextDocument> document = made();
    const QByteArray before = document->bytes();
    std::mt19937 random(1);
    for (long fail = 0;; ++fail) {
        document = made();
        g_allocationsLeft = fail;
        try {
            action == 0 ? document->insert(3, "\r", Typing) : action == 1 ? document->replace(1, 4, "QQ\r") : void(document->undo());
            g_allocationsLeft = -1;
            break;
        } catch (const std::bad_alloc &) {
            g_allocationsLeft = -1;
        }
        const QString why = mismatch(*document, before, random);
        QVERIFY2(why.isEmpty(), qPrintable(QStringLiteral("allocation %1 failed: %2").arg(fail).arg(why)));
        QVERIFY2(document->canUndo() && !document->canRedo(), "the history is as it was");
    }
    // A query allocates nothing, and so never fails: the edit made room for what it updates.
    g_allocationsLeft = 0;
    const qint64 secondLine = document->lineStart(1);
    g_allocationsLeft = -1;
    QCOMPARE(secondLine, Lines(after).starts[1]);
    QCOMPARE(document->bytes(), after);
    action == 2 ? document->redo() : document->undo();
    QCOMPARE(document->bytes(), turnedBack);
}

void TestTextDocument::typingIntoABigGrownTextKeepsItInFewPiecesAndOneStepEach()
{
    // Read into a buffer that grows as a loader's does, from small pages to huge ones.
    BigBuffer buffer(1);
    LineIndex index;
    const auto append = [&](const QByteArray &text) {
        if (buffer.size() + text.size() > buffer.capacity())
            QVERIFY(buffer.reserve(2 * buffer.capacity()));
        std::memcpy(buffer.data() + buffer.size(), text.constData(), size_t(text.size()));
        buffer.setSize(buffer.size() + text.size());
        index.add(text);
    };
    for (int line = 0; buffer.size() < 3 * 1024 * 1024; ++line)
        append(QByteArray::number(line) + (line % 3 ? "\n" : "\r\n"));
    append("\r");
    QVERIFY2(!buffer.reserve(qint64(1) << 60) && buffer.data()[0] == '0', "a refused growth keeps the buffer");
    const QByteArray text(buffer.data(), buffer.size());
    TextDocument document(std::move(buffer), std::move(index));
    const Lines lines(text);
    QVERIFY(document.bytes() == text);
    QCOMPARE(document.lineCount(), qint64(lines.starts.size()));

    for (int i = 0; i < 1000; ++i)
        document.insert(document.size(), i % 10 ? "x" : "\n", Typing);
    for (int i = 0; i < 100; ++i)
        document.insert(1000 + i, "y", Typing);
    // The loaded text either side of the y's, and the y's: what was typed at the end went to the
    // room the grown buffer had left, and joins the loaded text.
    int stretches = 0;
    document.visit(0, document.size(), [&stretches](QByteArrayView) { return ++stretches; });
    QCOMPARE(stretches, 3);
    // The first line feed typed joins the loaded text's last CR.
    QCOMPARE(document.lineCount(), qint64(lines.starts.size()) + 99);
    QByteArray typed;
    for (int i = 0; i < 1000; ++i)
        typed += i % 10 ? "x" : "\n";
    std::mt19937 random(1);
    const QString why = mismatch(document, text.first(1000) + QByteArray(100, 'y') + text.sliced(1000) + typed, random);
    QVERIFY2(why.isEmpty(), qPrintable(why));

    // Undo gives the stretch it put back, for the caret.
    document.remove(0, 5);
    QCOMPARE(document.undo(), (TextRange{0, 5}));
    QCOMPARE(document.undo(), (TextRange{1000, 1000}));
    QCOMPARE(document.undo(), (TextRange{text.size(), text.size()}));
    QVERIFY2(!document.canUndo(), "typing at one place is one step");
    QCOMPARE(document.redo(), (TextRange{text.size(), text.size() + 1000}));
}

QTEST_GUILESS_MAIN(TestTextDocument)
#include "tst_textdocument.moc"
