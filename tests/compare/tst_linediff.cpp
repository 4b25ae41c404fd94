#include "compare/linediff.h"
#include "compare/lineinterner.h"

#include <QRandomGenerator>
#include <QTest>

using Hunks = std::vector<DiffHunk>;
Q_DECLARE_METATYPE(Hunks)

namespace {

// One line per letter, the letter as its id.
std::vector<std::uint32_t> idsOf(const char *letters)
{
    std::vector<std::uint32_t> ids;
    for (const char *p = letters; *p != '\0'; ++p)
        ids.push_back(std::uint32_t(*p - 'a'));
    return ids;
}

qsizetype changedLines(const Hunks &hunks)
{
    qsizetype changed = 0;
    for (const DiffHunk &hunk : hunks)
        changed += hunk.leftCount + hunk.rightCount;
    return changed;
}

// Applies the script to `left`; empty, with `why` set, when the script is malformed.
std::vector<std::uint32_t> applied(const std::vector<std::uint32_t> &left,
                                   const std::vector<std::uint32_t> &right, const Hunks &hunks,
                                   QString *why)
{
    std::vector<std::uint32_t> result;
    qsizetype at = 0;
    qsizetype rightAt = 0;
    for (const DiffHunk &hunk : hunks) {
        const bool first = &hunk == &hunks.front();
        if ((first ? hunk.leftStart < at : hunk.leftStart <= at)
            || hunk.leftStart - at != hunk.rightStart - rightAt
            || (hunk.leftCount == 0 && hunk.rightCount == 0)) {
            *why = QStringLiteral("hunk at %1/%2 is empty, out of order or touches the one before")
                       .arg(hunk.leftStart).arg(hunk.rightStart);
            return {};
        }
        result.insert(result.end(), left.begin() + at, left.begin() + hunk.leftStart);
        result.insert(result.end(), right.begin() + hunk.rightStart,
                      right.begin() + hunk.rightStart + hunk.rightCount);
        at = hunk.leftStart + hunk.leftCount;
        rightAt = hunk.rightStart + hunk.rightCount;
    }
    result.insert(result.end(), left.begin() + at, left.end());
    return result;
}

// The fewest changed lines, by the plain longest-common-subsequence table.
qsizetype minimalChanges(const std::vector<std::uint32_t> &a, const std::vector<std::uint32_t> &b)
{
    std::vector<std::vector<int>> lcs(a.size() + 1, std::vector<int>(b.size() + 1, 0));
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t j = 1; j <= b.size(); ++j)
            lcs[i][j] = a[i - 1] == b[j - 1] ? lcs[i - 1][j - 1] + 1
                                             : std::max(lcs[i - 1][j], lcs[i][j - 1]);
    return qsizetype(a.size() + b.size()) - 2 * lcs[a.size()][b.size()];
}

std::vector<std::uint32_t> randomLines(QRandomGenerator &random, int minLength, int maxLength,
                                       int alphabet)
{
    std::vector<std::uint32_t> ids(size_t(random.bounded(minLength, maxLength + 1)));
    for (std::uint32_t &id : ids)
        id = std::uint32_t(random.bounded(alphabet));
    return ids;
}

struct ScannedLine
{
    QByteArray bytes;
    std::uint64_t hash;
};

std::vector<ScannedLine> scanned(const QList<QByteArrayView> &stretches)
{
    std::vector<ScannedLine> lines;
    scanLines(stretches, nullptr, [&lines](QByteArrayView line, std::uint64_t hash, bool) {
        lines.push_back({line.toByteArray(), hash});
    });
    return lines;
}

} // namespace

class TestLineDiff : public QObject
{
    Q_OBJECT

private slots:
    void linesSplitAtEveryKindOfLineEnd_data();
    void linesSplitAtEveryKindOfLineEnd();
    void internedIdsAreEqualExactlyForEqualBytes();
    void hunksMatchExpected_data();
    void hunksMatchExpected();
    void randomScriptsTurnLeftIntoRightWithFewChanges_data();
    void randomScriptsTurnLeftIntoRightWithFewChanges();
    void stopFlagEndsTheWork();
};

