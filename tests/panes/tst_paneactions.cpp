#include "app/form1.h"
#include "handlers/guardedhandler.h"
#include "handlers/mousepointer.h"
#include "panes/commondialog.h"
#include "panes/paneactions.h"
#include "panes/panefiles.h"
#include "panes/panefilestatus.h"
#include "panes/panefollower.h"
#include "tests/support/testfiles.h"
#include "tests/support/fakeplatform.h"
#include "textpane/panecontrol.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <optional>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

using platform::MessageAnswer;

namespace {

QList<platform::MessageRequest> reports(const FakeMessageBoxes &messages)
{
    QList<platform::MessageRequest> found;
    for (const platform::MessageRequest &box : messages.shown)
        if (box.title == QLatin1String("Application Error"))
            found << box;
    return found;
}

qsizetype notFoundBoxes(const FakeMessageBoxes &messages)
{
    return std::count_if(messages.shown.cbegin(), messages.shown.cend(), [](const platform::MessageRequest &box) {
        return box.text == QLatin1String("File not found");
    });
}

/// A scratch file system over a folder, so that even the superuser meets a read-only folder.
struct ScratchMount
{
    explicit ScratchMount(const QString &folder, const char *size = "size=64k")
        : path(QFile::encodeName(folder)), ok(::mount("tmpfs", path.constData(), "tmpfs", 0, size) == 0) {}
    ~ScratchMount() { if (ok) ::umount2(path.constData(), MNT_DETACH); }
    bool makeReadOnly() { return ::mount("tmpfs", path.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0; }
    QByteArray path;
    bool ok;
};

/// Caps the size of any file this process writes, so a write runs short as on a full disk.
struct FileSizeCap
{
    explicit FileSizeCap(rlim_t bytes) : handler(std::signal(SIGXFSZ, SIG_IGN))
    {
        ::getrlimit(RLIMIT_FSIZE, &old);
        const rlimit capped{bytes, old.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &capped);
    }
    ~FileSizeCap()
    {
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, handler);
    }
    void (*handler)(int);
    rlimit old {};
};

platform::Platform inFolder(platform::Platform platform, const QString &programDirectory)
{
    platform.programDirectory = programDirectory;
    return platform;
}

/// The actions over two panes and the fake platform, as the main window wires them.
struct Bench
{
    explicit Bench(const QString &programDirectory = {})
        : dialog(fake.dialogs), actions(inFolder(fake.platform(), programDirectory), pointer, dialog)
    {
    }

    // Each action runs as a step list of the main window's handler that calls it.
    GuardedHandler handler(const char *name)
    {
        return {fake.messages, locationText(QStringLiteral("Form1"), QLatin1String(name))};
    }
    void open(int number)
    {
        GuardedHandler h = handler(number == 1 ? "PushButton3_Click" : "PushButton4_Click");
        actions.open(h, pane(number), number == 1 ? kOpenFile1Lines : kOpenFile2Lines);
    }
    void save(int number)
    {
        GuardedHandler h = handler(number == 1 ? "PushButton2_Click" : "PushButton5_Click");
        actions.save(h, pane(number));
    }
    void loadSamples()
    {
        GuardedHandler h = handler("PushButton9_Click");
        actions.loadSamples(h, left, right);
    }
    PaneControl &pane(int number) { return number == 1 ? left : right; }

    FakePlatform fake;
    PaneControl left;
    PaneControl right;
    MousePointer pointer;
    CommonDialog dialog;
    PaneActions actions;
};

QList<PointerShape> pointerShapes(const QSignalSpy &spy)
{
    QList<PointerShape> shapes;
    for (const QList<QVariant> &signal : spy)
        shapes << signal.at(0).value<PointerShape>();
    return shapes;
}

} // namespace

