#include "fakeplatform.h"
#include "failure.h"
#include "modrtb.h"
#include "panecontrol.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using platform::MessageAnswer;

class TestModRtb : public QObject
{
    Q_OBJECT

private slots:
    void missingFileLeavesThePaneAndSaysSo_data();
    void missingFileLeavesThePaneAndSaysSo();
    void foreignTextArrivesAsUtf8_data();
    void foreignTextArrivesAsUtf8();
    void richTextArrivesAsItsPlainText();
    void unloadableFileIsThrownToTheCaller();
    void newFileIsWrittenWithoutAQuestion();
    void overwriteAsksWithTheFullPath();
    void shorterTextLeavesNothingOfTheOld();
    void emptyPaneWritesAnEmptyFile();
    void saveThroughLinkWritesTheTarget();
    void saveKeepsPermissionBits();
    void readOnlyFileIsRefused();

private:
    PaneFiles io() { return {m_fake.files, m_fake.messages}; }

    FakePlatform m_fake;
};

void TestModRtb::missingFileLeavesThePaneAndSaysSo_data()
{
    QTest::addColumn<QString>("relative");
    QTest::newRow("missing name") << "absent.txt";
    QTest::newRow("missing folder") << "nowhere/absent.txt";
    QTest::newRow("empty path") << QString();
}

void TestModRtb::missingFileLeavesThePaneAndSaysSo()
{
    QFETCH(QString, relative);
    QTemporaryDir dir;
    PaneControl pane;
    pane.SetText("kept\r");
    m_fake.messages.shown.clear();

    LoadPane(io(), pane, relative.isEmpty() ? QString() : dir.filePath(relative));

    QCOMPARE(pane.Text(), QByteArray("kept\r"));
    QCOMPARE(m_fake.messages.shown.size(), 1);
    const platform::MessageRequest &box = m_fake.messages.shown.constFirst();
    QCOMPARE(box.text, QStringLiteral("File not found"));
    QVERIFY2(box.title.isEmpty(), "the box carries the application title");
    QCOMPARE(box.icon, platform::MessageIcon::None);
    QCOMPARE(box.buttons, platform::MessageButtons::Ok);
}

void TestModRtb::foreignTextArrivesAsUtf8_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QString text = QStringLiteral("Grüße\r\nnaïve “café” €5\n");
    QTest::newRow("utf-16le") << QByteArray(QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom).encode(text));
    QTest::newRow("utf-16be") << QByteArray(QStringEncoder(QStringConverter::Utf16BE, QStringConverter::Flag::WriteBom).encode(text));
    QTest::newRow("windows-1252") << QByteArray("Gr\xFC\xDF" "e\r\nna\xEFve \x93" "caf\xE9\x94 \x80" "5\n");
}

void TestModRtb::foreignTextArrivesAsUtf8()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("foreign.txt"));
    writeFile(path, bytes);
    PaneControl pane;
    LoadPane(io(), pane, path);
    QCOMPARE(QString::fromUtf8(pane.Text()), QStringLiteral("Grüße\r\nnaïve “café” €5\n"));
}

void TestModRtb::richTextArrivesAsItsPlainText()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("letter.rtf"));
    writeFile(path, "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Dear \\'c9milie,\\par thanks.}");
    PaneControl pane;
    LoadPane(io(), pane, path);
    QCOMPARE(QString::fromUtf8(pane.Text()), QStringLiteral("Dear Émilie,\r\nthanks."));
}

void TestModRtb::unloadableFileIsThrownToTheCaller()
{
    // A folder exists but holds no text: the failure is the caller's to report, no box here.
    QTemporaryDir dir;
    PaneControl pane;
    m_fake.messages.shown.clear();
    QVERIFY_THROWS_EXCEPTION(platform::Failure, LoadPane(io(), pane, dir.path()));
    QVERIFY(m_fake.messages.shown.isEmpty());
}

