#include "failure.h"
#include "fakeplatform.h"
#include "form1.h"
#include "mousepointer.h"
#include "panecontrol.h"
#include "qtplatform.h"
#include "stylesheetfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A read that waits for a writer or runs without end would hang the suite: end it instead.
constexpr unsigned kWatchdogSeconds = 20;

const qint64 kOversized = 5 * 1024 * 1024;

// Puts at `path` a thing of `kind` that no reader may wait on or read without end, or one too
// large for the start-up files.
bool makeThing(const QString &kind, const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    if (kind == QLatin1String("named pipe"))
        return ::mkfifo(name.constData(), 0600) == 0;
    if (kind == QLatin1String("link to a named pipe"))
        return ::mkfifo((name + ".fifo").constData(), 0600) == 0 && QFile::link(path + ".fifo", path);
    if (kind == QLatin1String("link to /dev/zero"))
        return QFile::link(QStringLiteral("/dev/zero"), path);
    if (kind == QLatin1String("folder"))
        return QDir().mkpath(path);
    if (kind == QLatin1String("oversized")) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.resize(kOversized);
    }
    if (kind == QLatin1String("socket")) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (name.size() >= qsizetype(sizeof address.sun_path))
            return false;
        std::memcpy(address.sun_path, name.constData(), name.size());
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const bool bound = ::bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        ::close(s); // the name stays, with no one listening
        return bound;
    }
    return kind == QLatin1String("missing");
}

QList<platform::MessageRequest> reports(const FakeMessageBoxes &messages)
{
    QList<platform::MessageRequest> found;
    for (const platform::MessageRequest &box : messages.shown)
        if (box.title == QLatin1String("Application Error"))
            found << box;
    return found;
}

} // namespace

class TestSpecialFiles : public QObject
{
    Q_OBJECT
private slots:
    void init() { ::alarm(kWatchdogSeconds); }
    void cleanup() { ::alarm(0); }
    void readersRefuseWhatWouldBlockOrNeverEnd_data();
    void readersRefuseWhatWouldBlockOrNeverEnd();
    void readAllStopsAtItsLimitWhateverTheSizeSays_data();
    void readAllStopsAtItsLimitWhateverTheSizeSays();
    void skinSheetNamesTheFilesQtWouldOpen_data();
    void skinSheetNamesTheFilesQtWouldOpen();
};

void TestSpecialFiles::readersRefuseWhatWouldBlockOrNeverEnd_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("line"); // 0: nothing to report
    QTest::addColumn<QString>("why");
    const QList<std::pair<const char *, const char *>> kinds{
        {"named pipe", "Is a named pipe, not a regular file."},
        {"link to a named pipe", "Is a named pipe, not a regular file."},
        {"link to /dev/zero", "Is a character device, not a regular file."},
        {"folder", "Is a folder, not a regular file."},
        {"socket", "Is a socket, not a regular file."},
        {"oversized", "The file is larger than 4.00 MiB, too large to read."},
        {"missing", ""},
    };
    const QList<std::pair<const char *, int>> readers{{"open", 122}, {"samples", 106}, {"cursor", 104},
                                                      {"skin url", 100}};
    for (const auto &[reader, line] : readers) {
        for (const auto &[kind, why] : kinds) {
            // Only the start-up files have a size limit; only a skin may name a missing file.
            const QString r = QString::fromLatin1(reader);
            const bool limited = r == QLatin1String("cursor") || r == QLatin1String("skin url");
            if ((!qstrcmp(kind, "oversized") && !limited) || (!qstrcmp(kind, "missing") && r != QLatin1String("skin url")))
                continue;
            QString message = QString::fromLatin1(why);
            if (r == QLatin1String("cursor") && !qstrcmp(kind, "oversized"))
                message.replace(QLatin1String("4.00"), QLatin1String("1.00"));
            QTest::addRow("%s: %s", reader, kind) << r << kind << (message.isEmpty() ? 0 : line) << message;
        }
    }
}

