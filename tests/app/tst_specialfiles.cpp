#include "platform/failure.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/testfiles.h"
#include "app/form1.h"
#include "handlers/mousepointer.h"
#include "textpane/panecontrol.h"
#include "platform/qtplatform.h"

#include <QTemporaryDir>

#include <cstring>
#include <fcntl.h>
#include <thread>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Puts at `path` something that a reader must not wait on or read without end, or a file too
// large for the start-up files.
bool make(const QString &kind, const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    if (kind == "named pipe")
        return ::mkfifo(name.constData(), 0600) == 0;
    if (kind == "link to a named pipe")
        return ::mkfifo((name + ".fifo").constData(), 0600) == 0 && QFile::link(path + ".fifo", path);
    if (kind == "link to /dev/zero")
        return QFile::link("/dev/zero", path);
    if (kind == "folder")
        return QDir().mkpath(path);
    if (kind == "oversized") {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.resize(5 << 20);
    }
    if (kind == "socket") {
        sockaddr_un address{AF_UNIX, {}};
        std::strncpy(address.sun_path, name.constData(), sizeof address.sun_path - 1);
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const bool bound = ::bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        ::close(s); // the name stays, with no one listening
        return bound;
    }
    return kind == "missing";
}

} // namespace

class TestSpecialFiles : public QObject
{
    Q_OBJECT
private slots:
    // A reader that waits for a writer or reads without end would hang the suite: end it instead.
    void init() { ::alarm(20); }
    void cleanup() { ::alarm(0); }

    void readersRefuseWhatWouldBlockOrNeverEnd_data()
    {
        QTest::addColumn<QString>("reader");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("line"); // 0: nothing to report
        QTest::addColumn<QString>("why");
        QTest::addColumn<QString>("url"); // how the skin names it
        const std::tuple<const char *, const char *, const char *> kinds[]{
            {"named pipe", "Is a named pipe", "url(%1)"}, {"link to a named pipe", "Is a named pipe", "url( '%1' )"},
            {"link to /dev/zero", "Is a character device", "URL(\"%1\")"}, {"folder", "Is a folder", "url(\"%1\")"},
            {"socket", "Is a socket", "url(%1)"}, {"oversized", "The file is larger than 4.00 MiB", "url(%1)"},
            {"missing", "", "url(%1)"}};
        const std::pair<QString, int> readers[]{{"open", 122}, {"samples", 106}, {"cursor", 104}, {"skin url", 100}};
        for (const auto &[reader, line] : readers) {
            for (auto [kind, why, url] : kinds) {
                // Only the start-up files have a size limit; only a skin may name a missing file.
                // A pane reads a pipe (tried elsewhere), as it would a file.
                if ((kind == QLatin1String("oversized") && line > 104) || (kind == QLatin1String("missing") && line != 100)
                    || (line > 104 && QString(kind).contains("named pipe")))
                    continue;
                const QString message = reader == "cursor" ? QString(why).replace("4.00", "1.00") : QString(why);
                QTest::addRow("%s: %s", qPrintable(reader), kind) << reader << kind << (*why ? line : 0) << message << url;
            }
        }
    }
    void readersRefuseWhatWouldBlockOrNeverEnd()
    {
        QFETCH(QString, reader);
        QFETCH(int, line);
        QFETCH(QString, why);
        QTemporaryDir folder;
        QDir dir(folder.path());
        QVERIFY(dir.mkpath("Samples") && dir.mkpath("x"));
        const QString path = dir.filePath(reader == "samples" ? "Samples/sample1.txt" : reader == "cursor" ? "HAND-M.CUR" : "thing");
        QFETCH(QString, kind);
        QVERIFY2(make(kind, path), qPrintable(path));
        writeFile(dir.filePath("Samples/sample2.txt"), "two");
        // What a comment names is never opened.
        QFETCH(QString, url);
        const QByteArray sheet = "/* QLabel { image: url(/dev/zero) } */ QPushButton { image: " + url.arg(path).toUtf8() + "; }";
        if (reader == "skin url")
            writeFile(dir.filePath("x/o.cjs"), sheet);
        FakePlatform fake;
        fake.programDirectory = folder.path();
        Form1 form(fake.platform());
        form.RichTextBox1->setBytes("before");

        QString handler = "Form_Load";
        if (reader == "open") {
            handler = "PushButton3_Click";
            fake.dialogs.openAnswers.push_back({path});
            form.PushButton3_Click();
            // The action went on, leaving the pane as it was, and the pointer is back.
            QCOMPARE(form.RichTextBox1->bytes(), QByteArray("before"));
            QCOMPARE(form.mousePointer().value(), PointerShape::Default);
        } else if (reader == "samples") {
            handler = "PushButton9_Click";
            form.PushButton9_Click();
            QCOMPARE(form.RichTextBox1->bytes() + form.RichTextBox2->bytes(), QByteArray("before\rtwo\r"));
            QVERIFY(fake.messages.shown.takeLast().text.startsWith("Would you like"));
        } else {
            form.Form_Load();
            QCOMPARE(form.windowTitle(), QStringLiteral("Brassfinch"));
            QCOMPARE(form.styleSheet(), line ? QString() : QString::fromUtf8(sheet));
            form.show(); // drawing the window opens nothing that was refused
            QVERIFY(QTest::qWaitForWindowExposed(&form));
        }
        QCOMPARE(fake.messages.shown.size(), line ? 1 : 0);
        if (line) {
            const QString text = fake.messages.shown.first().text;
            const QString named = reader == "skin url" ? "The skin names " + path + ": " : path + ": ";
            QVERIFY2(text.startsWith(named + why) && text.contains("Form1." + handler + " at line " + QString::number(line)),
                     qPrintable(text));
        }
    }

