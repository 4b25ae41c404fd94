#include "commondialog.h"
#include "fakeplatform.h"
#include "form1.h"
#include "mousepointer.h"
#include "paneactions.h"
#include "panecontrol.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

using platform::MessageAnswer;

namespace {

const QString kReportTitle = QStringLiteral("Application Error");

QList<platform::MessageRequest> reports(const FakeMessageBoxes &messages)
{
    QList<platform::MessageRequest> found;
    for (const platform::MessageRequest &box : messages.shown)
        if (box.title == kReportTitle)
            found << box;
    return found;
}

QList<platform::MessageRequest> boxesSaying(const FakeMessageBoxes &messages, const QString &text)
{
    QList<platform::MessageRequest> found;
    for (const platform::MessageRequest &box : messages.shown)
        if (box.text == text)
            found << box;
    return found;
}

/// A small file system of its own, for a full disk or a read-only folder. Needs the superuser
/// and a kernel that lets it mount; `ok()` says whether it could.
class ScratchMount
{
public:
    ScratchMount(const QString &folder, const char *options)
        : m_folder(QFile::encodeName(folder))
    {
        m_mounted = ::geteuid() == 0 && ::mount("tmpfs", m_folder.constData(), "tmpfs", 0, options) == 0;
    }
    ~ScratchMount()
    {
        if (m_mounted)
            ::umount2(m_folder.constData(), MNT_DETACH);
    }
    bool ok() const { return m_mounted; }
    bool makeReadOnly()
    {
        return ::mount("tmpfs", m_folder.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    QByteArray m_folder;
    bool m_mounted = false;
};

/// Caps the size of any file this process writes, so a write runs short as on a full disk.
class FileSizeCap
{
public:
    explicit FileSizeCap(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit capped = m_old;
        capped.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &capped);
    }
    ~FileSizeCap()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old {};
    void (*m_oldHandler)(int) = nullptr;
};

/// The actions over two panes and the fake platform, as the main window wires them.
struct Bench
{
    Bench()
        : dialog(fake.dialogs), actions(fake.platform(), left, right, pointer, dialog)
    {
    }

    void click(const QString &handler)
    {
        const QHash<QString, void (PaneActions::*)()> handlers{
            {QStringLiteral("PushButton2_Click"), &PaneActions::PushButton2_Click},
            {QStringLiteral("PushButton3_Click"), &PaneActions::PushButton3_Click},
            {QStringLiteral("PushButton4_Click"), &PaneActions::PushButton4_Click},
            {QStringLiteral("PushButton5_Click"), &PaneActions::PushButton5_Click},
            {QStringLiteral("PushButton6_Click"), &PaneActions::PushButton6_Click},
            {QStringLiteral("PushButton7_Click"), &PaneActions::PushButton7_Click},
            {QStringLiteral("PushButton9_Click"), &PaneActions::PushButton9_Click},
        };
        (actions.*handlers.value(handler))();
    }

    PaneControl &pane(int number) { return number == 1 ? left : right; }