class TestPaneActions : public QObject
{
    Q_OBJECT

private slots:
    void openThenSaveGivesTheFileBackPlusOneCarriageReturn_data();
    void openThenSaveGivesTheFileBackPlusOneCarriageReturn();
    void openLoadsTheLastFileAndReportsEachFailure_data();
    void openLoadsTheLastFileAndReportsEachFailure();
    void stoppedLoadEndsTheListWithOnlyTheCarriageReturn_data();
    void stoppedLoadEndsTheListWithOnlyTheCarriageReturn();
    void samplesReadTogetherReachTheirOwnPanesInStepOrder_data();
    void samplesReadTogetherReachTheirOwnPanesInStepOrder();
    void saveLeavesTheFileAloneWhenCancelledOrRefused_data();
    void saveLeavesTheFileAloneWhenCancelledOrRefused();
    void failedSaveKeepsTheOldFile_data();
    void failedSaveKeepsTheOldFile();
    void fullDiskGivesOneReportAndKeepsTheOldFile_data();
    void fullDiskGivesOneReportAndKeepsTheOldFile();
    void samplesNeverEmptyAPaneAndOfferTheFolder_data();
    void samplesNeverEmptyAPaneAndOfferTheFolder();
    void saveAsksBeforeWritingOverAChangeMadeOnDisk_data();
    void saveAsksBeforeWritingOverAChangeMadeOnDisk();
    void windowButtonsReachTheirPanes_data();
    void windowButtonsReachTheirPanes();
};

void TestPaneActions::openThenSaveGivesTheFileBackPlusOneCarriageReturn_data()
{
    QTest::addColumn<QByteArray>("original");
    // Line ends and odd bytes as such are the pane's own business; these are about the decision
    // to leave UTF-8 alone and about the one carriage return the open adds.
    QTest::newRow("bom, CRLF, final line end")
        << QByteArray("\xEF\xBB\xBF" "Premi\xC3\xA8re\r\nsecond \xF0\x9F\x98\x80\r\n");
    QTest::newRow("NUL bytes") << QByteArray("a\0b\r\n\0\0c", 8);
    QTest::newRow("stray invalid bytes") << QByteArray("caf\xC3\xA9 \xC3\xA0 la \xFF\xFE gare\r\n\xC3\xA9t\xC3\xA9");
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
    bench.open(1);
    bench.save(1);

    QVERIFY2(bench.fake.messages.shown.isEmpty(), "no box on a plain open and save");
    QCOMPARE(readFile(copy), original + '\r');
}

void TestPaneActions::openLoadsTheLastFileAndReportsEachFailure_data()
{
    QTest::addColumn<int>("pane");
    QTest::addColumn<QStringList>("chosen"); // names in the scratch folder; none is a cancel
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("notFound");
    QTest::addColumn<int>("reportLine"); // 0: no error report

    // "folder" exists for the file system but cannot be read as a file.
    for (const auto &[button, pane, one, several] :
         {std::tuple("Open File 1", 1, 122, 138), std::tuple("Open File 2", 2, 120, 132)}) {
        QTest::addRow("%s, cancelled", button) << pane << QStringList() << QByteArray("kept") << 0 << 0;
        QTest::addRow("%s, one file", button) << pane << QStringList{"a.txt"} << QByteArray("first\r") << 0 << 0;
        QTest::addRow("%s, one vanished among several", button)
            << pane << QStringList{"a.txt", "gone.txt", "c.txt"} << QByteArray("last\r\n\r") << 1 << 0;
        // A file that cannot be opened leaves the pane's text exactly as it was.
        QTest::addRow("%s, one unloadable", button) << pane << QStringList{"folder"} << QByteArray("kept") << 0 << one;
        QTest::addRow("%s, one vanished", button) << pane << QStringList{"gone.txt"} << QByteArray("kept") << 1 << 0;
        QTest::addRow("%s, a device", button) << pane << QStringList{"/dev/null"} << QByteArray("kept") << 0 << one;
        QTest::addRow("%s, unloadable among several", button)
            << pane << QStringList{"folder", "a.txt"} << QByteArray("first\r") << 0 << several;
    }
    QTest::newRow("one name with a doubled backslash") << 1 << QStringList{"a\\\\b.txt"} << QByteArray("back\r") << 0 << 0;
    QTest::newRow("backslashes are letters of the name")
        << 1 << QStringList{"a\\\\b.txt", "a\\\\b.txt"} << QByteArray("back\r") << 0 << 0;
}

