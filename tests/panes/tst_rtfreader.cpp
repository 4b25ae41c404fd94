#include "rtfreader.h"

#include <QRandomGenerator>
#include <QStringDecoder>
#include <QUtf8StringView>
#include <QTest>

class TestRtfReader : public QObject
{
    Q_OBJECT

private slots:
    void bodyTextIsReadExactly_data();
    void bodyTextIsReadExactly();
    void deepNestingNeedsNoCallStack();
    void groupsThatEachChangeTheirStateKeepFewSavedStates_data();
    void groupsThatEachChangeTheirStateKeepFewSavedStates();
    void otherCodePagesAreHonoured();
    void mangledDocumentsStillGiveValidUtf8();
};

void TestRtfReader::bodyTextIsReadExactly_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");

    QTest::newRow("breaks, tab, and source line ends that are not text")
        << QByteArray("{\\rtf1 a\\par\r\nb\\line c\\tab d\ne}") << QStringLiteral("a\r\nb\r\nc\tde");
    QTest::newRow("backslash newline is a paragraph") << QByteArray("{\\rtf1 a\\\nb}") << QStringLiteral("a\r\nb");
    QTest::newRow("escaped braces and backslash") << QByteArray("{\\rtf1 a\\\\b\\{c\\}d}") << QStringLiteral("a\\b{c}d");
    QTest::newRow("non-breaking space and hyphens")
        << QByteArray("{\\rtf1 a\\~b\\-c\\_d}") << QStringLiteral("a\u00A0bc\u2011d");
    QTest::newRow("word delimiter space is eaten, the next is kept")
        << QByteArray("{\\rtf1\\b  bold\\b0 plain}") << QStringLiteral(" boldplain");
    QTest::newRow("hex in windows-1252, either case")
        << QByteArray("{\\rtf1\\ansi\\ansicpg1252 caf\\'e9 \\'80\\'93x\\'94 \\'C9}") << QStringLiteral("café €“x” É");
    QTest::newRow("symbol words") << QByteArray("{\\rtf1 \\lquote a\\rquote  \\emdash  \\bullet}")
                                  << QStringLiteral("\u2018a\u2019 \u2014 \u2022");
    QTest::newRow("unicode with two fallbacks") << QByteArray("{\\rtf1\\uc2\\u8364\\'80\\'80x}") << QStringLiteral("€x");
    QTest::newRow("unicode without fallback") << QByteArray("{\\rtf1\\uc0\\u233 x}") << QStringLiteral("éx");
    QTest::newRow("fallback count is per group, one by default")
        << QByteArray("{\\rtf1{\\uc3\\u233 abcd}\\u233?e}") << QStringLiteral("édée");
    QTest::newRow("fallback stops at a brace") << QByteArray("{\\rtf1\\uc2\\u233{x}y}") << QStringLiteral("éxy");
    QTest::newRow("negative unicode") << QByteArray("{\\rtf1\\u-3913?}") << QString(QChar(0xF0B7));
    QTest::newRow("surrogate pair") << QByteArray("{\\rtf1\\u-10179?\\u-8694?}") << QStringLiteral("\U0001F60A");
    QTest::newRow("lone surrogate") << QByteArray("{\\rtf1\\u-10179?x}") << QStringLiteral("\uFFFDx");
    QTest::newRow("skipped destinations")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0;}{\\info{\\title T}}{\\pict 89504e47}"
                      "{\\*\\unknown hidden}Body}")
        << QStringLiteral("Body");
    QTest::newRow("field shows its result")
        << QByteArray("{\\rtf1{\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt link}}}") << QStringLiteral("link");
    QTest::newRow("binary data is stepped over") << QByteArray("{\\rtf1 a\\bin3 x}\\b c}") << QStringLiteral("ab c");
    QTest::newRow("stray brace before, text after the document")
        << QByteArray("}{\\rtf1 a}tail") << QStringLiteral("a");

    // Cut off, oversized or malformed input ends cleanly with what was read.
    QTest::newRow("cut off mid-text") << QByteArray("{\\rtf1 Hello\\par Wor") << QStringLiteral("Hello\r\nWor");
    QTest::newRow("cut off after a backslash") << QByteArray("{\\rtf1 ab\\") << QStringLiteral("ab");
    QTest::newRow("cut off in a hex escape") << QByteArray("{\\rtf1 ab\\'e") << QStringLiteral("ab");
    QTest::newRow("cut off in a control word") << QByteArray("{\\rtf1 ab\\u") << QStringLiteral("ab");
    QTest::newRow("cut off in a parameter") << QByteArray("{\\rtf1 ab\\u23") << QStringLiteral("ab\u0017");
    QTest::newRow("cut off in a pending pair") << QByteArray("{\\rtf1 ab\\u-10179?") << QStringLiteral("ab\uFFFD");
    QTest::newRow("huge fallback count") << QByteArray("{\\rtf1\\uc99999999999999999999\\u233 abc}") << QStringLiteral("é");
    QTest::newRow("huge unicode value") << QByteArray("{\\rtf1 a\\u99999999999999 bc}") << QStringLiteral("a\uFFFDc");
    QTest::newRow("huge binary length") << QByteArray("{\\rtf1 a\\bin99999999999999999 xyz}") << QStringLiteral("a");
    QTest::newRow("negative binary length") << QByteArray("{\\rtf1 a\\bin-5 xyz}") << QStringLiteral("axyz");
    QTest::newRow("huge code page") << QByteArray("{\\rtf1\\ansicpg99999999999 \\'e9}") << QStringLiteral("é");
    QTest::newRow("overlong control word") << QByteArray("{\\rtf1 a\\" + QByteArray(5000, 'x') + " b}") << QStringLiteral("ab");
}

