#include "compare/comparison.h"
#include "compare/linechanges.h"
#include "compare/linefilter.h"
#include "compare/textcomparer.h"
#include "textpane/textdocument.h"

#include <QRandomGenerator>
#include <QTest>

using Hunks = std::vector<DiffHunk>;

namespace {

QByteArray linesOf(const QByteArrayList &lines)
{
    return lines.join('\n') + '\n';
}

CompareText wholeText(const TextDocument &document)
{
    CompareText text;
    text.text = document.snapshot();
    text.lines = document.lineCount();
    return text;
}

// What compare mode hands over after an edit at [from, from + inserted): the lines around it
// changed, with a line of slack on each side.
CompareText editedText(const TextDocument &document, qint64 from, qint64 inserted)
{
    CompareText text = wholeText(document);
    text.sinceLast = true;
    text.head = std::max<qint64>(0, document.lineOf(from) - 1);
    text.tail = std::clamp<qint64>(document.lineCount() - document.lineOf(from + inserted) - 2, 0, text.lines - text.head);
    text.middleFrom = document.lineStart(text.head);
    text.middleTo = text.tail > 0 ? document.lineStart(text.lines - text.tail) : document.size();
    return text;
}

Hunks freshHunks(const TextDocument &left, const TextDocument &right, const CompareOptions &options = {})
{
    TextComparer comparer(options);
    return comparer.compare(wholeText(left), wholeText(right))->hunks();
}

} // namespace

class TestTextComparer : public QObject
{
    Q_OBJECT

private slots:
    void correspondingLines_data();
    void correspondingLines();
    void movesGoToTheNeighbouringDifference_data();
    void movesGoToTheNeighbouringDifference();
    void marksNameEachSideOfEachDifference();
    void comparingAgainAfterEditsGivesWhatAFreshComparisonGives();
    void ignoreOptionsChangeWhichLinesAreEqual_data();
    void ignoreOptionsChangeWhichLinesAreEqual();
    void keysLeaveOutOnlyWhatTheOptionsSay_data();
    void keysLeaveOutOnlyWhatTheOptionsSay();
    void changedCharactersOfALinePair_data();
    void changedCharactersOfALinePair();
    void aRaisedStopGivesNoResult();
};

// Left: 10 lines. Right: lines 2-3 changed into 4 lines, 6-7 removed, 2 lines put in before 9.
// Hunks: {2,2 -> 2,4}, {6,2 -> 8,0}, {9,0 -> 9,2}; right has 12 lines.
void TestTextComparer::correspondingLines_data()
{
    QTest::addColumn<int>("side");
    QTest::addColumn<qint64>("line");
    QTest::addColumn<qint64>("other");

    QTest::newRow("equal before any") << int(Side::Left) << 1LL << 1LL;
    QTest::newRow("changed block, start") << int(Side::Left) << 2LL << 2LL;
    QTest::newRow("changed block, in proportion") << int(Side::Left) << 3LL << 4LL;
    QTest::newRow("right's longer block, in proportion") << int(Side::Right) << 5LL << 3LL;
    QTest::newRow("equal after a changed block") << int(Side::Left) << 4LL << 6LL;
    QTest::newRow("removed lines hold the other at the edge") << int(Side::Left) << 7LL << 8LL;
    QTest::newRow("equal after removed lines") << int(Side::Left) << 8LL << 8LL;
    QTest::newRow("lines put in are jumped by the side without them") << int(Side::Left) << 9LL << 11LL;
    QTest::newRow("inside lines put in, the other waits") << int(Side::Right) << 10LL << 9LL;
    QTest::newRow("past the end, clamped") << int(Side::Left) << 40LL << 11LL;
    QTest::newRow("before the start, clamped") << int(Side::Right) << -3LL << 0LL;
}

void TestTextComparer::correspondingLines()
{
    QFETCH(int, side);
    QFETCH(qint64, line);
    QFETCH(qint64, other);
    const Comparison comparison({{2, 2, 2, 4}, {6, 2, 8, 0}, {9, 0, 9, 2}}, 10, 12);
    QCOMPARE(comparison.correspondingLine(Side(side), line), other);
}

void TestTextComparer::movesGoToTheNeighbouringDifference_data()
{
    QTest::addColumn<int>("side");
    QTest::addColumn<qint64>("line");
    QTest::addColumn<qsizetype>("next");
    QTest::addColumn<qsizetype>("previous");

    QTest::newRow("above all") << int(Side::Left) << -1LL << qsizetype(0) << qsizetype(-1);
    QTest::newRow("on the first") << int(Side::Left) << 2LL << qsizetype(1) << qsizetype(-1);
    QTest::newRow("inside the first") << int(Side::Left) << 3LL << qsizetype(1) << qsizetype(0);
    QTest::newRow("on a gap, the side without lines") << int(Side::Left) << 9LL << qsizetype(-1) << qsizetype(1);
    QTest::newRow("right side numbers") << int(Side::Right) << 8LL << qsizetype(2) << qsizetype(0);
    QTest::newRow("below all") << int(Side::Right) << 50LL << qsizetype(-1) << qsizetype(2);
}