void TestPaneActions::openLoadsTheLastFileAndReportsEachFailure()
{
    QFETCH(int, pane);
    QFETCH(QStringList, chosen);
    QFETCH(QByteArray, expected);
    QFETCH(int, notFound);
    QFETCH(int, reportLine);
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("a.txt")), "first");
    writeFile(dir.filePath(QStringLiteral("c.txt")), "last\r\n");
    writeFile(dir.filePath(QStringLiteral("a\\\\b.txt")), "back");
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    QStringList paths;
    for (const QString &name : chosen)
        paths << (name.startsWith(QLatin1Char('/')) ? name : dir.filePath(name));

    Bench bench;
    bench.pane(pane).setBytes("kept");
    bench.pane(3 - pane).setBytes("other");
    bench.dialog.FileName = QStringLiteral("/left/over.txt");
    bench.fake.dialogs.openAnswers = {paths};
    QSignalSpy pointer(&bench.pointer, &MousePointer::changed);
    bench.open(pane);

    QCOMPARE(bench.fake.dialogs.asked.size(), 1);
    const platform::FileDialogOptions &asked = bench.fake.dialogs.asked.constFirst();
    QVERIFY2(asked.fileName.isEmpty(), "the open dialog starts without a name");
    QVERIFY(asked.allowMultiple);
    const QList<platform::FileFilter> filters{{QStringLiteral("Text Files (*.txt)"), QStringLiteral("*.txt")},
                                              {QStringLiteral("All Files (*.*)"), QStringLiteral("*.*")}};
    QCOMPARE(asked.filters, filters);

    QCOMPARE(bench.pane(pane).bytes(), expected);
    QCOMPARE(bench.pane(3 - pane).bytes(), QByteArray("other"));
    QCOMPARE(bench.dialog.FileName, paths.value(paths.size() - 1));
    const QList<PointerShape> shapes{PointerShape::Busy, PointerShape::Default};
    QCOMPARE(pointerShapes(pointer), paths.isEmpty() ? QList<PointerShape>() : shapes);
    QCOMPARE(notFoundBoxes(bench.fake.messages), notFound);
    const QList<platform::MessageRequest> found = reports(bench.fake.messages);
    QCOMPARE(found.size(), reportLine ? 1 : 0);
    QCOMPARE(bench.fake.messages.shown.size(), notFound + found.size());
    if (reportLine) {
        const QString where = QStringLiteral("in Quillmere2021/08/31.Form1.%1 at line %2\r\r")
                                  .arg(pane == 1 ? "PushButton3_Click" : "PushButton4_Click")
                                  .arg(reportLine);
        QVERIFY2(found.constFirst().text.contains(where), qPrintable(found.constFirst().text));
        // In every such row the first file chosen is the one that cannot be read.
        QVERIFY2(found.constFirst().text.startsWith(paths.constFirst() + QStringLiteral(": ")),
                 qPrintable(found.constFirst().text));
    }
}

void TestPaneActions::stoppedLoadEndsTheListWithOnlyTheCarriageReturn_data()
{
    QTest::addColumn<int>("stopAfter");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QStringList>("begun");
    QTest::newRow("stopped at the first file") << 0 << QByteArray("\r") << QStringList{"a.txt"};
    QTest::newRow("never stopped") << -1 << QByteArray("last\r\n\r") << QStringList{"a.txt", "c.txt"};
}

void TestPaneActions::stoppedLoadEndsTheListWithOnlyTheCarriageReturn()
{
    QFETCH(int, stopAfter);
    QFETCH(QByteArray, expected);
    QFETCH(QStringList, begun);
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("a.txt")), "first");
    writeFile(dir.filePath(QStringLiteral("c.txt")), "last\r\n");
    Bench bench;
    bench.fake.progress.stopAfter = stopAfter;
    bench.fake.dialogs.openAnswers = {{dir.filePath(QStringLiteral("a.txt")), dir.filePath(QStringLiteral("c.txt"))}};
    QSignalSpy pointer(&bench.pointer, &MousePointer::changed);
    bench.open(2);

    QCOMPARE(bench.right.bytes(), expected);
    QCOMPARE(bench.fake.progress.begun, begun);
    QVERIFY2(bench.fake.messages.shown.isEmpty(), "a stopped load is no failure");
    QCOMPARE(pointerShapes(pointer), (QList<PointerShape>{PointerShape::Busy, PointerShape::Default}));
}