void TestLineDiff::linesSplitAtEveryKindOfLineEnd_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArrayList>("lines");

    QTest::newRow("empty") << QByteArray() << QByteArrayList{};
    QTest::newRow("one line end") << QByteArray("\n") << QByteArrayList{""};
    QTest::newRow("no final line end") << QByteArray("a\nbc") << QByteArrayList{"a", "bc"};
    QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << QByteArrayList{"a", "b"};
    QTest::newRow("lone cr") << QByteArray("a\rb") << QByteArrayList{"a", "b"};
    QTest::newRow("cr cr lf") << QByteArray("a\r\r\nb") << QByteArrayList{"a", "", "b"};
    QTest::newRow("lf cr") << QByteArray("a\n\rb") << QByteArrayList{"a", "", "b"};
    QTest::newRow("empty lines") << QByteArray("\n\n\r\n") << QByteArrayList{"", "", ""};
    QTest::newRow("cr lf then lf") << QByteArray("li\r\n\nx") << QByteArrayList{"li", "", "x"};
    // Line ends on each side of a word boundary, and a word-long line.
    QTest::newRow("long lines") << QByteArray("0123456789abcdef\n01234567\r\n0123456789\r")
                                << QByteArrayList{"0123456789abcdef", "01234567", "0123456789"};
    QTest::newRow("zero bytes") << QByteArray("a\0\nab\0", 6)
                                << QByteArrayList{QByteArray("a\0", 2), QByteArray("ab\0", 3)};
}

void TestLineDiff::linesSplitAtEveryKindOfLineEnd()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArrayList, lines);

    const std::vector<ScannedLine> whole = scanned({text});
    QCOMPARE(qsizetype(whole.size()), lines.size());
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QCOMPARE(whole[size_t(n)].bytes, lines[n]);
        // The one-pass hash of the text must be the hash of the line alone.
        QCOMPARE(whole[size_t(n)].hash, hashLineBytes(lines[n].constData(), lines[n].size()));
    }
    // Split anywhere into three stretches, with an empty one between, the text has the same lines.
    const QByteArrayView all(text);
    for (qsizetype split = 0; split <= text.size(); ++split) {
        for (qsizetype second = split; second <= text.size(); ++second) {
            const std::vector<ScannedLine> pieces = scanned({all.first(split), QByteArrayView(),
                                                             all.sliced(split, second - split), all.sliced(second)});
            QCOMPARE(pieces.size(), whole.size());
            for (size_t n = 0; n < whole.size(); ++n) {
                QCOMPARE(pieces[n].bytes, whole[n].bytes);
                QCOMPARE(pieces[n].hash, whole[n].hash);
            }
        }
    }
}

void TestLineDiff::internedIdsAreEqualExactlyForEqualBytes()
{
    // Lines that differ only in trailing zero bytes or line ends must keep apart or come together.
    const QByteArray left("a\nb\r\na\n", 7);
    const QByteArray right("b\na\0\na\r\0\nc", 10);
    LineInterner interner;
    LineIds leftIds;
    LineIds rightIds;
    QVERIFY(interner.intern({left}, leftIds, false));
    QVERIFY(interner.intern({right}, rightIds, false));

    QCOMPARE(std::vector<std::uint32_t>(leftIds.begin(), leftIds.end()), (std::vector<std::uint32_t>{0, 1, 0}));
    QCOMPARE(std::vector<std::uint32_t>(rightIds.begin(), rightIds.end()), (std::vector<std::uint32_t>{1, 2, 0, 3, 4}));
    QCOMPARE(interner.distinct(), 5u);
}

void TestLineDiff::hunksMatchExpected_data()
{
    QTest::addColumn<QByteArray>("left");
    QTest::addColumn<QByteArray>("right");
    QTest::addColumn<Hunks>("hunks");

    QTest::newRow("equal") << QByteArray("abc") << QByteArray("abc") << Hunks{};
    QTest::newRow("left empty") << QByteArray("") << QByteArray("ab") << Hunks{{0, 0, 0, 2}};
    QTest::newRow("nothing shared") << QByteArray("ab") << QByteArray("cde") << Hunks{{0, 2, 0, 3}};
    QTest::newRow("insert in the middle") << QByteArray("abcd") << QByteArray("abxcd")
                                          << Hunks{{2, 0, 2, 1}};
    QTest::newRow("remove at the start") << QByteArray("xabc") << QByteArray("abc")
                                         << Hunks{{0, 1, 0, 0}};
    QTest::newRow("change at the end") << QByteArray("abcx") << QByteArray("abcyz")
                                       << Hunks{{3, 1, 3, 2}};
    QTest::newRow("two changes") << QByteArray("abcdefg") << QByteArray("abxdeyg")
                                 << Hunks{{2, 1, 2, 1}, {5, 1, 5, 1}};
    // The unique line anchors, not the frequent ones around it.
    QTest::newRow("rare line anchors") << QByteArray("aaxbb") << QByteArray("bbxaa")
                                       << Hunks{{0, 2, 0, 2}, {3, 2, 3, 2}};
    QTest::newRow("moved block") << QByteArray("abcdef") << QByteArray("defabc")
                                 << Hunks{{0, 3, 0, 0}, {6, 0, 3, 3}};
}