void TestRtfReader::bodyTextIsReadExactly()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromUtf8(rtfToPlainText(rtf)), expected);
}

void TestRtfReader::deepNestingNeedsNoCallStack()
{
    constexpr int kDepth = 100000;
    QCOMPARE(rtfToPlainText("{\\rtf1 " + QByteArray(kDepth, '{') + "\\b x" + QByteArray(kDepth, '}') + "y}"),
             QByteArray("xy"));

    // Skipped groups nested as deep, and a million braces never closed.
    QByteArray skipped = "{\\rtf1 ";
    for (int i = 0; i < kDepth; ++i)
        skipped += "{\\*\\x ";
    skipped += "hidden" + QByteArray(kDepth, '}') + "shown}";
    QCOMPARE(rtfToPlainText(skipped), QByteArray("shown"));
    QCOMPARE(rtfToPlainText("{\\rtf1 " + QByteArray(1000000, '{')), QByteArray());
}

void TestRtfReader::groupsThatEachChangeTheirStateKeepFewSavedStates_data()
{
    QTest::addColumn<int>("depth");
    QTest::newRow("a thousand deep") << 1000;
    QTest::newRow("two hundred thousand deep") << 200000;
}

void TestRtfReader::groupsThatEachChangeTheirStateKeepFewSavedStates()
{
    // Each group flips the fallback count between 0 and 1, so \u233? shows the '?' only where
    // the count is 0; after each of the outermost thousand groups closes, the state it restores
    // shows.
    QFETCH(int, depth);
    constexpr int kChecked = 1000;
    const auto uc = [](int group) { return group < 0 ? 1 : group % 2; };
    const auto shown = [](int count) { return count ? QByteArray("\xc3\xa9") : QByteArray("\xc3\xa9?"); };
    QByteArray rtf = "{\\rtf1 ";
    for (int group = 0; group < depth; ++group)
        rtf += "{\\uc" + QByteArray::number(uc(group)) + ' ';
    rtf += "\\u233?";
    QByteArray expected = shown(uc(depth - 1));
    for (int group = depth - 1; group >= 0; --group) {
        rtf += '}';
        if (group < kChecked) {
            rtf += "\\u233?";
            expected += shown(uc(group - 1));
        }
    }
    qsizetype peak = 0;
    QCOMPARE(rtfToPlainText(rtf + '}', &peak), expected);
    QVERIFY2(peak <= kRtfSavedStatesLimit, qPrintable(QString::number(peak)));
}

void TestRtfReader::otherCodePagesAreHonoured()
{
    if (!QStringDecoder("windows-1251").isValid())
        QSKIP("This Qt build has no decoder for code page 1251.");
    QCOMPARE(QString::fromUtf8(rtfToPlainText("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8}")),
             QStringLiteral("При"));
}

void TestRtfReader::mangledDocumentsStillGiveValidUtf8()
{
    // Cut, flipped and shuffled copies of a document that uses every feature of the reader.
    const QByteArray document =
        "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Arial;}}{\\*\\generator x;}\\uc1 caf\\'e9\\par "
        "\\u8364?\\u-10179?\\u-8694?{\\field{\\*\\fldinst X}{\\fldrslt y}}\\bin2 {}\\tab\\~\\{\\}}";
    const QByteArray alphabet = "{}\\'u-0123456789abcdefpar bin*\xE9\xFF\r\n";
    QRandomGenerator random(20210831);
    for (int round = 0; round < 3000; ++round) {
        QByteArray mangled = document.left(random.bounded(document.size() + 1));
        const int edits = random.bounded(8);
        for (int e = 0; e < edits && !mangled.isEmpty(); ++e)
            mangled[random.bounded(mangled.size())] = alphabet[random.bounded(alphabet.size())];
        const QByteArray text = rtfToPlainText(mangled);
        QVERIFY2(QUtf8StringView(text).isValidUtf8(), mangled.constData());
    }
}

QTEST_GUILESS_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"