void TestPaneActions::samplesReadTogetherReachTheirOwnPanesInStepOrder_data()
{
    QTest::addColumn<QByteArray>("leftFile");  // empty: missing
    QTest::addColumn<QByteArray>("rightFile"); // empty: missing; "/": a folder of that name
    QTest::addColumn<QByteArray>("left");
    QTest::addColumn<QByteArray>("right");
    QTest::addColumn<QStringList>("boxes"); // the boxes before the question, in order
    const QString report = QStringLiteral("Application Error");
    QTest::newRow("left missing") << QByteArray() << QByteArray("two") << QByteArray("L\r") << QByteArray("two\r")
                                  << QStringList{"File not found"};
    QTest::newRow("right missing") << QByteArray("one") << QByteArray() << QByteArray("one\r") << QByteArray("R\r")
                                   << QStringList{"File not found"};
    QTest::newRow("right unreadable, reported at its own step after the left's box")
        << QByteArray() << QByteArray("/") << QByteArray("L\r") << QByteArray("R\r")
        << QStringList{"File not found", report};
}

void TestPaneActions::samplesReadTogetherReachTheirOwnPanesInStepOrder()
{
    QFETCH(QByteArray, leftFile);
    QFETCH(QByteArray, rightFile);
    QFETCH(QByteArray, left);
    QFETCH(QByteArray, right);
    QFETCH(QStringList, boxes);
    QTemporaryDir program;
    QVERIFY(QDir(program.path()).mkdir(QStringLiteral("Samples")));
    if (!leftFile.isEmpty())
        writeFile(program.filePath(QStringLiteral("Samples/sample1.txt")), leftFile);
    if (rightFile == "/")
        QVERIFY(QDir(program.path()).mkdir(QStringLiteral("Samples/sample2.txt")));
    else if (!rightFile.isEmpty())
        writeFile(program.filePath(QStringLiteral("Samples/sample2.txt")), rightFile);
    Bench bench(program.path());
    bench.left.setBytes("L");
    bench.right.setBytes("R");
    bench.fake.messages.answers = {MessageAnswer::Ok, MessageAnswer::Ok, MessageAnswer::No};
    bench.loadSamples();

    QCOMPARE(bench.left.bytes(), left);
    QCOMPARE(bench.right.bytes(), right);
    QStringList shown;
    for (const platform::MessageRequest &box : bench.fake.messages.shown)
        shown << (box.title.isEmpty() ? box.text : box.title);
    shown.removeLast(); // the question
    QCOMPARE(shown, boxes);
    const QList<platform::MessageRequest> found = reports(bench.fake.messages);
    if (!found.isEmpty())
        QVERIFY2(found.constFirst().text.contains(QStringLiteral(" at line 110\r")), qPrintable(found.constFirst().text));
}

void TestPaneActions::saveLeavesTheFileAloneWhenCancelledOrRefused_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("cancelled in the dialog") << "cancelled";
    QTest::newRow("overwrite refused") << "refused";
    // Cancel in the progress dialog, while the old file is still whole; a second name makes the
    // save write in place, behind its safety copy.
    QTest::newRow("stopped while replacing") << "stopped";
    QTest::newRow("stopped while writing in place") << "stopped in place";
}

void TestPaneActions::saveLeavesTheFileAloneWhenCancelledOrRefused()
{
    QFETCH(QString, how);
    const bool chosen = how != QLatin1String("cancelled");
    const bool stopped = how.startsWith(QLatin1String("stopped"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.txt"));
    writeFile(path, "old");
    if (how.endsWith(QLatin1String("in place")))
        QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(dir.filePath(QStringLiteral("hard"))).constData()), 0);
    const QStringList before = entries(dir.path());
    Bench bench;
    bench.dialog.FileName = path;
    bench.right.setBytes(QByteArray(100000, 'n'));
    if (chosen)
        bench.fake.dialogs.saveAnswers = {path};
    std::optional<PointerShape> pointerDuringQuestion;
    bench.fake.messages.onShow = [&](const platform::MessageRequest &) {
        pointerDuringQuestion = bench.pointer.value();
    };
    bench.fake.messages.answers = {stopped ? MessageAnswer::Yes : MessageAnswer::No};
    bench.fake.progress.stopAfter = 0;
    QSignalSpy pointer(&bench.pointer, &MousePointer::changed);
    bench.save(2);

    QCOMPARE(bench.fake.dialogs.asked.size(), 1);
    QCOMPARE(bench.fake.dialogs.asked.constFirst().fileName, path); // the last name is offered
    QVERIFY(!bench.fake.dialogs.asked.constFirst().allowMultiple);
    QCOMPARE(readFile(path), QByteArray("old"));
    QCOMPARE(entries(dir.path()), before);
    QCOMPARE(bench.dialog.FileName, path);
    QCOMPARE(reports(bench.fake.messages).size(), 0); // stopping is no failure
    // Only a save under way shows its progress, named after the file.
    QCOMPARE(bench.fake.progress.tasks.size(), stopped ? 1 : 0);
    if (stopped)
        QCOMPARE(bench.fake.progress.tasks.constFirst(), platform::LoadProgress::Task::Saving);
    QCOMPARE(bench.fake.progress.begun, stopped ? QStringList{QStringLiteral("old.txt")} : QStringList());
    QCOMPARE(bench.fake.progress.ended, stopped ? 1 : 0);
    // The busy pointer stays through the overwrite question.
    QCOMPARE(pointerDuringQuestion, chosen ? std::optional(PointerShape::Busy) : std::nullopt);
    const QList<PointerShape> shapes{PointerShape::Busy, PointerShape::Default};
    QCOMPARE(pointerShapes(pointer), chosen ? shapes : QList<PointerShape>());
}