    FakePlatform fake;
    PaneControl left;
    PaneControl right;
    MousePointer pointer;
    CommonDialog dialog;
    PaneActions actions;
};

} // namespace

class TestPaneActions : public QObject
{
    Q_OBJECT

private slots:
    void openThenSaveGivesTheFileBackPlusOneCarriageReturn_data();
    void openThenSaveGivesTheFileBackPlusOneCarriageReturn();
    void openAsksForSeveralTextFiles_data();
    void openAsksForSeveralTextFiles();
    void openShowsBusyPointerWhileLoading_data();
    void openShowsBusyPointerWhileLoading();
    void vanishedFileAmongSeveralIsReportedOnce_data();
    void vanishedFileAmongSeveralIsReportedOnce();
    void unloadableFileReportsTheCallingLine_data();
    void unloadableFileReportsTheCallingLine();
    void backslashInAFileNameIsKept();
    void cancelledOpenChangesNothing_data();
    void cancelledOpenChangesNothing();
    void openingTwiceAddsOneCarriageReturn();
    void saveOffersTheLastNameWithItsOwnFilter();
    void cancelledSaveWritesNothing();
    void busyPointerStaysThroughTheOverwriteQuestion();
    void failedSaveKeepsTheOldFile_data();
    void failedSaveKeepsTheOldFile();
    void clearEmptiesOnlyItsPane_data();
    void clearEmptiesOnlyItsPane();
    void samplesFillBothPanesAndOfferTheFolder_data();
    void samplesFillBothPanesAndOfferTheFolder();
    void missingSamplesStillAskTheQuestion();
    void windowButtonsReachTheirPanes_data();
    void windowButtonsReachTheirPanes();
};

void TestPaneActions::openThenSaveGivesTheFileBackPlusOneCarriageReturn_data()
{
    QTest::addColumn<QByteArray>("original");
    const QList<std::pair<const char *, QByteArray>> marks{{"no bom", ""}, {"bom", "\xEF\xBB\xBF"}};
    const QList<std::pair<const char *, QList<QByteArray>>> ends{
        {"LF", {"\n", "\n"}}, {"CRLF", {"\r\n", "\r\n"}}, {"CR", {"\r", "\r"}}, {"mixed", {"\r\n", "\n"}}};
    for (const auto &[markName, mark] : marks) {
        for (const auto &[endName, end] : ends) {
            for (const bool finalEnd : {false, true}) {
                QByteArray text = mark + "Premi\xC3\xA8re ligne" + end[0] + "second \xE2\x80\x94 line" + end[1]
                                  + "third \xF0\x9F\x98\x80";
                if (finalEnd)
                    text += end[0];
                QTest::addRow("%s, %s, %s", markName, endName, finalEnd ? "final line end" : "no final line end")
                    << text;
            }
        }
    }
    QTest::newRow("NUL bytes") << QByteArray("a\0b\r\n\0\0c", 8);
    QTest::newRow("stray invalid bytes") << QByteArray("caf\xC3\xA9 \xC3\xA0 la \xFF\xFE gare\r\n\xC3\xA9t\xC3\xA9");
    QTest::newRow("lone carriage return") << QByteArray("\r");
    QTest::newRow("empty file") << QByteArray();
}

void TestPaneActions::openThenSaveGivesTheFileBackPlusOneCarriageReturn()
{
    QFETCH(QByteArray, original);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.txt"));
    const QString copy = dir.filePath(QStringLiteral("copy.txt"));
    writeFile(source, original);

    Bench bench;
    bench.fake.dialogs.openAnswers = {{source}};
    bench.fake.dialogs.saveAnswers = {copy};
    bench.click(QStringLiteral("PushButton3_Click"));
    bench.click(QStringLiteral("PushButton2_Click"));

    QVERIFY2(bench.fake.messages.shown.isEmpty(), "no box on a plain open and save");
    QCOMPARE(readFile(copy), original + '\r');
}

void TestPaneActions::openAsksForSeveralTextFiles_data()
{
    QTest::addColumn<QString>("handler");
    QTest::newRow("Open File 1") << "PushButton3_Click";
    QTest::newRow("Open File 2") << "PushButton4_Click";
}

void TestPaneActions::openAsksForSeveralTextFiles()
{
    QFETCH(QString, handler);
    Bench bench;
    bench.dialog.FileName = QStringLiteral("/left/over.txt");
    bench.click(handler);
    QCOMPARE(bench.fake.dialogs.asked.size(), 1);
    const platform::FileDialogOptions &asked = bench.fake.dialogs.asked.constFirst();
    QCOMPARE(asked.title, QStringLiteral("Load List(s) - Hold Ctrl to select multiple list files"));
    const QList<platform::FileFilter> filters{{QStringLiteral("Text Files (*.txt)"), QStringLiteral("*.txt")},
                                              {QStringLiteral("All Files (*.*)"), QStringLiteral("*.*")}};
    QCOMPARE(asked.filters, filters);
    QVERIFY2(asked.fileName.isEmpty(), "the open dialog starts without a name");
    QVERIFY(asked.allowMultiple);
    QCOMPARE(bench.dialog.Flags, 0x280201L);
}

void TestPaneActions::openShowsBusyPointerWhileLoading_data()
{
    QTest::addColumn<QString>("handler");
    QTest::addColumn<int>("pane");
    QTest::newRow("Open File 1") << "PushButton3_Click" << 1;
    QTest::newRow("Open File 2") << "PushButton4_Click" << 2;
}

void TestPaneActions::openShowsBusyPointerWhileLoading()
{
    QFETCH(QString, handler);
    QFETCH(int, pane);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("one.txt"));
    writeFile(path, "one");
    Bench bench;
    bench.fake.dialogs.openAnswers = {{path}};
    QSignalSpy pointer(&bench.pointer, &MousePointer::changed);
    bench.click(handler);
    QCOMPARE(bench.pane(pane).Text(), QByteArray("one\r"));
    QCOMPARE(pointer.size(), 2);
    QCOMPARE(pointer.at(0).at(0).toInt(), MousePointer::kBusy);
    QCOMPARE(pointer.at(1).at(0).toInt(), MousePointer::kDefault);
    QCOMPARE(bench.pane(3 - pane).Text(), QByteArray());
}

