#include "panes/textdecoding.h"

#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTest>

namespace {

const QString kSample = QStringLiteral("Grüße, naïve café\r\nline two \u20AC \U0001F600\nend");

QByteArray encoded(QStringConverter::Encoding encoding)
{
    return QStringEncoder(encoding, QStringConverter::Flag::WriteBom).encode(kSample);
}

} // namespace

class TestTextDecoding : public QObject
{
    Q_OBJECT

private slots:
    void onlyTextThatIsNotUtf8IsConverted_data();
    void onlyTextThatIsNotUtf8IsConverted();
    void utf8ScanCountsEveryByteOnce_data();
    void utf8ScanCountsEveryByteOnce();
    void textInPiecesCountsAsTheWhole_data();
    void textInPiecesCountsAsTheWhole();
    void textInRandomShortPiecesCountsAsTheWhole();
    void windows1252KeepsEveryByte();
};

void TestTextDecoding::onlyTextThatIsNotUtf8IsConverted_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("expected"); // null: left as it is
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("utf-8 with bom, CR LF, NUL") << QByteArray("\xEF\xBB\xBF" "a\r\nb\0c\r", 10) << QByteArray();
    QTest::newRow("utf-8 with fewer stray bytes than characters")
        << QByteArray("caf\xC3\xA9 na\xC3\xAFve \xFF") << QByteArray();
    QTest::newRow("legacy text")
        << QByteArray("Caf\xE9 \x93q\x94 \x80") << QByteArray("Caf\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D \xE2\x82\xAC");
    // No mark in front: the pane holds the characters, not the file's byte order.
    QTest::newRow("utf-16le") << encoded(QStringConverter::Utf16LE) << kSample.toUtf8();
    QTest::newRow("utf-16be") << encoded(QStringConverter::Utf16BE) << kSample.toUtf8();
    QTest::newRow("utf-32le, whose mark begins like utf-16le's")
        << encoded(QStringConverter::Utf32LE) << kSample.toUtf8();
    QTest::newRow("utf-32be") << encoded(QStringConverter::Utf32BE) << kSample.toUtf8();
    // 0xFF opens a UTF-16 mark only when 0xFE follows.
    QTest::newRow("stray 0xFF in front of utf-8") << QByteArray("\xFF" "caf\xC3\xA9 na\xC3\xAFve") << QByteArray();
    QTest::newRow("0xFF in front of ascii") << QByteArray("\xFF" "ab") << QByteArray("\xC3\xBF" "ab");
    QTest::newRow("legacy text starting with 0xFF")
        << QByteArray("\xFF\xE9\xE8") << QByteArray("\xC3\xBF\xC3\xA9\xC3\xA8");
    QTest::newRow("0xFF 0xFF is no mark") << QByteArray("\xFF\xFF\xE9") << QByteArray("\xC3\xBF\xC3\xBF\xC3\xA9");
    QTest::newRow("rich text") << QByteArray("{\\rtf1\\ansi hi}") << QByteArray("hi");
    QTest::newRow("brace without rtf") << QByteArray("{\\rtx1 hi}") << QByteArray();
}

void TestTextDecoding::onlyTextThatIsNotUtf8IsConverted()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, expected);
    const std::optional<QByteArray> text = paneTextFromFile(data);
    QCOMPARE(text.has_value(), !expected.isNull());
    if (text)
        QCOMPARE(*text, expected);
}

void TestTextDecoding::utf8ScanCountsEveryByteOnce_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<qint64>("multiByte");
    QTest::addColumn<qint64>("invalid");
    // The eight-byte skip must neither jump over a high byte nor lose one at a word's edge.
    QTest::newRow("high byte at offset 7") << QByteArray("abcdefg\xC3\xA9xyz") << 1LL << 0LL;
    QTest::newRow("high byte at offset 8") << QByteArray("abcdefgh\xFF") << 0LL << 1LL;
    QTest::newRow("sequence across a word edge") << QByteArray("abcdef\xE2\x82\xAC") << 1LL << 0LL;
    QTest::newRow("four-byte") << QByteArray("\xF0\x9F\x98\x80") << 1LL << 0LL;
    QTest::newRow("overlong two-byte") << QByteArray("\xC0\x80") << 0LL << 2LL;
    QTest::newRow("overlong three-byte") << QByteArray("\xE0\x80\x80") << 0LL << 3LL;
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << 0LL << 3LL;
    QTest::newRow("beyond U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << 0LL << 4LL;
    QTest::newRow("cut at the end") << QByteArray("ab\xE2\x82") << 0LL << 2LL;
    QTest::newRow("lone continuation") << QByteArray("\x80\xBF") << 0LL << 2LL;
}

