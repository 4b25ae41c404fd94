#include "panes/diskchangenotice.h"
#include "panes/panefiles.h"
#include "panes/panefilestatus.h"
#include "panes/panefollower.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/testfiles.h"
#include "textpane/panecontrol.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

constexpr int kWaitMs = 5000;

QByteArray lines(const char *word, int count)
{
    QByteArray text;
    for (int i = 1; i <= count; ++i)
        text += word + QByteArray(" ") + QByteArray::number(i) + '\n';
    return text;
}

bool atEnd(const PaneControl &pane)
{
    return pane.firstVisibleLine() + pane.visibleLineCount() >= pane.document().lineCount();
}

qint64 caretLine(const PaneControl &pane)
{
    return pane.document().lineOf(pane.editor().caret());
}

/// A shown pane with its file status and follower, as the main window gives each of its panes.
struct Followed
{
    Followed()
    {
        window.resize(300, 200);
        pane = new PaneControl(&window);
        pane->setGeometry(0, 0, 300, 200);
        status = new PaneFileStatus(*pane);
        follower = new PaneFollower(*pane, *status, fake.files, nullptr);
        window.show();
    }
    /// As the open action does it.
    void open(const QString &path)
    {
        QCOMPARE(LoadPane({fake.files, fake.messages}, *pane, path), LoadOutcome::Loaded);
        pane->appendBytes(kLoadEnd);
        status->loaded(path);
    }
    QList<DiskChangeNotice *> notices() const { return pane->findChildren<DiskChangeNotice *>(); }

    FakePlatform fake;
    QWidget window;
    PaneControl *pane;
    PaneFileStatus *status;
    PaneFollower *follower;
};

} // namespace

class TestPaneFollower : public QObject
{
    Q_OBJECT
private slots:
    void paneFollowsItsFileOnlyWhileUnedited_data();
    void paneFollowsItsFileOnlyWhileUnedited();
    void manyChangesToAnEditedPaneGiveOneNotice();
    void reloadFromTheNoticeReplacesTheEdits();
    void growthWhileLoadingIsCaughtUp();
    void writesAfterARenameOverAreSeen();
};

void TestPaneFollower::paneFollowsItsFileOnlyWhileUnedited_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("edited");
    QTest::addColumn<bool>("end"); // the view at the end of the text, the caret there too
    for (const char *change : {"append", "rewrite", "truncate", "rename over", "delete", "re-create"})
        for (bool edited : {false, true})
            for (bool end : {false, true})
                QTest::addRow("%s, %s, %s", change, edited ? "edited" : "unedited", end ? "at the end" : "above it")
                    << QString::fromLatin1(change) << edited << end;
}

void TestPaneFollower::paneFollowsItsFileOnlyWhileUnedited()
{
    QFETCH(QString, change);
    QFETCH(bool, edited);
    QFETCH(bool, end);
    QTemporaryDir dir;
    const QString path = dir.filePath("log.txt");
    writeFile(path, lines("line", 300));
    Followed f;
    f.open(path);
    PaneControl &pane = *f.pane;
    if (end)
        pane.select(pane.byteCount(), pane.byteCount());
    else
        pane.select(pane.document().lineStart(109) + 3, pane.document().lineStart(109) + 3);
    if (edited)
        pane.editor().type("x");
    pane.setFirstVisibleLine(end ? pane.document().lineCount() : 100);
    QVERIFY(atEnd(pane) == end);
    const QByteArray before = pane.bytes();
    const std::shared_ptr<TextDocument> document = pane.sharedDocument();
    const qint64 top = pane.firstVisibleLine();
    const qint64 caret = caretLine(pane);

    QByteArray now; // the file on disk once changed; null when it is gone
    if (change == "append") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("line 301\nline 302\n");
        file.close();
        now = readFile(path);
    } else if (change == "rewrite") {
        writeFile(path, now = lines("LINE", 300)); // in place: the same file, another text
    } else if (change == "truncate") {
        writeFile(path, now = lines("rotated", 40));
    } else if (change == "rename over") {
        writeFile(dir.filePath("new.txt"), now = lines("other", 250));
        QVERIFY(::rename(QFile::encodeName(dir.filePath("new.txt")).constData(), QFile::encodeName(path).constData()) == 0);
    } else {
        QVERIFY(QFile::remove(path));
        if (change == "re-create") {
            QTRY_VERIFY_WITH_TIMEOUT(f.status->onDisk() == PaneFileStatus::OnDisk::Deleted, kWaitMs);
            writeFile(path, now = lines("again", 300));
        }
    }

    DiskChangeNotice &notice = f.follower->notice();
    if (now.isNull()) {
        // A file gone: the text stays, whether edited or not, and the notice says so.
        QTRY_VERIFY_WITH_TIMEOUT(notice.isVisible(), kWaitMs);
        QVERIFY2(notice.text().contains("deleted"), qPrintable(notice.text()));
        QVERIFY(!notice.reloadButton()->isVisible());
        QCOMPARE(pane.bytes(), before);
        QVERIFY2(f.status->description().endsWith("changed on disk: deleted"), qPrintable(f.status->description()));
    } else if (edited) {
        // Never changed behind the user's back: one notice, and the text as it was.
        QTRY_VERIFY_WITH_TIMEOUT(notice.isVisible() && notice.text().contains("changed on disk"), kWaitMs);
        QVERIFY(notice.reloadButton()->isVisible());
        QCOMPARE(pane.bytes(), before);
        QVERIFY(pane.isModified());
        QVERIFY2(f.status->description().endsWith("; changed on disk"), qPrintable(f.status->description()));
        QCOMPARE(pane.firstVisibleLine(), top);
    } else {
        // Followed: the file's bytes and the open's one carriage return, nothing to undo, and
        // the view and caret on their lines, or at the end.
        QTRY_COMPARE_WITH_TIMEOUT(pane.bytes(), now + kLoadEnd, kWaitMs);
        QVERIFY(!pane.isModified());
        QVERIFY(!pane.document().canUndo());
        // Only the new bytes are added to a file that grew; anything else is read again.
        QCOMPARE(pane.sharedDocument() == document, change == "append");
        QVERIFY(!notice.isVisible());
        QVERIFY2(!f.status->description().contains("on disk"), qPrintable(f.status->description()));
        if (end) {
            QVERIFY2(atEnd(pane), qPrintable(QString::number(pane.firstVisibleLine())));
            QCOMPARE(caretLine(pane), pane.document().lineCount() - 1);
        } else {
            const qint64 lastLine = pane.document().lineCount() - 1;
            QCOMPARE(pane.firstVisibleLine(), std::min(top, lastLine + 1 - pane.visibleLineCount()));
            QCOMPARE(caretLine(pane), std::min(caret, lastLine));
        }
    }
    QCOMPARE(f.notices().size(), 1);
}

