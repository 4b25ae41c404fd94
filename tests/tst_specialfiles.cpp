#include "failure.h"
#include "fakeplatform.h"
#include "form1.h"
#include "mousepointer.h"
#include "panecontrol.h"
#include "qtplatform.h"

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

// Puts at `path` something that a reader must not wait on or read without end, or a file too
// large for the start-up files.
bool make(const QString &kind, const QString &path)
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
        return file.open(QIODevice::WriteOnly) && file.resize(5 << 20);
    }
    if (kind == QLatin1String("socket")) {
        sockaddr_un address{AF_UNIX, {}};
        std::strncpy(address.sun_path, name.constData(), sizeof address.sun_path - 1);
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const bool bound = ::bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        ::close(s); // the name stays, with no one listening
        return bound;
    }
    return kind == QLatin1String("missing");
}

} // namespace

class TestSpecialFiles : public QObject
{
    Q_OBJECT
private slots:
    // A reader that waits for a writer or reads without end would hang the suite: end it instead.
    void init() { ::alarm(20); }
    void cleanup() { ::alarm(0); }
    void readersRefuseWhatWouldBlockOrNeverEnd_data();
    void readersRefuseWhatWouldBlockOrNeverEnd();
    void readAllStopsAtItsLimitWhateverTheSizeSays_data();
    void readAllStopsAtItsLimitWhateverTheSizeSays();
};

void TestSpecialFiles::readersRefuseWhatWouldBlockOrNeverEnd_data()
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
            if ((kind == QLatin1String("oversized") && line > 104) || (kind == QLatin1String("missing") && line != 100))
                continue;
            QString message = QString::fromLatin1(why);
            if (reader == QLatin1String("cursor"))
                message.replace(QLatin1String("4.00"), QLatin1String("1.00"));
            QTest::addRow("%s: %s", qPrintable(reader), kind) << reader << kind << (*why ? line : 0) << message << url;
        }
    }
}

void TestSpecialFiles::readersRefuseWhatWouldBlockOrNeverEnd()
{
    QFETCH(QString, reader);
    QFETCH(QString, kind);
    QFETCH(int, line);
    QFETCH(QString, why);
    QFETCH(QString, url);
    QTemporaryDir folder;
    QDir dir(folder.path());
    QVERIFY(dir.mkpath(QStringLiteral("Samples")) && dir.mkpath(QStringLiteral("x")));
    const QString path = dir.filePath(reader == QLatin1String("samples") ? QStringLiteral("Samples/sample1.txt")
                                      : reader == QLatin1String("cursor") ? QStringLiteral("HAND-M.CUR")
                                                                          : QStringLiteral("thing"));
    QVERIFY2(make(kind, path), qPrintable(path));
    QFile second(dir.filePath(QStringLiteral("Samples/sample2.txt")));
    QVERIFY(second.open(QIODevice::WriteOnly) && second.write("two") == 3 && second.flush());
    // What a comment names is never opened.
    const QByteArray sheet = "/* QLabel { image: url(/dev/zero) } */ QPushButton { image: " + url.arg(path).toUtf8() + "; }";
    QFile skin(dir.filePath(QStringLiteral("x/o.cjs")));
    if (reader == QLatin1String("skin url"))
        QVERIFY(skin.open(QIODevice::WriteOnly) && skin.write(sheet) == sheet.size() && skin.flush());
    FakePlatform fake;
    fake.programDirectory = folder.path();
    Form1 form(fake.platform());
    form.RichTextBox1->SetText("before");

    QString handler = QStringLiteral("Form_Load");
    if (reader == QLatin1String("open")) {
        handler = QStringLiteral("PushButton3_Click");
        fake.dialogs.openAnswers.push_back({path});
        form.PushButton3_Click();
        // The action went on: the carriage return is added and the pointer is back.
        QCOMPARE(form.RichTextBox1->Text(), QByteArray("\r"));
        QCOMPARE(form.mousePointer().value(), int(MousePointer::kDefault));
    } else if (reader == QLatin1String("samples")) {
        handler = QStringLiteral("PushButton9_Click");
        form.PushButton9_Click();
        QCOMPARE(form.RichTextBox1->Text() + form.RichTextBox2->Text(), QByteArray("before\rtwo\r"));
        QVERIFY(fake.messages.shown.takeLast().text.startsWith(QLatin1String("Would you like")));
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
        const QString named = reader == QLatin1String("skin url") ? "The skin names " + path + ": " : QString();
        QVERIFY2(text.startsWith(named + why) && text.contains("Form1." + handler + " at line " + QString::number(line)),
                 qPrintable(text));
    }
}

void TestSpecialFiles::readAllStopsAtItsLimitWhateverTheSizeSays_data()
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

void TestSpecialFiles::readAllStopsAtItsLimitWhateverTheSizeSays()
{
    QFETCH(QString, path);
    QFETCH(qint64, size);
    QFETCH(qint64, limit);
    QTemporaryDir folder;
    const QByteArray content(size, 'a');
    QFile file(folder.filePath(QStringLiteral("file")));
    if (path.isEmpty())
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == size && file.flush());
    try {
        const QByteArray got = platform::QtFileServices().readAll(path.isEmpty() ? file.fileName() : path, limit);
        QVERIFY2(size <= limit, "a file over the limit was read");
        QVERIFY(path.isEmpty() ? got == content : got.startsWith("Name:") && got.endsWith('\n'));
    } catch (const platform::Failure &failure) {
        QVERIFY2(size > limit && failure.message().startsWith(QLatin1String("The file is larger than")),
                 qPrintable(failure.message()));
    }
}

QTEST_MAIN(TestSpecialFiles)
#include "tst_specialfiles.moc"