void TestTextDecoding::utf8ScanCountsEveryByteOnce()
{
    QFETCH(QByteArray, data);
    QFETCH(qint64, multiByte);
    QFETCH(qint64, invalid);
    const Utf8Census census = countUtf8(data);
    QCOMPARE(census.multiByte, multiByte);
    QCOMPARE(census.invalid, invalid);
}

void TestTextDecoding::windows1252KeepsEveryByte()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    const QString decoded = QString::fromUtf8(windows1252ToUtf8(all));
    QCOMPARE(decoded.size(), 256);
    QCOMPARE(decoded.left(128), QString::fromLatin1(all.left(128)));
    QCOMPARE(decoded[0x80], QChar(0x20AC));
    QCOMPARE(decoded[0x81], QChar(0x81)); // undefined in the code page: kept, not dropped
    QCOMPARE(decoded[0x9F], QChar(0x0178));
    QCOMPARE(decoded.mid(0xA0), QString::fromLatin1(all.mid(0xA0)));
}

void TestTextDecoding::textInPiecesCountsAsTheWhole_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("sequences of every length") << QByteArray("a\xC3\xA9" "b\xE2\x82\xAC\xF0\x9F\x98\x80z\xC3\xA9");
    QTest::newRow("cut-off and stray bytes") << QByteArray("\xE2\x82 \xF0\x9F\x98 \x80\x80\xFF\xC3");
    QTest::newRow("a byte-order mark") << QByteArray("\xFF\xFEh\0i\0", 6);
    QTest::newRow("rich text") << QByteArray("{\\rtf1 caf\xE9}");
    // Cut as 1, 2, 1, 1 bytes, the surrogate-range lead must wait for its third byte.
    QTest::newRow("held-back lead judged at a junction") << QByteArray("\xC3\xE9\xED\x80\x80");
}

void TestTextDecoding::textInPiecesCountsAsTheWhole()
{
    QFETCH(QByteArray, text);
    const Utf8Census whole = countUtf8(text);
    // Every way of cutting the text in four pieces, empty ones included.
    for (qsizetype a = 0; a <= text.size(); ++a) {
        for (qsizetype b = a; b <= text.size(); ++b) {
            for (qsizetype c = b; c <= text.size(); ++c) {
                EncodingScan scan;
                Utf8Counter counter;
                for (const QByteArrayView piece :
                     {text.first(a), text.sliced(a, b - a), text.sliced(b, c - b), text.sliced(c)}) {
                    scan.add(piece);
                    counter.add(piece);
                }
                const Utf8Census census = counter.census();
                QVERIFY2(census.multiByte == whole.multiByte && census.invalid == whole.invalid,
                         qPrintable(QStringLiteral("cut at %1, %2 and %3").arg(a).arg(b).arg(c)));
                QCOMPARE(scan.encoding(), detectEncoding(text));
            }
        }
    }
}

void TestTextDecoding::textInRandomShortPiecesCountsAsTheWhole()
{
    // Bytes at the edges of every lead's range, continuations at the edges of theirs.
    static const char kAlphabet[] = "\x41\x80\x8F\x90\x9F\xA0\xBF\xC2\xC3\xDF\xE0\xE9\xED\xEF\xF0\xF4\xF5\xFF";
    constexpr quint32 kSeed = 20240611;
    QRandomGenerator random(kSeed);
    for (int round = 0; round < 200000; ++round) {
        QByteArray text(random.bounded(1, 13), Qt::Uninitialized);
        for (char &byte : text)
            byte = kAlphabet[random.bounded(int(sizeof kAlphabet - 1))];
        Utf8Counter counter;
        QStringList sizes;
        for (qsizetype at = 0; at < text.size();) {
            const qsizetype size = std::min<qsizetype>(random.bounded(7), text.size() - at);
            counter.add(QByteArrayView(text).sliced(at, size));
            sizes += QString::number(size);
            at += size;
        }
        const Utf8Census whole = countUtf8(text);
        const Utf8Census census = counter.census();
        QVERIFY2(census.multiByte == whole.multiByte && census.invalid == whole.invalid,
                 qPrintable(QStringLiteral("seed %1, round %2: %3 in pieces of %4")
                                .arg(kSeed).arg(round).arg(QString::fromLatin1(text.toHex(' ')), sizes.join(", "))));
    }
}

QTEST_GUILESS_MAIN(TestTextDecoding)
#include "tst_textdecoding.moc"
