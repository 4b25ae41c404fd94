#include "textpane/advancetable.h"
#include "textpane/linelayouts.h"
#include "textpane/linetext.h"
#include "textpane/longline.h"
#include "textpane/textdocument.h"

#include <QTest>
#include <QTextBoundaryFinder>

namespace {

QFont testFont()
{
    QFont font(QStringLiteral("Arial"), 9);
    font.setBold(true);
    return font;
}

std::unique_ptr<TextDocument> documentOf(const QByteArray &bytes)
{
    auto document = std::make_unique<TextDocument>();
    document->insert(0, bytes);
    return document;
}

QString box(const char *name)
{
    return QChar(0x2009) + QLatin1String(name) + QChar(0x2009);
}

QByteArray repeated(const QByteArray &piece, qint64 size)
{
    QByteArray text;
    text.reserve(size + piece.size());
    while (text.size() < size)
        text += piece;
    return text;
}

} // namespace

class TestLineLayouts : public QObject
{
    Q_OBJECT
private slots:
    void bytesMapToWhatIsShownAndBack_data();
    void bytesMapToWhatIsShownAndBack();
    void pointInsideABoxLandsOnItsNearerEdge();
    void longLineIsCutOnlyBetweenGraphemes_data();
    void longLineIsCutOnlyBetweenGraphemes();
    void segmentLayoutsAgreeWithTheAdvanceSums();
    void pausedPassCutsAndSumsAsAWholeOne();
    void editOfALongLineMeasuresAsAFreshPass_data();
    void editOfALongLineMeasuresAsAFreshPass();
    void editKeepsOtherLinesAndMovesThoseAfter_data();
    void editKeepsOtherLinesAndMovesThoseAfter();
};

void TestLineLayouts::bytesMapToWhatIsShownAndBack_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QList<int>>("indices"); // display index of each byte, and past the end

    QTest::newRow("tab") << QByteArray("a\tb") << QStringLiteral("a\tb") << QList<int> {0, 1, 2, 3};
    QTest::newRow("nul") << QByteArray("a\0b", 3) << (QLatin1Char('a') + box("NUL") + QLatin1Char('b'))
                         << QList<int> {0, 1, 6, 7};
    QTest::newRow("escape and delete") << QByteArray("\x1b\x7f") << (box("ESC") + box("DEL")) << QList<int> {0, 5, 10};
    QTest::newRow("stray byte") << QByteArray("\xE9x") << (box("xE9") + QLatin1Char('x')) << QList<int> {0, 5, 6};
    QTest::newRow("cut-off sequence") << QByteArray("\xE2\x82") << (box("xE2") + box("x82")) << QList<int> {0, 5, 10};
    QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << (box("xC0") + box("xAF")) << QList<int> {0, 5, 10};
    QTest::newRow("encoded surrogate") << QByteArray("\xED\xA0\x80") << (box("xED") + box("xA0") + box("x80"))
                                       << QList<int> {0, 5, 10, 15};
    QTest::newRow("combining mark") << QByteArray("e\xCC\x81") << QStringLiteral("e\u0301") << QList<int> {0, 1, 1, 2};
    QTest::newRow("emoji") << QByteArray("\xF0\x9F\x98\x80!") << QStringLiteral("\U0001F600!")
                           << QList<int> {0, 0, 0, 0, 2, 3};
    QTest::newRow("arabic") << QByteArray("\xD8\xB3\xD9\x84") << QStringLiteral("\u0633\u0644")
                            << QList<int> {0, 0, 1, 1, 2};
}

void TestLineLayouts::bytesMapToWhatIsShownAndBack()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, display);
    QFETCH(QList<int>, indices);
    const LineText text(bytes);
    QCOMPARE(text.display(), display);
    QCOMPARE(text.byteCount(), bytes.size());
    for (int byte = 0; byte <= bytes.size(); ++byte) {
        QCOMPARE(text.displayIndex(byte), indices[byte]);
        const bool starts = byte == 0 || indices[byte] != indices[byte - 1];
        if (starts)
            QCOMPARE(text.byteOffset(indices[byte]), byte);
    }
}

void TestLineLayouts::pointInsideABoxLandsOnItsNearerEdge()
{
    const LineText text(QByteArray("\0", 1)); // five units: thin space, N, U, L, thin space
    QCOMPARE(text.byteOffset(1), 0);
    QCOMPARE(text.byteOffset(2), 0);
    QCOMPARE(text.byteOffset(3), 1);
    QCOMPARE(text.byteOffset(5), 1);
}

