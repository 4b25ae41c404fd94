// The search over a pane's bytes: case, whole words, both directions and the range searched.

#include "find/textsearch.h"

#include <QTest>

class TextSearchTest : public QObject
{
    Q_OBJECT

private slots:
    void findsWhereAnEditorWould_data();
    void findsWhereAnEditorWould();
};

void TextSearchTest::findsWhereAnEditorWould_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<QString>("how"); // c: match case, w: whole word, b: backward
    QTest::addColumn<int>("begin");
    QTest::addColumn<int>("end"); // -1: the text's end
    QTest::addColumn<int>("expected"); // byte offset, -1: none

    QTest::newRow("any case") << "a QuOkKa" << "quokka" << "" << 0 << -1 << 2;
    QTest::newRow("exact case skips other case") << "Quokka quokka" << "quokka" << "c" << 0 << -1 << 7;
    QTest::newRow("exact case, none") << "QUOKKA" << "quokka" << "c" << 0 << -1 << -1;
    QTest::newRow("shift keeps overlapping match") << "abaabab" << "abab" << "c" << 0 << -1 << 3;
    QTest::newRow("backward shift keeps overlap") << "babaaba" << "baba" << "cb" << 0 << -1 << 0;
    QTest::newRow("capital umlaut finds small") << "Grüße, ÜBER über" << "Über" << "" << 0 << -1 << 9;
    QTest::newRow("umlaut, exact case") << "über Über" << "Über" << "c" << 0 << -1 << 6;
    QTest::newRow("final sigma is a sigma") << "ΛΟΓΟΣ λογος" << "ΛΟΓΟΣ" << "b" << 0 << -1 << 11;
    QTest::newRow("a sigma has three forms") << "a ΛΟΓΟΣ" << "λογος" << "" << 0 << -1 << 2;
    QTest::newRow("mixed byte forms are no match") << QString(QChar(0xA3A0)) << QString(QChar(0x13A0)) << "" << 0 << -1 << -1;
    QTest::newRow("three-byte other case") << QString(QChar(0xAB70)) << QString(QChar(0x13A0)) << "" << 0 << -1 << 0;
    QTest::newRow("whole word skips inside") << "concat cat" << "cat" << "w" << 0 << -1 << 7;
    QTest::newRow("underscore and digit join words") << "_cat cat9 cat" << "cat" << "w" << 0 << -1 << 10;
    QTest::newRow("accented letter joins a word") << "café caf" << "caf" << "w" << 0 << -1 << 6;
    QTest::newRow("arrow is no letter") << "→cat" << "cat" << "w" << 0 << -1 << 3;
    // The character before a match is read back from its last byte to its lead.
    QTest::newRow("two-byte letter before") << "éfoo" << "foo" << "w" << 0 << -1 << -1;
    QTest::newRow("word ending in a letter before") << "caféfoo" << "foo" << "w" << 0 << -1 << -1;
    QTest::newRow("four-byte letter before") << "𝐀foo" << "foo" << "w" << 0 << -1 << -1;
    QTest::newRow("dash before is no letter") << "—foo" << "foo" << "w" << 0 << -1 << 3;
    QTest::newRow("two-byte letter after") << "fooé" << "foo" << "w" << 0 << -1 << -1;
    QTest::newRow("dash after is no letter") << "foo—" << "foo" << "w" << 0 << -1 << 0;
    QTest::newRow("whole word backward") << "cat cats" << "cat" << "wb" << 0 << -1 << 0;
    QTest::newRow("begin skips earlier match") << "ab ab" << "ab" << "" << 1 << -1 << 3;
    QTest::newRow("match must end by end") << "ab ab" << "ab" << "" << 1 << 4 << -1;
    QTest::newRow("backward takes the last") << "ab ab ab" << "ab" << "b" << 0 << -1 << 6;
    QTest::newRow("backward takes a match ending at end") << "ab ab ab" << "ab" << "b" << 0 << 5 << 3;
    QTest::newRow("backward stops at begin") << "ab ab ab" << "ab" << "b" << 4 << -1 << 6;
    QTest::newRow("neighbour outside range still counts") << "xab" << "ab" << "w" << 1 << -1 << -1;
    QTest::newRow("first of several forward") << "ab ab ab ab ab ab ab ab ab" << "ab" << "" << 2 << -1 << 3;
    QTest::newRow("last of several backward") << "ab ab ab ab ab ab ab ab ab" << "ab" << "b" << 0 << 25 << 21;
    QTest::newRow("nothing to find") << "ab" << "" << "" << 0 << -1 << -1;
}

void TextSearchTest::findsWhereAnEditorWould()
{
    QFETCH(QString, text);
    QFETCH(QString, needle);
    QFETCH(QString, how);
    QFETCH(int, begin);
    QFETCH(int, end);
    QFETCH(int, expected);
    const TextSearch search(needle, {how.contains('c'), how.contains('w')});
    const auto direction = how.contains('b') ? SearchDirection::Backward : SearchDirection::Forward;
    // Alone, and amid enough padding that the text is scanned in blocks and the rest one by one.
    for (const int pad : {0, 40}) {
        const QByteArray bytes = QByteArray(pad, '.') + text.toUtf8() + QByteArray(pad, '.');
        const TextMatch match = search.find(bytes, begin ? begin + pad : 0, end < 0 ? bytes.size() : end + pad, direction);
        QVERIFY2(match.start == (expected < 0 ? -1 : expected + pad),
                 qPrintable(QStringLiteral("padded by %1: found at %2").arg(pad).arg(match.start)));
        if (match.found())
            QCOMPARE(match.length, needle.toUtf8().size());
    }
}

QTEST_GUILESS_MAIN(TextSearchTest)
#include "tst_textsearch.moc"