void TestPaneActions::vanishedFileAmongSeveralIsReportedOnce_data()
{
    openShowsBusyPointerWhileLoading_data();
}

void TestPaneActions::vanishedFileAmongSeveralIsReportedOnce()
{
    QFETCH(QString, handler);
    QFETCH(int, pane);
    QTemporaryDir dir;
    const QStringList paths{dir.filePath(QStringLiteral("a.txt")), dir.filePath(QStringLiteral("b.txt")),
                            dir.filePath(QStringLiteral("c.txt"))};
    writeFile(paths[0], "first");
    writeFile(paths[2], "last\r\n");
    Bench bench;
    bench.pane(pane).SetText("earlier");
    bench.fake.dialogs.openAnswers = {paths};
    bench.click(handler);
    QCOMPARE(bench.fake.messages.shown.size(), 1);
    QCOMPARE(bench.fake.messages.shown.constFirst().text, QStringLiteral("File not found"));
    QCOMPARE(bench.pane(pane).Text(), QByteArray("last\r\n\r"));
    QCOMPARE(bench.pointer.value(), MousePointer::kDefault);
    QCOMPARE(bench.dialog.FileName, paths.constLast());
}

void TestPaneActions::unloadableFileReportsTheCallingLine_data()
{
    QTest::addColumn<QString>("handler");
    QTest::addColumn<int>("pane");
    QTest::addColumn<bool>("several");
    QTest::addColumn<int>("line");
    QTest::newRow("Open File 1, one file") << "PushButton3_Click" << 1 << false << 122;
    QTest::newRow("Open File 1, several") << "PushButton3_Click" << 1 << true << 138;
    QTest::newRow("Open File 2, one file") << "PushButton4_Click" << 2 << false << 120;
    QTest::newRow("Open File 2, several") << "PushButton4_Click" << 2 << true << 132;
}

void TestPaneActions::unloadableFileReportsTheCallingLine()
{
    QFETCH(QString, handler);
    QFETCH(int, pane);
    QFETCH(bool, several);
    QFETCH(int, line);
    // A folder exists for the file system but cannot be read as a file.
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("good.txt"));
    writeFile(good, "good");
    Bench bench;
    bench.fake.dialogs.openAnswers = {several ? QStringList{dir.path(), good} : QStringList{dir.path()}};
    bench.click(handler);

    const QList<platform::MessageRequest> found = reports(bench.fake.messages);
    QCOMPARE(found.size(), 1);
    const QString where = QStringLiteral("in Quillmere2021/08/31.Form1.") + handler
                          + QStringLiteral(" at line ") + QString::number(line) + QStringLiteral("\r\r");
    QVERIFY2(found.constFirst().text.contains(where), qPrintable(found.constFirst().text));
    // The action goes on: the later file still loads and the pane gets its carriage return.
    QCOMPARE(bench.pane(pane).Text(), several ? QByteArray("good\r") : QByteArray("\r"));
    QCOMPARE(bench.pointer.value(), MousePointer::kDefault);
}