void TestLineLayouts::longLineIsCutOnlyBetweenGraphemes_data()
{
    QTest::addColumn<QByteArray>("piece");
    QTest::newRow("ascii with tabs") << QByteArray("word\tword ");
    QTest::newRow("combining marks") << QByteArray("e\xCC\x81");
    QTest::newRow("joined emoji") << QByteArray("\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7");
    QTest::newRow("cjk") << QByteArray("\xE4\xB8\xAD\xE6\x96\x87");
    QTest::newRow("stray and nul") << QByteArray("ab\xE9\0\xFF", 5);
    // No boundary for thousands of bytes: the cut falls between code points all the same.
    QTest::newRow("marks without end") << (QByteArray("a") + repeated("\xCC\x81", 3000));
}

void TestLineLayouts::longLineIsCutOnlyBetweenGraphemes()
{
    QFETCH(QByteArray, piece);
    const QByteArray bytes = repeated(piece, 20000);
    const auto document = documentOf(bytes);
    AdvanceTable advances(testFont());
    const LongLine line(*document, 0, bytes.size(), advances);
    QVERIFY(line.segmentCount() > 5);
    const bool endless = piece.size() > 1000;
    for (int i = 1; i < line.segmentCount(); ++i) {
        const qint64 start = line.segment(i).start;
        QVERIFY2((uchar(bytes[start]) & 0xC0) != 0x80, qPrintable(QStringLiteral("cut inside a sequence at %1").arg(start)));
        QVERIFY(start - line.segment(i - 1).start <= LongLine::kMaxSegmentBytes + 4);
        QVERIFY(line.segment(i).x >= line.segment(i - 1).x);
        if (endless)
            continue;
        const QString before = QString::fromUtf8(bytes.mid(start - 64, 64));
        const QString around = before + QString::fromUtf8(bytes.mid(start, 64));
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, around);
        finder.setPosition(before.size());
        QVERIFY2(finder.isAtBoundary(), qPrintable(QStringLiteral("cut inside a grapheme at %1").arg(start)));
    }
}

void TestLineLayouts::segmentLayoutsAgreeWithTheAdvanceSums()
{
    const QByteArray bytes = repeated("name\tvalue \xC3\xA9t\xC3\xA9, x=1;  ", 2 * 1024 * 1024);
    const auto document = documentOf(bytes + "\nshort line\n");
    LineLayouts layouts(document.get(), testFont());
    QVERIFY(layouts.isLong(0));
    // Positions in segments that start at many different distances from a tab stop.
    QList<qint64> positions {2500, 3500, bytes.size() - 11, bytes.size()};
    for (qint64 position = 7; position < bytes.size(); position += 65537)
        positions.append((uchar(bytes[position]) & 0xC0) == 0x80 ? position + 1 : position);
    for (const qint64 position : positions) {
        const qreal x = layouts.x(0, position);
        const qreal summed = layouts.summedX(0, position);
        QVERIFY2(qAbs(x - summed) < 3, qPrintable(QStringLiteral("at %1: laid out %2, summed %3").arg(position).arg(x).arg(summed)));
        QCOMPARE(layouts.positionAt(0, x), position);
    }
    QVERIFY(layouts.x(0, bytes.size()) > 100000);
    QCOMPARE(layouts.widest(), layouts.width(0));
}

void TestLineLayouts::pausedPassCutsAndSumsAsAWholeOne()
{
    const QByteArray bytes = repeated("ab\tc e\xCC\x81 \xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7 \xE4\xB8\xAD", 600000);
    const auto document = documentOf(bytes);
    AdvanceTable advances(testFont());
    const LongLine whole(*document, 0, bytes.size(), advances);
    LongLine paused(*document, 0, bytes.size(), advances, 5000);
    QVERIFY(!paused.isMeasured());
    // On by offsets and by x in turn, each stopping wherever its reach ends.
    for (int step = 0; !paused.isMeasured(); ++step) {
        if (step % 2 == 0)
            paused.measureTo(*document, 0, paused.measuredLength() + 40000, advances);
        else
            paused.measureToX(*document, 0, paused.width() / 20 + paused.segment(paused.segmentCount() - 1).x, advances);
    }
    QCOMPARE(paused.width(), whole.width());
    QCOMPARE(paused.segmentCount(), whole.segmentCount());
    for (int i = 0; i < whole.segmentCount(); ++i) {
        QCOMPARE(paused.segment(i).start, whole.segment(i).start);
        QCOMPARE(paused.segment(i).x, whole.segment(i).x);
        QCOMPARE(paused.segment(i).tabs, whole.segment(i).tabs);
    }
}