void TestPaneFollower::manyChangesToAnEditedPaneGiveOneNotice()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("log.txt");
    writeFile(path, "a\n");
    Followed f;
    f.open(path);
    f.pane->editor().type("x");
    const QByteArray edited = f.pane->bytes();
    for (int i = 0; i < 5; ++i) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("more\n");
        file.close();
        QTest::qWait(PaneFollower::kGatherMs / 2);
    }
    QTRY_VERIFY_WITH_TIMEOUT(f.follower->notice().isVisible(), kWaitMs);
    QTest::qWait(2 * PaneFollower::kGatherMs);
    QCOMPARE(f.notices().size(), 1);
    QCOMPARE(f.pane->bytes(), edited);

    // Keep: the text stays, and the tooltip still says the file changed. A later change tells again.
    f.follower->notice().keepButton()->click();
    QVERIFY(!f.follower->notice().isVisible());
    QTest::qWait(2 * PaneFollower::kGatherMs);
    QVERIFY(!f.follower->notice().isVisible());
    QCOMPARE(f.status->onDisk(), PaneFileStatus::OnDisk::Changed);
    writeFile(path, "b\n");
    QTRY_VERIFY_WITH_TIMEOUT(f.follower->notice().isVisible(), kWaitMs);
    QCOMPARE(f.pane->bytes(), edited);
}

void TestPaneFollower::reloadFromTheNoticeReplacesTheEdits()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.txt");
    writeFile(path, "old\n");
    Followed f;
    f.open(path);
    f.pane->editor().type("x");
    writeFile(path, "new\n");
    QTRY_VERIFY_WITH_TIMEOUT(f.follower->notice().isVisible(), kWaitMs);
    f.follower->notice().reloadButton()->click();
    QCOMPARE(f.pane->bytes(), QByteArray("new\n\r"));
    QVERIFY(!f.pane->isModified());
    QVERIFY(!f.follower->notice().isVisible());
    QCOMPARE(f.status->onDisk(), PaneFileStatus::OnDisk::Same);
    // From here the pane follows again.
    writeFile(path, "newer\n");
    QTRY_COMPARE_WITH_TIMEOUT(f.pane->bytes(), QByteArray("newer\n\r"), kWaitMs);
}

void TestPaneFollower::growthWhileLoadingIsCaughtUp()
{
    // The loader takes a file that grew while it was read with the bytes it read; what came
    // after them reaches the pane all the same.
    QTemporaryDir dir;
    const QString path = dir.filePath("log.txt");
    writeFile(path, "one\n");
    Followed f;
    QCOMPARE(LoadPane({f.fake.files, f.fake.messages}, *f.pane, path), LoadOutcome::Loaded);
    f.pane->appendBytes(kLoadEnd);
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    file.write("two\n");
    file.close();
    f.status->loaded(path);
    QTRY_COMPARE_WITH_TIMEOUT(f.pane->bytes(), QByteArray("one\ntwo\n\r"), kWaitMs);
}

void TestPaneFollower::writesAfterARenameOverAreSeen()
{
    // The name now leads to another file: its writes are the ones to watch, even where the pane
    // does not follow them.
    QTemporaryDir dir;
    const QString path = dir.filePath("log.txt");
    writeFile(path, "old\n");
    Followed f;
    f.open(path);
    f.pane->editor().type("x");
    writeFile(dir.filePath("next.txt"), "new\n");
    QVERIFY(::rename(QFile::encodeName(dir.filePath("next.txt")).constData(), QFile::encodeName(path).constData()) == 0);
    QTRY_VERIFY_WITH_TIMEOUT(f.follower->notice().isVisible(), kWaitMs);
    f.follower->notice().keepButton()->click();
    QTest::qWait(2 * PaneFollower::kGatherMs);
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    file.write("more\n");
    file.close();
    QTRY_VERIFY_WITH_TIMEOUT(f.follower->notice().isVisible(), kWaitMs);
}

QTEST_MAIN(TestPaneFollower)
#include "tst_panefollower.moc"