void TestPaneActions::saveAsksBeforeWritingOverAChangeMadeOnDisk_data()
{
    QTest::addColumn<QString>("change"); // made on disk after the open, before the save
    QTest::addColumn<QList<MessageAnswer>>("answers");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<bool>("written");
    const QList<MessageAnswer> none;
    const QStringList both{"changed", "overwrite"};
    QTest::newRow("unchanged") << "none" << none << QStringList{"overwrite"} << true;
    // The default answer keeps what is on disk.
    QTest::newRow("appended, default answer") << "append" << none << QStringList{"changed"} << false;
    QTest::newRow("appended, written over") << "append" << QList{MessageAnswer::Yes} << both << true;
    QTest::newRow("appended, overwrite declined") << "append" << QList{MessageAnswer::Yes, MessageAnswer::No} << both << false;
    QTest::newRow("renamed over") << "rename over" << none << QStringList{"changed"} << false;
    // Written again within the time's grain, to the same length: only the bytes tell.
    QTest::newRow("same size and time") << "same stamp" << none << QStringList{"changed"} << false;
    // Nothing to lose: Save writes it again.
    QTest::newRow("deleted") << "delete" << none << QStringList{} << true;
    QTest::newRow("saved to another file") << "elsewhere" << none << QStringList{"overwrite"} << true;
}

void TestPaneActions::saveAsksBeforeWritingOverAChangeMadeOnDisk()
{
    QFETCH(QString, change);
    QFETCH(QList<MessageAnswer>, answers);
    QFETCH(QStringList, asked);
    QFETCH(bool, written);
    QTemporaryDir dir;
    const QString path = dir.filePath("a.txt");
    const QString other = dir.filePath("b.txt");
    writeFile(path, "old\n");
    writeFile(other, "other\n");
    // A time just ahead of the clock: the stamp alone can tell nothing of a rewrite.
    const timespec ahead[2] = {{0, UTIME_OMIT}, {::time(nullptr) + 5, 0}};
    if (change == "same stamp")
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), ahead, 0), 0);
    Bench bench;
    auto *status = new PaneFileStatus(bench.left);
    new PaneFollower(bench.left, *status, bench.fake.files, nullptr);
    bench.fake.dialogs.openAnswers = {{path}};
    bench.open(1);
    bench.left.editor().type("mine ");

    QByteArray onDisk = "old\n";
    if (change == "append") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("theirs\n");
        onDisk += "theirs\n";
    } else if (change == "rename over") {
        writeFile(dir.filePath("new.txt"), onDisk = "new\n");
        QCOMPARE(::rename(QFile::encodeName(dir.filePath("new.txt")).constData(), QFile::encodeName(path).constData()), 0);
    } else if (change == "same stamp") {
        writeFile(path, onDisk = "OLD\n");
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), ahead, 0), 0);
    } else if (change == "delete") {
        QVERIFY(QFile::remove(path));
        onDisk.clear();
    }
    const QString target = change == "elsewhere" ? other : path;
    bench.fake.dialogs.saveAnswers = {target};
    bench.fake.messages.answers = {answers.begin(), answers.end()};
    bench.save(1);

    QStringList questions;
    for (const platform::MessageRequest &box : std::as_const(bench.fake.messages.shown)) {
        if (box.text == changedOnDiskQuestion(target)) {
            questions << "changed";
            QCOMPARE(box.buttons, platform::MessageButtons::YesNo);
            QCOMPARE(box.defaultButton, MessageAnswer::No);
        } else if (box.text == overwriteQuestion(target)) {
            questions << "overwrite";
            QCOMPARE(box.defaultButton, MessageAnswer::Yes); // the overwrite question as it always was
        } else {
            questions << box.text;
        }
    }
    QCOMPARE(questions, asked);
    QCOMPARE(readFile(target), written ? bench.left.bytes() : onDisk);
    QCOMPARE(bench.left.isModified(), !written);
}