void TestPaneActions::backslashInAFileNameIsKept()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a\\\\b.txt"));
    writeFile(path, "backslashes are letters here");
    Bench bench;
    bench.fake.dialogs.openAnswers = {{path, dir.filePath(QStringLiteral("a\\\\b.txt"))}};
    bench.click(QStringLiteral("PushButton3_Click"));
    QVERIFY(bench.fake.messages.shown.isEmpty());
    QCOMPARE(bench.left.Text(), QByteArray("backslashes are letters here\r"));
}

void TestPaneActions::cancelledOpenChangesNothing_data()
{
    openShowsBusyPointerWhileLoading_data();
}

void TestPaneActions::cancelledOpenChangesNothing()
{
    QFETCH(QString, handler);
    QFETCH(int, pane);
    Bench bench;
    bench.pane(pane).SetText("kept");
    QSignalSpy pointer(&bench.pointer, &MousePointer::changed);
    bench.click(handler);
    QCOMPARE(bench.pane(pane).Text(), QByteArray("kept"));
    QCOMPARE(pointer.size(), 0);
    QVERIFY(bench.fake.messages.shown.isEmpty());
    QVERIFY(bench.dialog.FileName.isEmpty());
}

void TestPaneActions::openingTwiceAddsOneCarriageReturn()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("one.txt"));
    writeFile(path, "text");
    Bench bench;
    bench.fake.dialogs.openAnswers = {{path}, {path}};
    bench.click(QStringLiteral("PushButton4_Click"));
    bench.click(QStringLiteral("PushButton4_Click"));
    QCOMPARE(bench.right.Text(), QByteArray("text\r"));
}

void TestPaneActions::saveOffersTheLastNameWithItsOwnFilter()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("opened.txt"));
    writeFile(path, "x");
    Bench bench;
    bench.fake.dialogs.openAnswers = {{path}};
    bench.click(QStringLiteral("PushButton3_Click"));
    bench.click(QStringLiteral("PushButton5_Click")); // cancelled
    QCOMPARE(bench.fake.dialogs.asked.size(), 2);
    const platform::FileDialogOptions &asked = bench.fake.dialogs.asked.at(1);
    QCOMPARE(asked.title, QStringLiteral("Save"));
    const QList<platform::FileFilter> filters{{QStringLiteral("Text Files(*.txt)"), QStringLiteral("*.txt")},
                                              {QStringLiteral("All Files (*.*)"), QStringLiteral("*.*")}};
    QCOMPARE(asked.filters, filters);
    QCOMPARE(asked.fileName, path);
}

void TestPaneActions::cancelledSaveWritesNothing()
{
    QTemporaryDir dir;
    Bench bench;
    bench.dialog.FileName = dir.filePath(QStringLiteral("offered.txt"));
    bench.left.SetText("text");
    QSignalSpy pointer(&bench.pointer, &MousePointer::changed);
    bench.click(QStringLiteral("PushButton2_Click"));
    QVERIFY(entries(dir.path()).isEmpty());
    QCOMPARE(pointer.size(), 0);
    QCOMPARE(bench.dialog.FileName, dir.filePath(QStringLiteral("offered.txt")));
}

void TestPaneActions::busyPointerStaysThroughTheOverwriteQuestion()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.txt"));
    writeFile(path, "old");
    Bench bench;
    bench.right.SetText("new");
    bench.fake.dialogs.saveAnswers = {path};
    int pointerDuringQuestion = -1;
    bench.fake.messages.onShow = [&](const platform::MessageRequest &) { pointerDuringQuestion = bench.pointer.value(); };
    bench.fake.messages.answers = {MessageAnswer::No};
    bench.click(QStringLiteral("PushButton5_Click"));
    QCOMPARE(pointerDuringQuestion, MousePointer::kBusy);
    QCOMPARE(bench.pointer.value(), MousePointer::kDefault);
    QCOMPARE(readFile(path), QByteArray("old"));
}

void TestPaneActions::failedSaveKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("read-only file") << "read-only file";
    QTest::newRow("read-only folder") << "read-only folder";
    QTest::newRow("a folder's name") << "folder";
    QTest::newRow("full disk") << "full disk";
}