void TestSpecialFiles::readersRefuseWhatWouldBlockOrNeverEnd()
{
    QFETCH(QString, reader);
    QFETCH(QString, kind);
    QFETCH(int, line);
    QFETCH(QString, why);
    QTemporaryDir folder;
    QDir dir(folder.path());
    QVERIFY(dir.mkpath(QStringLiteral("Samples")) && dir.mkpath(QStringLiteral("x")));
    FakePlatform fake;
    fake.programDirectory = folder.path();
    Form1 form(fake.platform());

    QString path = dir.filePath(QStringLiteral("thing"));
    if (reader == QLatin1String("samples"))
        path = dir.filePath(QStringLiteral("Samples/sample1.txt"));
    else if (reader == QLatin1String("cursor"))
        path = dir.filePath(QStringLiteral("HAND-M.CUR"));
    QVERIFY2(makeThing(kind, path), qPrintable(path));
    QFile second(dir.filePath(QStringLiteral("Samples/sample2.txt")));
    QVERIFY(second.open(QIODevice::WriteOnly) && second.write("two") == 3);
    second.close();
    const QByteArray sheet = "QPushButton { image: url(\"" + QFile::encodeName(path) + "\"); }";
    QFile skin(dir.filePath(QStringLiteral("x/o.cjs")));
    if (reader == QLatin1String("skin url"))
        QVERIFY(skin.open(QIODevice::WriteOnly) && skin.write(sheet) == sheet.size());
    skin.close();

    QString location = QStringLiteral("Form1.Form_Load ");
    form.RichTextBox1->SetText("before");
    if (reader == QLatin1String("open")) {
        location = QStringLiteral("Form1.PushButton3_Click ");
        fake.dialogs.openAnswers.push_back({path});
        form.PushButton3_Click();
        // The action went on: the carriage return is added and the pointer is back.
        QCOMPARE(form.RichTextBox1->Text(), QByteArray("\r"));
        QCOMPARE(form.mousePointer().value(), int(MousePointer::kDefault));
    } else if (reader == QLatin1String("samples")) {
        location = QStringLiteral("Form1.PushButton9_Click ");
        form.PushButton9_Click();
        QCOMPARE(form.RichTextBox1->Text(), QByteArray("before\r"));
        QCOMPARE(form.RichTextBox2->Text(), QByteArray("two\r"));
        QVERIFY(fake.messages.shown.last().text.startsWith(QLatin1String("Would you like")));
    } else {
        form.Form_Load();
        QCOMPARE(form.windowTitle(), QStringLiteral("Brassfinch"));
        QCOMPARE(form.styleSheet(), line ? QString() : QString::fromUtf8(sheet));
        // The window appears: drawing it opens none of what was refused.
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
    }

    const QList<platform::MessageRequest> shown = reports(fake.messages);
    QCOMPARE(shown.size(), line ? 1 : 0);
    if (line) {
        const QString text = shown.first().text;
        QVERIFY2(text.startsWith(reader == QLatin1String("skin url") ? QStringLiteral("The skin names ") + path + ": " + why
                                                                     : why + QStringLiteral("\r\n")),
                 qPrintable(text));
        QVERIFY2(text.contains(location + QStringLiteral("at line ") + QString::number(line) + QLatin1Char('\r')),
                 qPrintable(text));
    }
}

void TestSpecialFiles::readAllStopsAtItsLimitWhateverTheSizeSays_data()
{
    QTest::addColumn<QString>("path"); // relative: a file of `size` bytes made here
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<bool>("read");
    QTest::newRow("exactly at the limit") << "file" << qint64(100) << qint64(100) << true;
    QTest::newRow("one byte over the limit") << "file" << qint64(101) << qint64(100) << false;
    QTest::newRow("empty") << "file" << qint64(0) << qint64(100) << true;
    // Files under /proc say they are empty and still hold text.
    QTest::newRow("no size, read to its end") << "/proc/self/status" << qint64(-1) << qint64(1 << 20) << true;
    QTest::newRow("no size, past the limit") << "/proc/self/status" << qint64(-1) << qint64(16) << false;
}

void TestSpecialFiles::readAllStopsAtItsLimitWhateverTheSizeSays()
{
    QFETCH(QString, path);
    QFETCH(qint64, size);
    QFETCH(qint64, limit);
    QFETCH(bool, read);
    QTemporaryDir folder;
    QByteArray content(std::max<qint64>(size, 0), 'a');
    if (size >= 0) {
        path = folder.filePath(path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == size);
    }
    const platform::QtFileServices files;
    try {
        const QByteArray got = files.readAll(path, limit);
        QVERIFY2(read, "a file over the limit was read");
        if (size >= 0)
            QCOMPARE(got, content);
        else
            QVERIFY(got.startsWith("Name:") && got.endsWith('\n'));
    } catch (const platform::Failure &failure) {
        QVERIFY2(!read, qPrintable(failure.message()));
        QVERIFY2(failure.message().startsWith(QLatin1String("The file is larger than")), qPrintable(failure.message()));
    }
}

void TestSpecialFiles::skinSheetNamesTheFilesQtWouldOpen_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QStringList>("files"); // relative names stand for the current folder
    QTest::newRow("quoted, single-quoted, bare")
        << "a { image: url(\"/p/a b.png\"); } b { border-image: url('/p/c.png') } c { image: URL( /p/d.png ) }"
        << QStringList{"/p/a b.png", "/p/c.png", "/p/d.png"};
    QTest::newRow("relative to the current folder") << "a { image: url(img/x.png) }" << QStringList{"img/x.png"};
    QTest::newRow("resources are not files") << "a { image: url(:/x.png) } b { image: url(qrc:/y.png) }"
                                             << QStringList{};
    QTest::newRow("comments are not read") << "/* a { image: url(/p/old.png) } */ b { image: url(/p/new.png) }"
                                           << QStringList{"/p/new.png"};
}

void TestSpecialFiles::skinSheetNamesTheFilesQtWouldOpen()
{
    QFETCH(QString, sheet);
    QFETCH(QStringList, files);
    for (QString &file : files)
        file = QDir::current().absoluteFilePath(file);
    QCOMPARE(styleSheetFiles(sheet), files);
}

QTEST_MAIN(TestSpecialFiles)
#include "tst_specialfiles.moc"