void TestPaneActions::failedSaveKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("kind");
    for (const char *kind : {"read-only folder", "a folder's name", "full disk", "one byte short"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

void TestPaneActions::failedSaveKeepsTheOldFile()
{
    QFETCH(QString, kind);
    QTemporaryDir base;
    const QString folder = base.filePath(QStringLiteral("target"));
    QVERIFY(QDir().mkdir(folder));
    const bool readOnlyFolder = kind == QLatin1String("read-only folder");
    std::optional<ScratchMount> mount;
    if (readOnlyFolder && ::geteuid() == 0 && !mount.emplace(folder).ok)
        QSKIP("The superuser writes into any folder, and no scratch file system could be mounted.");

    const QByteArray old = "old contents\r\nkeep me\r\n";
    const QString oldPath = folder + QStringLiteral("/old.txt");
    writeFile(oldPath, old);
    const QString target = kind == QLatin1String("a folder's name") ? folder + QStringLiteral("/sub") : oldPath;
    if (target != oldPath)
        QVERIFY(QDir().mkdir(target));
    const QStringList before = entries(folder);
    if (readOnlyFolder)
        QVERIFY(mount ? mount->makeReadOnly() : QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));

    Bench bench;
    bench.left.setBytes(QByteArray(1024 * 1024, 'n'));
    bench.fake.dialogs.saveAnswers = {target};
    bench.fake.messages.answers = {MessageAnswer::Yes};
    {
        std::optional<FileSizeCap> cap;
        if (kind == QLatin1String("full disk"))
            cap.emplace(64 * 1024);
        if (kind == QLatin1String("one byte short"))
            cap.emplace(1024 * 1024 - 1);
        bench.save(1);
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QCOMPARE(readFile(oldPath), old);
    QCOMPARE(entries(folder), before);
    const QList<platform::MessageRequest> found = reports(bench.fake.messages);
    QCOMPARE(found.size(), 1);
    QVERIFY2(found.constFirst().text.contains(
                 QStringLiteral("\r\nin Quillmere2021/08/31.Form1.PushButton2_Click at line 114\r\r")),
             qPrintable(found.constFirst().text));
    QCOMPARE(bench.pointer.value(), PointerShape::Default);
}

void TestPaneActions::fullDiskGivesOneReportAndKeepsTheOldFile_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("inPlace"); // forced by a second name for the file
    QTest::addColumn<bool>("fits");    // in place, the old text's page is free again for the new one
    for (const bool inPlace : {false, true})
        for (const int size : {1, 600, 4096, 4097, 16384, 16385})
            QTest::addRow("%s, %d bytes", inPlace ? "in place" : "replaced", size) << size << inPlace
                                                                                   << (inPlace && size <= 4096);
}

void TestPaneActions::fullDiskGivesOneReportAndKeepsTheOldFile()
{
    QFETCH(int, size);
    QFETCH(bool, inPlace);
    QFETCH(bool, fits);
    QTemporaryDir base;
    const QString folder = base.filePath(QStringLiteral("disk"));
    QVERIFY(QDir().mkdir(folder));
    std::optional<ScratchMount> mount;
    if (::geteuid() != 0 || !mount.emplace(folder, "size=16k").ok)
        QSKIP("A small scratch file system needs the superuser.");
    const QByteArray old(600, 'o');
    const QString target = folder + QStringLiteral("/old.txt");
    writeFile(target, old);
    if (inPlace)
        QCOMPARE(::link(QFile::encodeName(target).constData(), QFile::encodeName(folder + QStringLiteral("/other.txt")).constData()), 0);
    {
        // Fill every page that is left.
        QFile filler(folder + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (filler.write(QByteArray(512, 'f')) == 512) {}
    }
    const QStringList before = entries(folder);

    Bench bench;
    bench.left.setBytes(QByteArray(size, 'n'));
    bench.fake.dialogs.saveAnswers = {target};
    bench.fake.messages.answers = {MessageAnswer::Yes};
    bench.save(1);

    QCOMPARE(readFile(target), fits ? QByteArray(size, 'n') : old);
    if (inPlace)
        QCOMPARE(readFile(folder + QStringLiteral("/other.txt")), readFile(target));
    QCOMPARE(entries(folder), before);
    const QList<platform::MessageRequest> found = reports(bench.fake.messages);
    QCOMPARE(found.size(), fits ? 0 : 1);
    if (!fits)
        QVERIFY2(found.constFirst().text.startsWith(target + QStringLiteral(": No space left on device\r\nin Quillmere2021/08/31."
                                                                            "Form1.PushButton2_Click at line 114\r\r")),
                 qPrintable(found.constFirst().text));
    QCOMPARE(entries(qEnvironmentVariable("XDG_CACHE_HOME") + QStringLiteral("/brassfinch")), QStringList());
}

void TestPaneActions::samplesNeverEmptyAPaneAndOfferTheFolder_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<MessageAnswer>("answer");
    QTest::addColumn<QByteArray>("left");
    QTest::addColumn<QByteArray>("right");
    const QByteArray first = "first\n\r", second = "second\n\r";
    QTest::newRow("Yes opens the folder") << true << MessageAnswer::Yes << first << second;
    QTest::newRow("No opens nothing") << true << MessageAnswer::No << first << second;
    QTest::newRow("missing samples keep the panes and still ask")
        << false << MessageAnswer::Yes << QByteArray("L\r") << QByteArray("R\r");
}

void TestPaneActions::samplesNeverEmptyAPaneAndOfferTheFolder()
{
    QFETCH(bool, present);
    QFETCH(MessageAnswer, answer);
    QFETCH(QByteArray, left);
    QFETCH(QByteArray, right);
    QTemporaryDir program;
    QVERIFY(QDir(program.path()).mkdir(QStringLiteral("Samples")));
    if (present) {
        writeFile(program.filePath(QStringLiteral("Samples/sample1.txt")), "first\n");
        writeFile(program.filePath(QStringLiteral("Samples/sample2.txt")), "second\n");
    }
    Bench bench(program.path());
    bench.left.setBytes("L");
    bench.right.setBytes("R");
    bench.fake.messages.answers = present ? std::deque{answer}
                                          : std::deque{MessageAnswer::Ok, MessageAnswer::Ok, answer};
    QSignalSpy pointer(&bench.pointer, &MousePointer::changed);

    bench.loadSamples();

    QCOMPARE(bench.left.bytes(), left);
    QCOMPARE(bench.right.bytes(), right);
    QCOMPARE(notFoundBoxes(bench.fake.messages), present ? 0 : 2);
    QCOMPARE(bench.fake.messages.shown.size(), present ? 1 : 3);
    const platform::MessageRequest &question = bench.fake.messages.shown.constLast();
    QCOMPARE(question.buttons, platform::MessageButtons::YesNo);
    QCOMPARE(question.defaultButton, MessageAnswer::Yes);
    const QStringList samples{program.path() + QStringLiteral("/Samples")};
    QCOMPARE(bench.fake.shell.folders, answer == MessageAnswer::Yes ? samples : QStringList());
    QCOMPARE(pointer.size(), 0);
}

void TestPaneActions::windowButtonsReachTheirPanes_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("left");
    QTest::addColumn<QByteArray>("right");
    // The clear buttons' names run crosswise to their captions.
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
    window.RichTextBox1->setBytes("L");
    window.RichTextBox2->setBytes("R");
    QPushButton *pushButton = window.findChild<QPushButton *>(button);
    QVERIFY(pushButton);
    pushButton->click();
    QCOMPARE(window.RichTextBox1->bytes(), left);
    QCOMPARE(window.RichTextBox2->bytes(), right);
    QVERIFY(reports(fake.messages).isEmpty());
}

QTEST_MAIN(TestPaneActions)
#include "tst_paneactions.moc"
