#include "textdecoding.h"

#include <QStringEncoder>
#include <QTest>

Q_DECLARE_METATYPE(TextEncoding)

namespace {

QByteArray encoded(QStringConverter::Encoding encoding, const QString &text)
{
    QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
    return encoder(text);
}

const QString kSample = QStringLiteral("Grüße, naïve café\r\nline two \u20AC \U0001F600\nend");

} // namespace

class TestTextDecoding : public QObject
{
    Q_OBJECT

private slots:
    void detectionPicksTheRightReading_data();
    void detectionPicksTheRightReading();
    void utf8ScanCountsEveryByteOnce_data();
    void utf8ScanCountsEveryByteOnce();
    void utf8FilesAreNeverConverted_data();
    void utf8FilesAreNeverConverted();
    void wideTextBecomesTheSameCharactersInUtf8_data();
    void wideTextBecomesTheSameCharactersInUtf8();
    void windows1252KeepsEveryByte();
};

void TestTextDecoding::detectionPicksTheRightReading_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<TextEncoding>("expected");
    QTest::newRow("empty") << QByteArray() << TextEncoding::Utf8;
    QTest::newRow("ascii") << QByteArray("plain\r\ntext") << TextEncoding::Utf8;
    QTest::newRow("utf-8") << QByteArray("caf\xC3\xA9") << TextEncoding::Utf8;
    QTest::newRow("utf-8 with bom") << QByteArray("\xEF\xBB\xBFtext") << TextEncoding::Utf8;
    QTest::newRow("utf-8 with a stray byte") << QByteArray("caf\xC3\xA9 na\xC3\xAFve \xFF") << TextEncoding::Utf8;
    QTest::newRow("nul bytes") << QByteArray("a\0b\0c", 5) << TextEncoding::Utf8;
    QTest::newRow("legacy accent") << QByteArray("Caf\xE9 au lait\r\n") << TextEncoding::Windows1252;
    QTest::newRow("legacy quotes") << QByteArray("\x93quoted\x94 and \x80 5") << TextEncoding::Windows1252;
    QTest::newRow("utf-16le") << QByteArray("\xFF\xFEh\0i\0", 6) << TextEncoding::Utf16LE;
    QTest::newRow("utf-16be") << QByteArray("\xFE\xFF\0h\0i", 6) << TextEncoding::Utf16BE;
    QTest::newRow("utf-32le before utf-16le") << QByteArray("\xFF\xFE\0\0h\0\0\0", 8) << TextEncoding::Utf32LE;
    QTest::newRow("utf-32be") << QByteArray("\0\0\xFE\xFF\0\0\0h", 8) << TextEncoding::Utf32BE;
    QTest::newRow("rich text") << QByteArray("{\\rtf1\\ansi hi}") << TextEncoding::RichText;
    QTest::newRow("brace without rtf") << QByteArray("{\\rtx1 hi}") << TextEncoding::Utf8;
}

void TestTextDecoding::detectionPicksTheRightReading()
{
    QFETCH(QByteArray, data);
    QFETCH(TextEncoding, expected);
    QCOMPARE(detectEncoding(data), expected);
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

void TestTextDecoding::utf8FilesAreNeverConverted_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("bom, CR LF, NUL") << QByteArray("\xEF\xBB\xBF" "a\r\nb\0c\r", 10);
    QTest::newRow("stray bytes among text") << QByteArray("\xC3\xA9t\xC3\xA9 \xC3\xA0 \xFE\xFF\r");
    QTest::newRow("empty") << QByteArray();
}

void TestTextDecoding::utf8FilesAreNeverConverted()
{
    QFETCH(QByteArray, data);
    QVERIFY(!paneTextFromFile(data).has_value());
}

void TestTextDecoding::wideTextBecomesTheSameCharactersInUtf8_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("utf-16le") << encoded(QStringConverter::Utf16LE, kSample);
    QTest::newRow("utf-16be") << encoded(QStringConverter::Utf16BE, kSample);
    QTest::newRow("utf-32le") << encoded(QStringConverter::Utf32LE, kSample);
    QTest::newRow("utf-32be") << encoded(QStringConverter::Utf32BE, kSample);
}

void TestTextDecoding::wideTextBecomesTheSameCharactersInUtf8()
{
    QFETCH(QByteArray, data);
    const std::optional<QByteArray> text = paneTextFromFile(data);
    QVERIFY(text.has_value());
    // No mark in front: the pane holds the characters, not the file's byte order.
    QCOMPARE(*text, kSample.toUtf8());
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
    QCOMPARE(decoded[0x93], QChar(0x201C));
    QCOMPARE(decoded[0x9F], QChar(0x0178));
    QCOMPARE(decoded.mid(0xA0), QString::fromLatin1(all.mid(0xA0)));
}

QTEST_GUILESS_MAIN(TestTextDecoding)
#include "tst_textdecoding.moc"