    void panesReadPipesAndStopWaitingOnOneWhenAsked_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("written"); // what a writer sends; null: no writer ever comes
        QTest::newRow("named pipe") << "named pipe" << QByteArray("piped\n");
        QTest::newRow("named pipe, more than a chunk") << "named pipe" << QByteArray(9 << 20, 'p');
        QTest::newRow("named pipe, no writer, stopped") << "named pipe" << QByteArray();
        QTest::newRow("a command's output") << "/dev/fd" << QByteArray("sorted\n");
        QTest::newRow("standard input") << "-" << QByteArray("typed\n");
    }
    void panesReadPipesAndStopWaitingOnOneWhenAsked()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, written);
        QTemporaryDir folder;
        QString path = folder.filePath("fifo");
        int ends[2] = {-1, -1};
        int standardInput = -1;
        if (kind == "named pipe") {
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        } else {
            QVERIFY(::pipe(ends) == 0);
            path = QStringLiteral("/dev/fd/%1").arg(ends[0]);
            if (kind == "-") {
                standardInput = ::dup(0);
                QVERIFY(::dup2(ends[0], 0) == 0);
                path = QStringLiteral("/dev/stdin");
            }
        }
        std::thread writer([&] {
            if (written.isNull())
                return;
            const int fd = ends[1] >= 0 ? ends[1] : ::open(QFile::encodeName(path).constData(), O_WRONLY);
            for (qsizetype done = 0; done < written.size();)
                done += std::max<ssize_t>(0, ::write(fd, written.constData() + done, size_t(written.size() - done)));
            ::close(fd);
            ends[1] = -1;
        });
        FakePlatform fake;
        fake.progress.stopAfter = written.isNull() ? 5 : 1 << 30;
        Form1 form(fake.platform());
        form.RichTextBox1->setBytes("before");
        fake.dialogs.openAnswers.push_back({path});
        form.PushButton3_Click();
        writer.join();
        if (standardInput >= 0) {
            ::dup2(standardInput, 0);
            ::close(standardInput);
        }
        for (const int fd : ends)
            if (fd >= 0)
                ::close(fd);

        QVERIFY2(fake.messages.shown.isEmpty(), qPrintable(fake.messages.shown.value(0).text));
        QVERIFY2(form.RichTextBox1->bytes() == written + '\r', "the pane holds what came through the pipe");
        // A pipe no one writes to is waited on, not taken for empty, until the user stops it.
        QCOMPARE(fake.progress.stopAfter < 0, written.isNull());
    }

    void readAllStopsAtItsLimitWhateverTheSizeSays_data()
    {
        QTest::addColumn<QString>("path"); // empty: a file of `size` bytes made here
        QTest::addColumn<qint64>("size");
        QTest::addColumn<qint64>("limit");
        QTest::newRow("exactly at the limit") << "" << 100LL << 100LL;
        QTest::newRow("one byte over the limit") << "" << 101LL << 100LL;
        // Files under /proc say they are empty and still hold text.
        QTest::newRow("no size, read to its end") << "/proc/self/status" << 0LL << qint64(1 << 20);
        QTest::newRow("no size, past the limit") << "/proc/self/status" << 17LL << 16LL;
    }
    void readAllStopsAtItsLimitWhateverTheSizeSays()
    {
        QFETCH(QString, path);
        QFETCH(qint64, size);
        QFETCH(qint64, limit);
        QTemporaryDir folder;
        const QByteArray content(size, 'a');
        if (path.isEmpty())
            writeFile(path = folder.filePath("file"), content);
        try {
            const QByteArray got = platform::QtFileServices().readAll(path, limit);
            QVERIFY2(size <= limit, "a file over the limit was read");
            QVERIFY(path.startsWith("/proc") ? got.startsWith("Name:") && got.endsWith('\n') : got == content);
        } catch (const platform::Failure &failure) {
            QVERIFY2(size > limit && failure.message().startsWith("The file is larger than"), qPrintable(failure.message()));
        }
    }
};

QTEST_MAIN(TestSpecialFiles)
#include "tst_specialfiles.moc"
