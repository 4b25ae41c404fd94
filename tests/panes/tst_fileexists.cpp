#include "panes/fileexists.h"
#include "platform/qtplatform.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestFileExists : public QObject
{
    Q_OBJECT

private slots:
    void fileExistsAnswersFromTheFileSystem_data();
    void fileExistsAnswersFromTheFileSystem();
};

void TestFileExists::fileExistsAnswersFromTheFileSystem_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("expected");
    QTest::newRow("existing file") << "present.txt" << true;
    QTest::newRow("backslash in the name") << "a\\b.txt" << true;
    // The question is whether the entry is there, not whether it can be opened.
    QTest::newRow("unreadable file") << "locked.txt" << true;
    QTest::newRow("missing name in an existing folder") << "absent.txt" << false;
    QTest::newRow("path through a missing folder") << "nowhere/present.txt" << false;
    QTest::newRow("empty path") << QString() << false;
}

void TestFileExists::fileExistsAnswersFromTheFileSystem()
{
    QFETCH(QString, relative);
    QFETCH(bool, expected);
    QTemporaryDir dir;
    for (const char *name : {"present.txt", "a\\b.txt", "locked.txt"}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("locked.txt")), {}));
    const platform::QtFileServices files;
    QCOMPARE(FileExists(files, relative.isEmpty() ? QString() : dir.filePath(relative)), expected);
}

QTEST_GUILESS_MAIN(TestFileExists)
#include "tst_fileexists.moc"