void TestTextComparer::movesGoToTheNeighbouringDifference()
{
    QFETCH(int, side);
    QFETCH(qint64, line);
    QFETCH(qsizetype, next);
    QFETCH(qsizetype, previous);
    const Comparison comparison({{2, 2, 2, 4}, {6, 2, 8, 0}, {9, 0, 9, 2}}, 10, 12);
    QCOMPARE(comparison.nextDifference(Side(side), line), next);
    QCOMPARE(comparison.previousDifference(Side(side), line), previous);
}

void TestTextComparer::marksNameEachSideOfEachDifference()
{
    const Comparison comparison({{2, 2, 2, 4}, {6, 2, 8, 0}, {9, 0, 9, 2}}, 10, 12);
    using K = LineMark::Kind;
    const std::vector<LineMark> left = comparison.marks(Side::Left);
    const std::vector<LineMark> right = comparison.marks(Side::Right);
    const std::vector<std::tuple<qint64, qint64, K>> expectLeft{{2, 2, K::Changed}, {6, 2, K::Removed}, {9, 0, K::Gap}};
    const std::vector<std::tuple<qint64, qint64, K>> expectRight{{2, 4, K::Changed}, {8, 0, K::Gap}, {9, 2, K::Added}};
    QCOMPARE(left.size(), size_t(3));
    QCOMPARE(right.size(), size_t(3));
    for (size_t i = 0; i < 3; ++i) {
        QCOMPARE(std::tuple(left[i].firstLine, left[i].lineCount, left[i].kind), expectLeft[i]);
        QCOMPARE(std::tuple(right[i].firstLine, right[i].lineCount, right[i].kind), expectRight[i]);
    }
}

// The comparer keeps the ids of unchanged lines; whatever the edits, the script it gives must be
// the one a comparer starting afresh gives.
void TestTextComparer::comparingAgainAfterEditsGivesWhatAFreshComparisonGives()
{
    QRandomGenerator random(17);
    QByteArrayList lines;
    for (int i = 0; i < 300; ++i)
        lines << "line " + QByteArray::number(random.bounded(120));
    TextDocument left;
    left.insert(0, linesOf(lines));
    TextDocument right;
    right.insert(0, linesOf(lines));
    TextComparer comparer({});
    QVERIFY(comparer.compare(wholeText(left), wholeText(right)).has_value());
    static const QByteArray kInserts[] = {"x", "\n", "line 7\nline 8\n", "\r", "\r\n", "new line\n"};
    for (int edit = 0; edit < 300; ++edit) {
        TextDocument &document = random.bounded(2) ? left : right;
        const qint64 from = random.bounded(document.size() + 1);
        const qint64 removed = random.bounded(3) ? 0 : random.bounded(std::min<qint64>(40, document.size() - from) + 1);
        const QByteArray inserted = random.bounded(4) ? kInserts[random.bounded(6)] : QByteArray();
        document.replace(from, removed, inserted);
        const CompareText changed = editedText(document, from, inserted.size());
        const TextDocument &other = &document == &left ? right : left;
        const CompareText same = editedText(other, other.size(), 0);
        const std::optional<Comparison> again = &document == &left ? comparer.compare(changed, same)
                                                                    : comparer.compare(same, changed);
        QVERIFY(again.has_value());
        const Hunks fresh = freshHunks(left, right);
        QVERIFY2(again->hunks() == fresh, qPrintable(QStringLiteral("edit %1 at %2").arg(edit).arg(from)));
        QCOMPARE(again->lineCount(Side::Left), left.lineCount());
        QCOMPARE(again->lineCount(Side::Right), right.lineCount());
    }
}

void TestTextComparer::ignoreOptionsChangeWhichLinesAreEqual_data()
{
    QTest::addColumn<QByteArray>("left");
    QTest::addColumn<QByteArray>("right");
    QTest::addColumn<bool>("whiteSpace");
    QTest::addColumn<bool>("ignoreCase");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("changed");

    const QByteArray left = "10:00:01 start\n10:00:02 read  a file\n10:00:03 Done\n";
    const QByteArray right = "11:30:01 start\n11:30:02 read a file \n11:30:03 done\n";
    QTest::newRow("nothing ignored") << left << right << false << false << QString() << 3;
    QTest::newRow("time stamps") << left << right << false << false << QStringLiteral("^\\S+ ") << 2;
    QTest::newRow("time stamps and white space") << left << right << true << false << QStringLiteral("^\\S+ ") << 1;
    QTest::newRow("everything") << left << right << true << true << QStringLiteral("^\\S+ ") << 0;
    QTest::newRow("white space is not its absence") << QByteArray("a b\n") << QByteArray("ab\n") << true << false << QString() << 1;
    QTest::newRow("case beyond ASCII") << QByteArray("GRÜSSE\n") << QByteArray("grüsse\n") << false << true << QString() << 0;
    QTest::newRow("a pattern on stray bytes keeps the rest exact")
        << QByteArray("id=1 \xe9\n") << QByteArray("id=2 \xe8\n") << false << false << QStringLiteral("id=\\d") << 1;
}