void TestPaneActions::failedSaveKeepsTheOldFile()
{
    QFETCH(QString, kind);
    const bool root = ::geteuid() == 0;
    QTemporaryDir base;
    const QString folder = base.filePath(QStringLiteral("target"));
    QVERIFY(QDir().mkdir(folder));
    std::unique_ptr<ScratchMount> mount;
    std::unique_ptr<FileSizeCap> cap;

    if (kind == QLatin1String("full disk") || (kind == QLatin1String("read-only folder") && root)) {
        mount = std::make_unique<ScratchMount>(folder, "size=64k");
        if (!mount->ok() && kind == QLatin1String("read-only folder"))
            QSKIP("The superuser writes into any folder, and no scratch file system could be mounted.");
    }
    if (kind == QLatin1String("read-only file") && root)
        QSKIP("Permission bits do not stop the superuser from writing.");

    const QByteArray old = "old contents\r\nkeep me\r\n";
    const QString oldPath = folder + QStringLiteral("/old.txt");
    writeFile(oldPath, old);
    QString target = oldPath;
    if (kind == QLatin1String("folder")) {
        target = folder + QStringLiteral("/sub");
        QVERIFY(QDir().mkdir(target));
    }
    const QStringList before = entries(folder);

    Bench bench;
    bench.left.SetText(QByteArray(1024 * 1024, 'n'));
    if (kind == QLatin1String("read-only file"))
        QVERIFY(QFile::setPermissions(oldPath, QFile::ReadOwner | QFile::ReadUser));
    if (kind == QLatin1String("read-only folder")) {
        if (mount && mount->ok())
            QVERIFY(mount->makeReadOnly());
        else
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadUser | QFile::ExeUser));
    }
    if (kind == QLatin1String("full disk") && !mount->ok())
        cap = std::make_unique<FileSizeCap>(64 * 1024);

    bench.fake.dialogs.saveAnswers = {target};
    bench.fake.messages.answers = {MessageAnswer::Yes};
    bench.click(QStringLiteral("PushButton2_Click"));
    cap.reset();
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(oldPath, QFile::ReadOwner | QFile::WriteOwner);

    QCOMPARE(readFile(oldPath), old);
    QCOMPARE(entries(folder), before);
    const QList<platform::MessageRequest> found = reports(bench.fake.messages);
    QCOMPARE(found.size(), 1);
    QVERIFY2(found.constFirst().text.contains(
                 QStringLiteral("\r\nin Quillmere2021/08/31.Form1.PushButton2_Click at line 114\r\r")),
             qPrintable(found.constFirst().text));
    QCOMPARE(bench.pointer.value(), MousePointer::kDefault);
}

void TestPaneActions::clearEmptiesOnlyItsPane_data()
{
    QTest::addColumn<QString>("handler");
    QTest::addColumn<int>("pane");
    // The button names run crosswise to their captions.
    QTest::newRow("Clear File 1") << "PushButton7_Click" << 1;
    QTest::newRow("Clear File 2") << "PushButton6_Click" << 2;
}

void TestPaneActions::clearEmptiesOnlyItsPane()
{
    QFETCH(QString, handler);
    QFETCH(int, pane);
    Bench bench;
    bench.left.SetText("left\r");
    bench.right.SetText("right\r");
    bench.dialog.FileName = QStringLiteral("/kept/name.txt");
    QSignalSpy pointer(&bench.pointer, &MousePointer::changed);
    bench.click(handler);
    QCOMPARE(bench.pane(pane).length(), 0);
    QCOMPARE(bench.pane(3 - pane).Text(), pane == 1 ? QByteArray("right\r") : QByteArray("left\r"));
    QCOMPARE(bench.dialog.FileName, QStringLiteral("/kept/name.txt"));
    QCOMPARE(pointer.size(), 0);
    QVERIFY(bench.fake.messages.shown.isEmpty());
}

void TestPaneActions::samplesFillBothPanesAndOfferTheFolder_data()
{
    QTest::addColumn<MessageAnswer>("answer");
    QTest::addColumn<bool>("opened");
    QTest::newRow("Yes opens the folder") << MessageAnswer::Yes << true;
    QTest::newRow("No opens nothing") << MessageAnswer::No << false;
}