void TestModRtb::newFileIsWrittenWithoutAQuestion()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("new.txt"));
    PaneControl pane;
    pane.SetText("caf\xC3\xA9 \xE2\x82\xAC\r");
    m_fake.messages.shown.clear();
    SavePane(io(), pane, path);
    QVERIFY(m_fake.messages.shown.isEmpty());
    // The pane's bytes as they are: no code-page squeeze and no line end added.
    QCOMPARE(readFile(path), QByteArray("caf\xC3\xA9 \xE2\x82\xAC\r"));
}

void TestModRtb::overwriteAsksWithTheFullPath()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.txt"));
    writeFile(path, "old");
    PaneControl pane;
    pane.SetText("new");
    m_fake.messages.shown.clear();
    m_fake.messages.answers = {MessageAnswer::Yes};
    SavePane(io(), pane, path);
    QCOMPARE(m_fake.messages.shown.size(), 1);
    const platform::MessageRequest &box = m_fake.messages.shown.constFirst();
    QCOMPARE(box.text, QStringLiteral("Are you sure you wish to overwrite ") + path + QStringLiteral(" ?"));
    QVERIFY(box.title.isEmpty());
    QCOMPARE(box.icon, platform::MessageIcon::None);
    QCOMPARE(box.buttons, platform::MessageButtons::YesNo);
    QCOMPARE(box.defaultButton, MessageAnswer::Yes);
    QCOMPARE(readFile(path), QByteArray("new"));
}

void TestModRtb::shorterTextLeavesNothingOfTheOld()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.txt"));
    writeFile(path, QByteArray(10000, 'x'));
    PaneControl pane;
    pane.SetText("ab");
    m_fake.messages.answers = {MessageAnswer::Yes};
    SavePane(io(), pane, path);
    QCOMPARE(readFile(path), QByteArray("ab"));
}

void TestModRtb::emptyPaneWritesAnEmptyFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("empty.txt"));
    PaneControl pane;
    SavePane(io(), pane, path);
    QVERIFY(QFile::exists(path));
    QCOMPARE(QFileInfo(path).size(), 0);
}

void TestModRtb::saveThroughLinkWritesTheTarget()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("real.txt"));
    const QString link = dir.filePath(QStringLiteral("link.txt"));
    writeFile(target, "old");
    QVERIFY(QFile::link(target, link));
    PaneControl pane;
    pane.SetText("through the link");
    m_fake.messages.answers = {MessageAnswer::Yes};
    SavePane(io(), pane, link);
    QVERIFY2(QFileInfo(link).isSymLink(), "the link must stay a link");
    QCOMPARE(QFileInfo(link).symLinkTarget(), target);
    QCOMPARE(readFile(target), QByteArray("through the link"));
}

void TestModRtb::saveKeepsPermissionBits()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("private.txt"));
    writeFile(path, "old");
    const QFile::Permissions bits = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser
                                    | QFile::WriteUser | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(path, bits));
    PaneControl pane;
    pane.SetText("new");
    m_fake.messages.answers = {MessageAnswer::Yes};
    SavePane(io(), pane, path);
    QCOMPARE(readFile(path), QByteArray("new"));
    QCOMPARE(QFile::permissions(path), bits);
}

void TestModRtb::readOnlyFileIsRefused()
{
    if (::geteuid() == 0)
        QSKIP("Permission bits do not stop the superuser from writing.");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("locked.txt"));
    writeFile(path, "old");
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser));
    PaneControl pane;
    pane.SetText("new");
    m_fake.messages.answers = {MessageAnswer::Yes};
    try {
        SavePane(io(), pane, path);
        QFAIL("a read-only file was replaced");
    } catch (const platform::Failure &failure) {
        QCOMPARE(failure.message(), QStringLiteral("Permission denied"));
    }
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    QCOMPARE(readFile(path), QByteArray("old"));
}

QTEST_MAIN(TestModRtb)
#include "tst_modrtb.moc"
