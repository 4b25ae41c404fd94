#include "app/commandline.h"

#include <QTest>

class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void namesReachTheirPanesAndMistakesEndWithStatusOne_data();
    void namesReachTheirPanesAndMistakesEndWithStatusOne();
};

void TestCommandLine::namesReachTheirPanesAndMistakesEndWithStatusOne_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status"); // -1: the window opens
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("output"); // the start of standard output
    QTest::addColumn<QString>("error");  // the start of standard error

    const QStringList none;
    QTest::newRow("nothing") << none << -1 << none << "" << "";
    QTest::newRow("relative left") << QStringList{"a.txt"} << -1 << QStringList{"/home/u/a.txt"} << "" << "";
    QTest::newRow("left and right") << QStringList{"../b.txt", "/etc/c"} << -1
                                    << QStringList{"/home/u/../b.txt", "/etc/c"} << "" << "";
    QTest::newRow("a name like an option") << QStringList{"--", "-x"} << -1 << QStringList{"/home/u/-x"} << "" << "";
    QTest::newRow("third name") << QStringList{"a", "b", "c"} << 1 << none << "" << "brassfinch: Too many files";
    QTest::newRow("unknown option") << QStringList{"--bogus", "a"} << 1 << none << "" << "brassfinch: Unknown option";
    QTest::newRow("version") << QStringList{"--version"} << 0 << none
                             << "brassfinch " BRASSFINCH_VERSION "\n" << "";
    QTest::newRow("help") << QStringList{"-h", "a"} << 0 << none
                          << "Usage: brassfinch [options] [LEFT [RIGHT]]\n" << "";
}

void TestCommandLine::namesReachTheirPanesAndMistakesEndWithStatusOne()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QStringList, files);
    QFETCH(QString, output);
    QFETCH(QString, error);

    const CommandLine line = parseCommandLine(QStringList{"/usr/bin/brassfinch"} + arguments, "/home/u");

    QCOMPARE(line.run, status < 0);
    QCOMPARE(line.exitStatus, std::max(status, 0));
    QCOMPARE(line.files, files);
    QVERIFY2(output.isEmpty() ? line.output.isEmpty() : line.output.startsWith(output), qPrintable(line.output));
    QVERIFY2(error.isEmpty() ? line.error.isEmpty() : line.error.startsWith(error), qPrintable(line.error));
    if (arguments.contains("-h"))
        QVERIFY2(line.output.contains("--version") && line.output.contains("RIGHT"), qPrintable(line.output));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