void TestPaneActions::samplesFillBothPanesAndOfferTheFolder()
{
    QFETCH(MessageAnswer, answer);
    QFETCH(bool, opened);
    QTemporaryDir program;
    QVERIFY(QDir(program.path()).mkdir(QStringLiteral("Samples")));
    writeFile(program.filePath(QStringLiteral("Samples/sample1.txt")), "first sample\n");
    writeFile(program.filePath(QStringLiteral("Samples/sample2.txt")), "second sample\n");
    Bench bench;
    bench.fake.programDirectory = program.path();
    PaneActions actions(bench.fake.platform(), bench.left, bench.right, bench.pointer, bench.dialog);
    bench.left.SetText("old left");
    bench.fake.messages.answers = {answer};
    QSignalSpy pointer(&bench.pointer, &MousePointer::changed);

    actions.PushButton9_Click();

    QCOMPARE(bench.left.Text(), QByteArray("first sample\n\r"));
    QCOMPARE(bench.right.Text(), QByteArray("second sample\n\r"));
    QCOMPARE(bench.fake.messages.shown.size(), 1);
    const platform::MessageRequest &question = bench.fake.messages.shown.constFirst();
    QCOMPARE(question.text, QStringLiteral("Would you like this software to open the folder where these sample "
                                           "files are stored (so that you can view them before working with them)?"));
    QVERIFY(question.title.isEmpty());
    QCOMPARE(question.icon, platform::MessageIcon::None);
    QCOMPARE(question.buttons, platform::MessageButtons::YesNo);
    QCOMPARE(question.defaultButton, MessageAnswer::Yes);
    QCOMPARE(bench.fake.shell.folders,
             opened ? QStringList{program.path() + QStringLiteral("/Samples")} : QStringList());
    QCOMPARE(pointer.size(), 0);
}

void TestPaneActions::missingSamplesStillAskTheQuestion()
{
    QTemporaryDir program;
    Bench bench;
    bench.fake.programDirectory = program.path();
    PaneActions actions(bench.fake.platform(), bench.left, bench.right, bench.pointer, bench.dialog);
    bench.left.SetText("left");
    bench.right.SetText("right");
    bench.fake.messages.answers = {MessageAnswer::Ok, MessageAnswer::Ok, MessageAnswer::No};

    actions.PushButton9_Click();
    actions.PushButton9_Click();

    QCOMPARE(boxesSaying(bench.fake.messages, QStringLiteral("File not found")).size(), 4);
    QCOMPARE(bench.fake.messages.shown.size(), 6);
    QCOMPARE(bench.left.Text(), QByteArray("left\r\r"));
    QCOMPARE(bench.right.Text(), QByteArray("right\r\r"));
    QVERIFY(reports(bench.fake.messages).isEmpty());
}

void TestPaneActions::windowButtonsReachTheirPanes_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("left");
    QTest::addColumn<QByteArray>("right");
    QTest::newRow("Open File 1") << "PushButton3" << QByteArray("file\r") << QByteArray("R");
    QTest::newRow("Open File 2") << "PushButton4" << QByteArray("L") << QByteArray("file\r");
    QTest::newRow("Clear File 1") << "PushButton7" << QByteArray() << QByteArray("R");
    QTest::newRow("Clear File 2") << "PushButton6" << QByteArray("L") << QByteArray();
    QTest::newRow("Load Sample/Example Files") << "PushButton9" << QByteArray("L\r") << QByteArray("R\r");
}

void TestPaneActions::windowButtonsReachTheirPanes()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, left);
    QFETCH(QByteArray, right);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("file.txt"));
    writeFile(path, "file");
    FakePlatform fake;
    fake.programDirectory = dir.path(); // no samples there
    fake.dialogs.openAnswers = {{path}};
    fake.messages.answers = {MessageAnswer::Ok, MessageAnswer::Ok, MessageAnswer::No};
    Form1 window(fake.platform());
    window.RichTextBox1->SetText("L");
    window.RichTextBox2->SetText("R");
    QPushButton *pushButton = window.findChild<QPushButton *>(button);
    QVERIFY(pushButton);
    pushButton->click();
    QCOMPARE(window.RichTextBox1->Text(), left);
    QCOMPARE(window.RichTextBox2->Text(), right);
}

QTEST_MAIN(TestPaneActions)
#include "tst_paneactions.moc"
