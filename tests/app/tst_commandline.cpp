#include "app/commandline.h"

#include <QTest>

class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void namesReachTheirPanesAndMistakesEndWithStatusOne_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status"); // -1: the window opens
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("printed"); // how standard output starts, or standard error on status 1
        const QStringList none;
        QTest::newRow("relative left") << QStringList{"a.txt"} << -1 << QStringList{"/home/u/a.txt"} << "";
        QTest::newRow("left and right") << QStringList{"--", "-x", "/etc/c"} << -1 << QStringList{"/home/u/-x", "/etc/c"} << "";
        QTest::newRow("standard input and a pipe")
            << QStringList{"-", "/dev/fd/63"} << -1 << QStringList{"/dev/stdin", "/dev/fd/63"} << "";
        QTest::newRow("third name") << QStringList{"a", "b", "c"} << 1 << none << "brassfinch: Too many files";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 1 << none << "brassfinch: Unknown option";
        QTest::newRow("version") << QStringList{"--version"} << 0 << none << "brassfinch " BRASSFINCH_VERSION "\n";
        QTest::newRow("compare mode and ignore options") << QStringList{"--compare", "-w", "-i", "--ignore-matching", "^\\d+", "a", "b"}
                                                         << -1 << QStringList{"/home/u/a", "/home/u/b"} << "";
        QTest::newRow("a pattern that is no regular expression") << QStringList{"--ignore-matching=(", "a"} << 1 << none
                                                                 << "brassfinch: --ignore-matching: not a regular expression";
        QTest::newRow("help") << QStringList{"-h", "a"} << 0 << none << "Usage: brassfinch [options] [LEFT [RIGHT]]\n";
    }
    void namesReachTheirPanesAndMistakesEndWithStatusOne()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, printed);
        const CommandLine line = parseCommandLine(QStringList{"/usr/bin/brassfinch"} + arguments, "/home/u");
        QCOMPARE(line.run, status < 0);
        QCOMPARE(line.exitStatus, std::max(status, 0));
        QTEST(line.files, "files");
        const QString shown = status == 1 ? line.error : line.output;
        const QString other = status == 1 ? line.output : line.error;
        QVERIFY2(other.isEmpty() && (printed.isEmpty() ? shown.isEmpty() : shown.startsWith(printed)), qPrintable(shown));
        // Compare mode only when asked for, with what it was told to ignore.
        const bool compare = arguments.contains(QStringLiteral("--compare"));
        QCOMPARE(line.compare, compare && status < 0);
        if (line.compare)
            QVERIFY(line.compareOptions == (CompareOptions{true, true, QStringLiteral("^\\d+")}));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
