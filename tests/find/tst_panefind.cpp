// A find in a pane whose text is kept in pieces, against the answer for the text in one stretch.

#include "find/panefind.h"
#include "textpane/panecontrol.h"
#include "textpane/textdocument.h"

#include <QTest>

class PaneFindTest : public QObject
{
    Q_OBJECT

private slots:
    void seamsBetweenPiecesChangeNoFind_data();
    void seamsBetweenPiecesChangeNoFind();
};

void PaneFindTest::seamsBetweenPiecesChangeNoFind_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<QString>("how"); // c: match case, w: whole word, b: backward
    QTest::addColumn<int>("from"); // the selection, in bytes
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("expected"); // byte offset, -1: none
    QTest::addColumn<bool>("wrapped");

    QTest::newRow("forward") << "one two three two" << "two" << "" << 0 << 0 << 4 << false;
    QTest::newRow("forward wraps to the top") << "one two three two" << "two" << "" << 14 << 17 << 4 << true;
    QTest::newRow("backward wraps to the bottom") << "one two three two" << "two" << "b" << 4 << 7 << 14 << true;
    QTest::newRow("wrap reaches the match the selection ends in") << "ab end" << "end" << "" << 4 << 4 << 3 << true;
    QTest::newRow("backward wrap reaches the match the selection starts in") << "end ab" << "end" << "b" << 1 << 1 << 0 << true;
    QTest::newRow("two-byte letter before") << "étwo two" << "two" << "w" << 0 << 0 << 6 << false;
    QTest::newRow("four-byte letter before") << "𝐀foo foo" << "foo" << "w" << 0 << 0 << 8 << false;
    QTest::newRow("four-byte letter after") << "foo𝐀 foo" << "foo" << "w" << 0 << 0 << 8 << false;
    QTest::newRow("four-byte letter after, past where the wrap stops") << "foo𝐀" << "foo" << "w" << 1 << 1 << -1 << false;
    QTest::newRow("letter after, backward") << "two twox" << "two" << "wb" << 8 << 8 << 0 << false;
    QTest::newRow("whole text is the word") << "two" << "two" << "wb" << 3 << 3 << 0 << false;
    QTest::newRow("two-byte letters, any case") << "Grüße ÜBER" << "über" << "" << 0 << 0 << 8 << false;
    QTest::newRow("sigmas, whole word, any case") << "ΛΟΓΟΣα λογος" << "ΛΟΓΟΣ" << "w" << 0 << 0 << 13 << false;
    QTest::newRow("sigmas, backward wrap") << "ΛΟΓΟΣα λογος" << "ΛΟΓΟΣ" << "wb" << 0 << 0 << 13 << true;
    QTest::newRow("not found") << "abc abd" << "abe" << "" << 3 << 3 << -1 << false;
}

void PaneFindTest::seamsBetweenPiecesChangeNoFind()
{
    QFETCH(QString, text);
    QFETCH(QString, needle);
    QFETCH(QString, how);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, expected);
    QFETCH(bool, wrapped);
    const QByteArray bytes = text.toUtf8();
    const TextSearch search(needle, {how.contains('c'), how.contains('w')});
    const auto direction = how.contains('b') ? SearchDirection::Backward : SearchDirection::Forward;
    // Word characters between the pieces where they are stored: a search that reads past a piece
    // reads these, not the text.
    const QByteArray between = QStringLiteral("Zé9_").toUtf8();
    const qsizetype n = bytes.size();
    for (qsizetype seam = 0; seam <= n; ++seam) {
        // A second seam makes a piece shorter than the needle, or than a neighbour's bytes.
        for (const qsizetype gap : {0, 1, 2, 5}) {
            const qsizetype second = std::min(seam + gap, n);
            PaneControl pane;
            pane.setBytes(bytes.first(seam) + between + bytes.sliced(seam, second - seam) + between + bytes.sliced(second));
            pane.document().remove(second + between.size(), between.size());
            pane.document().remove(seam, between.size());
            const auto pieces = size_t(1 + (seam > 0 && seam < n) + (second > seam && second < n));
            QCOMPARE(pane.pieces().size(), pieces);
            QCOMPARE(pane.bytes(), bytes);
            pane.select(from, to);
            const FindOutcome outcome = findInPane(pane, search, direction);
            const QString where = QStringLiteral("pieces cut at %1 and %2: ").arg(seam).arg(second);
            QVERIFY2(outcome.found == (expected >= 0) && pane.editor().selection().start == (expected >= 0 ? expected : from),
                     qPrintable(where + QStringLiteral("selection at %1").arg(pane.editor().selection().start)));
            QVERIFY2(outcome.wrapped == wrapped, qPrintable(where + "wrapped told wrongly"));
        }
    }
}

QTEST_MAIN(PaneFindTest)
#include "tst_panefind.moc"