void TestTextComparer::ignoreOptionsChangeWhichLinesAreEqual()
{
    QFETCH(QByteArray, left);
    QFETCH(QByteArray, right);
    QFETCH(bool, whiteSpace);
    QFETCH(bool, ignoreCase);
    QFETCH(QString, pattern);
    QFETCH(int, changed);
    TextDocument a;
    a.insert(0, left);
    TextDocument b;
    b.insert(0, right);
    const Hunks hunks = freshHunks(a, b, CompareOptions{whiteSpace, ignoreCase, pattern});
    qsizetype leftChanged = 0;
    for (const DiffHunk &hunk : hunks)
        leftChanged += hunk.leftCount;
    QCOMPARE(int(leftChanged), changed);
}

void TestTextComparer::keysLeaveOutOnlyWhatTheOptionsSay_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("whiteSpace");
    QTest::addColumn<bool>("ignoreCase");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QByteArray>("key");

    QTest::newRow("runs of blanks") << QByteArray("a \t b\t") << true << false << QString() << QByteArray("a b");
    QTest::newRow("leading blanks stay one") << QByteArray("  a") << true << false << QString() << QByteArray(" a");
    QTest::newRow("ascii case") << QByteArray("MiXeD") << false << true << QString() << QByteArray("mixed");
    QTest::newRow("every match goes") << QByteArray("a1b22c") << false << false << QStringLiteral("\\d+") << QByteArray("abc");
    QTest::newRow("stray bytes untouched") << QByteArray("\xff" "A1") << false << true << QStringLiteral("1") << QByteArray("\xff" "a");
    QTest::newRow("zero bytes kept") << QByteArray("a\0B", 3) << false << true << QString() << QByteArray("a\0b", 3);
}

void TestTextComparer::keysLeaveOutOnlyWhatTheOptionsSay()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, whiteSpace);
    QFETCH(bool, ignoreCase);
    QFETCH(QString, pattern);
    QFETCH(QByteArray, key);
    const LineFilter filter(CompareOptions{whiteSpace, ignoreCase, pattern});
    QByteArray scratch;
    QCOMPARE(filter.key(line, scratch).toByteArray(), key);
    QVERIFY(!LineFilter().isActive());
}

void TestTextComparer::changedCharactersOfALinePair_data()
{
    QTest::addColumn<QByteArray>("left");
    QTest::addColumn<QByteArray>("right");
    QTest::addColumn<QList<qint64>>("leftStretches");
    QTest::addColumn<QList<qint64>>("rightStretches");

    QTest::newRow("one word changed") << QByteArray("took 12 ms") << QByteArray("took 345 ms")
                                      << QList<qint64>{5, 7} << QList<qint64>{5, 8};
    QTest::newRow("two places") << QByteArray("a-b-c") << QByteArray("a+b-d")
                                << QList<qint64>{1, 2, 4, 5} << QList<qint64>{1, 2, 4, 5};
    QTest::newRow("whole characters, not bytes") << QByteArray("caf\xc3\xa9") << QByteArray("caf\xc3\xa8")
                                                 << QList<qint64>{3, 5} << QList<qint64>{3, 5};
    QTest::newRow("only added") << QByteArray("ab") << QByteArray("aXb") << QList<qint64>{} << QList<qint64>{1, 2};
}

void TestTextComparer::changedCharactersOfALinePair()
{
    QFETCH(QByteArray, left);
    QFETCH(QByteArray, right);
    QFETCH(QList<qint64>, leftStretches);
    QFETCH(QList<qint64>, rightStretches);
    const LineChanges changes = lineChanges(left, right);
    auto flat = [](const ByteStretches &stretches) {
        QList<qint64> out;
        for (const auto &[start, end] : stretches)
            out << start << end;
        return out;
    };
    QCOMPARE(flat(changes.left), leftStretches);
    QCOMPARE(flat(changes.right), rightStretches);
}

void TestTextComparer::aRaisedStopGivesNoResult()
{
    TextDocument left;
    left.insert(0, QByteArray("a\nb\n").repeated(1000));
    TextDocument right;
    right.insert(0, QByteArray("b\na\n").repeated(1000));
    TextComparer comparer({});
    CompareProgress progress;
    progress.stop = true;
    QVERIFY(!comparer.compare(wholeText(left), wholeText(right), &progress).has_value());
    QVERIFY(!comparer.hasFinished());
    // Stopped, it starts afresh next time, and gets it right.
    QVERIFY(comparer.compare(wholeText(left), wholeText(right)).has_value());
}

QTEST_MAIN(TestTextComparer)
#include "tst_textcomparer.moc"