void TestLineDiff::hunksMatchExpected()
{
    QFETCH(QByteArray, left);
    QFETCH(QByteArray, right);
    QFETCH(Hunks, hunks);

    const std::vector<std::uint32_t> a = idsOf(left.constData());
    const std::vector<std::uint32_t> b = idsOf(right.constData());
    QCOMPARE(diffLines(a, b), hunks);
}

void TestLineDiff::randomScriptsTurnLeftIntoRightWithFewChanges_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("alphabet");
    QTest::addColumn<int>("minLength");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<bool>("edited");
    QTest::addColumn<int>("slack");

    // Right texts of their own, from few distinct lines: hard cases for the minimal diff.
    QTest::newRow("unrelated, two lines") << 1u << 2 << 0 << 40 << false << -1;
    QTest::newRow("unrelated, five lines") << 2u << 5 << 0 << 40 << false << -1;
    // Every line too frequent to anchor on: the whole script is the minimal one.
    QTest::newRow("frequent lines") << 3u << 2 << 200 << 300 << false << 0;
    // Small edits, as between two versions of a file, anchored on rare lines.
    QTest::newRow("rare lines, edited") << 5u << 2000 << 0 << 60 << true << 10;
    QTest::newRow("some repeated lines, edited") << 6u << 30 << 0 << 60 << true << 10;
}

void TestLineDiff::randomScriptsTurnLeftIntoRightWithFewChanges()
{
    QFETCH(quint32, seed);
    QFETCH(int, alphabet);
    QFETCH(int, minLength);
    QFETCH(int, maxLength);
    QFETCH(bool, edited);
    QFETCH(int, slack);

    QRandomGenerator random(seed);
    for (int round = 0; round < 200; ++round) {
        const std::vector<std::uint32_t> left = randomLines(random, minLength, maxLength, alphabet);
        std::vector<std::uint32_t> right = left;
        if (!edited) {
            right = randomLines(random, minLength, maxLength, alphabet);
        } else {
            for (int edits = random.bounded(1, 6); edits > 0; --edits) {
                const auto at = right.begin() + random.bounded(int(right.size()) + 1);
                if (random.bounded(2) == 0 && at != right.end())
                    right.erase(at);
                else
                    right.insert(at, std::uint32_t(random.bounded(alphabet)));
            }
        }
        const qsizetype minimal = minimalChanges(left, right);
        const QString where = QStringLiteral("round %1 of %2 lines against %3")
                                  .arg(round).arg(left.size()).arg(right.size());

        QString why;
        const Hunks exact = diffLinesMinimal(left, right);
        QVERIFY2(applied(left, right, exact, &why) == right, qPrintable(where + why));
        QVERIFY2(changedLines(exact) == minimal, qPrintable(where));

        const Hunks hunks = diffLines(left, right);
        QVERIFY2(applied(left, right, hunks, &why) == right, qPrintable(where + why));
        if (slack < 0)
            continue;
        // A few lines or a tenth more than the fewest, where rare lines anchor.
        const qsizetype changed = changedLines(hunks);
        const qsizetype bound = slack == 0 ? minimal : minimal + std::max<qsizetype>(slack / 2, minimal / slack);
        QVERIFY2(changed >= minimal && changed <= bound,
                 qPrintable(where + QStringLiteral(": %1 changed, %2 at least").arg(changed).arg(minimal)));
    }
}

void TestLineDiff::stopFlagEndsTheWork()
{
    const std::vector<std::uint32_t> left = idsOf("abcabcabc");
    const std::vector<std::uint32_t> right = idsOf("xbcaxcabx");
    std::atomic<bool> stop = true;
    QVERIFY(diffLines(left, right, &stop).empty());
    QVERIFY(diffLinesMinimal(left, right, &stop).empty());
    stop = false;
    QVERIFY(!diffLines(left, right, &stop).empty());
}

QTEST_GUILESS_MAIN(TestLineDiff)
#include "tst_linediff.moc"