void TestLineLayouts::editOfALongLineMeasuresAsAFreshPass_data()
{
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("removed");
    QTest::addColumn<QByteArray>("inserted");
    QTest::addColumn<qint64>("upTo"); // how far the first pass goes; `from` counts from its end short of the whole

    const qint64 whole = LongLine::kWhole;
    const qint64 part = 20000;
    const QByteArray mark("\xCC\x81");
    QTest::newRow("typed before tabs") << qint64(100) << qint64(0) << QByteArray("x") << whole;
    QTest::newRow("typed among tabs") << qint64(30000) << qint64(0) << QByteArray("x") << whole;
    QTest::newRow("removed across a cut") << qint64(1020) << qint64(40) << QByteArray() << whole;
    QTest::newRow("mark at a cut") << qint64(1024) << qint64(0) << mark << whole;
    QTest::newRow("pasted stretch") << qint64(9000) << qint64(5) << repeated("pasted\t", 10000) << whole;
    QTest::newRow("at the end") << qint64(-1) << qint64(0) << QByteArray("\xE4\xB8\xAD") << whole;
    QTest::newRow("typed in the measured part") << qint64(-10000) << qint64(0) << QByteArray("x") << part;
    QTest::newRow("mark where the pass stopped") << qint64(0) << qint64(0) << mark << part;
    QTest::newRow("removed across where it stopped") << qint64(-30) << qint64(3000) << QByteArray() << part;
    QTest::newRow("typed just past where it stopped") << qint64(20) << qint64(0) << QByteArray("\t") << part;
    QTest::newRow("removed far past where it stopped") << qint64(30000) << qint64(9) << QByteArray() << part;
}

void TestLineLayouts::editOfALongLineMeasuresAsAFreshPass()
{
    QFETCH(qint64, from);
    QFETCH(qint64, removed);
    QFETCH(QByteArray, inserted);
    QFETCH(qint64, upTo);
    // Segments without a tab first, so that a shift reaches tabs only segments later.
    const QByteArray bytes = repeated("abcdefgh ", 8000) + repeated("ab\tcde\tf \xC3\xA9", 50000);
    const auto document = documentOf(bytes);
    AdvanceTable advances(testFont());
    LongLine line(*document, 0, bytes.size(), advances, upTo);
    QVERIFY(upTo == LongLine::kWhole || !line.isMeasured());
    if (!line.isMeasured())
        from += line.measuredLength();
    else if (from < 0)
        from = bytes.size();
    document->replace(from, removed, inserted);
    line.edit(*document, 0, from, removed, inserted.size(), advances);
    line.measureTo(*document, 0, document->size(), advances);
    for (int i = 1; i < line.segmentCount(); ++i)
        QVERIFY2(document->bytes(line.segment(i).start, 2) != "\xCC\x81", qPrintable(QStringLiteral("segment %1 begins with a mark").arg(i)));

    const LongLine fresh(*document, 0, document->size(), advances);
    QCOMPARE(line.length(), document->size());
    QCOMPARE(line.width(), fresh.width());
    for (qint64 offset = 0; offset < document->size(); offset += 997)
        QCOMPARE(line.summedX(*document, 0, offset, advances), fresh.summedX(*document, 0, offset, advances));
}

void TestLineLayouts::editKeepsOtherLinesAndMovesThoseAfter_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("removed");
    QTest::addColumn<QByteArray>("inserted");
    QTest::addColumn<int>("kept"); // lines whose layouts survive the edit

    const QByteArray lines("one\ntwo\nthree\tx\nfour\nfive\n");
    QTest::newRow("typed in a line") << lines << qint64(1) << qint64(0) << QByteArray("n") << 5;
    QTest::newRow("line added above") << lines << qint64(0) << qint64(0) << QByteArray("zero\n") << 5;
    QTest::newRow("lines joined") << lines << qint64(3) << qint64(1) << QByteArray() << 4;
    QTest::newRow("cr lf split") << QByteArray("a\r\nb\r\nc") << qint64(2) << qint64(0) << QByteArray("x") << 3;
    QTest::newRow("cr lf joined") << QByteArray("a\rx\nb") << qint64(2) << qint64(1) << QByteArray() << 1;
    QTest::newRow("cr gains lf") << QByteArray("a\rbb") << qint64(2) << qint64(0) << QByteArray("\n") << 0;
}

void TestLineLayouts::editKeepsOtherLinesAndMovesThoseAfter()
{
    QFETCH(QByteArray, text);
    QFETCH(qint64, from);
    QFETCH(qint64, removed);
    QFETCH(QByteArray, inserted);
    QFETCH(int, kept);
    const auto document = documentOf(text);
    LineLayouts layouts(document.get(), testFont());
    for (qint64 line = 0; line < document->lineCount(); ++line)
        layouts.width(line);

    document->replace(from, removed, inserted);
    layouts.documentChanged(from, removed, inserted.size());
    QCOMPARE(layouts.keptCount(), kept);
    LineLayouts fresh(document.get(), testFont());
    for (qint64 line = 0; line < document->lineCount(); ++line) {
        QCOMPARE(layouts.width(line), fresh.width(line));
        const qint64 end = document->lineEnd(line);
        QCOMPARE(layouts.x(line, end), fresh.x(line, end));
        QCOMPARE(layouts.positionAt(line, fresh.width(line) + 5), end);
    }
}

QTEST_MAIN(TestLineLayouts)
#include "tst_linelayouts.moc"
