#include "panes/panefiles.h"
#include "platform/failure.h"
#include "tests/support/testfiles.h"
#include "tests/support/fakeplatform.h"
#include "textpane/panecontrol.h"

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
    void init() { m_fake.messages.shown.clear(); }
    void foreignTextArrivesAsUtf8();
    void saveWritesThePaneAsItIsAskingOnlyToOverwrite_data();
    void saveWritesThePaneAsItIsAskingOnlyToOverwrite();
    void saveThroughALinkKeepsTheLinkAndThePermissions();
    void readOnlyFileIsRefused();

private:
    PaneFiles io() { return {m_fake.files, m_fake.messages}; }

    FakePlatform m_fake;
};

void TestModRtb::foreignTextArrivesAsUtf8()
{
    const QString text = QStringLiteral("Grüße\r\nnaïve “café” €5\n");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("foreign.txt"));
    QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    writeFile(path, utf16.encode(text));
    PaneControl pane;
    LoadPane(io(), pane, path);
    QCOMPARE(pane.bytes(), text.toUtf8());
}

void TestModRtb::saveWritesThePaneAsItIsAskingOnlyToOverwrite_data()
{
    QTest::addColumn<QByteArray>("old"); // null: no file yet
    QTest::addColumn<QByteArray>("text");
    // No code-page squeeze and no line end added.
    QTest::newRow("new file") << QByteArray() << QByteArray("caf\xC3\xA9 \xE2\x82\xAC\r");
    QTest::newRow("empty pane, new file") << QByteArray() << QByteArray("");
    QTest::newRow("shorter text over a longer file") << QByteArray(10000, 'x') << QByteArray("ab");
    QTest::newRow("empty pane over a file") << QByteArray("old") << QByteArray("");
}

void TestModRtb::saveWritesThePaneAsItIsAskingOnlyToOverwrite()
{
    QFETCH(QByteArray, old);
    QFETCH(QByteArray, text);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("target.txt"));
    if (!old.isNull())
        writeFile(path, old);
    PaneControl pane;
    pane.setBytes(text);
    SavePane(io(), pane, path);

    QCOMPARE(readFile(path), text);
    QCOMPARE(m_fake.messages.shown.size(), old.isNull() ? 0 : 1);
    if (!old.isNull()) {
        const platform::MessageRequest &box = m_fake.messages.shown.constFirst();
        QCOMPARE(box.text, QStringLiteral("Are you sure you wish to overwrite ") + path + QStringLiteral(" ?"));
        QCOMPARE(box.buttons, platform::MessageButtons::YesNo);
        QCOMPARE(box.defaultButton, MessageAnswer::Yes);
    }
}

void TestModRtb::saveThroughALinkKeepsTheLinkAndThePermissions()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("real.txt"));
    const QString link = dir.filePath(QStringLiteral("link.txt"));
    writeFile(target, "old");
    const QFile::Permissions bits =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(target, bits));
    QVERIFY(QFile::link(target, link));
    PaneControl pane;
    pane.setBytes("through the link");
    SavePane(io(), pane, link);
    QVERIFY2(QFileInfo(link).isSymLink(), "the link must stay a link");
    QCOMPARE(QFileInfo(link).symLinkTarget(), target);
    QCOMPARE(readFile(target), QByteArray("through the link"));
    QCOMPARE(QFile::permissions(target), bits);
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
    pane.setBytes("new");
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
#include "tst_panefiles.moc"
