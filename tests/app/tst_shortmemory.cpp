#include "app/form1.h"
#include "fullscreen/form2.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/testfiles.h"
#include "textpane/panecontrol.h"

#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

namespace {

// The child's data may not grow past this: enough to start and to hold one text of kText bytes,
// not enough for a second copy of it.
constexpr rlim_t kDataCap = 900ull << 20;
constexpr qint64 kText = 240ll << 20;

void setDataLimit(rlim_t soft)
{
    rlimit limit{};
    ::getrlimit(RLIMIT_DATA, &limit);
    limit.rlim_cur = soft;
    ::setrlimit(RLIMIT_DATA, &limit);
}

qint64 dataInUse()
{
    const QByteArray status = readFile(QStringLiteral("/proc/self/status"));
    const qsizetype at = status.indexOf("VmData:");
    return status.mid(at + 7, status.indexOf('\n', at) - at - 7).trimmed().split(' ').value(0).toLongLong() * 1024;
}

QByteArray lines(qint64 size)
{
    QByteArray text(size, 'a');
    for (qint64 i = 99; i < size; i += 100)
        text[i] = '\n';
    return text;
}

QString reportsOf(const FakeMessageBoxes &messages)
{
    QStringList texts;
    for (const platform::MessageRequest &box : messages.shown)
        texts << box.text;
    return texts.join(QStringLiteral(" | "));
}

} // namespace

/// Each case runs in a child process of this test whose data is capped, as a memory group or a
/// ulimit caps it: what does not fit must be refused with the user's texts kept, never taken on
/// until the kernel ends the program.
class TestShortMemory : public QObject
{
    Q_OBJECT
private slots:
    void refusedStepsKeepBothTexts_data()
    {
        QTest::addColumn<QString>("step");
        QTest::newRow("open a file larger than the memory left") << "open";
        QTest::newRow("full screen without room for a copy") << "enter";
        QTest::newRow("leave full screen without room for another copy") << "leave";
    }
    void refusedStepsKeepBothTexts()
    {
        QFETCH(QString, step);
#ifdef __SANITIZE_ADDRESS__
        QSKIP("the address sanitizer's own maps count as data, far past any cap");
#endif
        if (qEnvironmentVariableIsEmpty("SHORT_MEMORY_CHILD")) {
            QProcess child;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("SHORT_MEMORY_CHILD"), QStringLiteral("1"));
            child.setProcessEnvironment(environment);
            child.setChildProcessModifier([] { setDataLimit(kDataCap); });
            child.start(QCoreApplication::applicationFilePath(),
                         {QStringLiteral("refusedStepsKeepBothTexts:") + QTest::currentDataTag()});
            QVERIFY(child.waitForFinished(240000));
            const QByteArray output = child.readAllStandardOutput() + child.readAllStandardError();
            QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, output.constData());
            return;
        }

        QTemporaryDir dir;
        FakePlatform fake;
        Form1 form(fake.platform());
        form.Form_Load();
        form.show();
        form.RichTextBox2->setBytes("right, unsaved");
        if (step == "open") {
            // Never read: its size alone tells it cannot fit.
            const QString huge = dir.filePath(QStringLiteral("huge.log"));
            QFile file(huge);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(4ll << 30));
            form.RichTextBox1->setBytes("left, unsaved");
            form.PushButton3_Click({huge});
            QCOMPARE(form.RichTextBox1->bytes(), QByteArray("left, unsaved"));
            QVERIFY2(reportsOf(fake.messages).startsWith(huge + QStringLiteral(": Opening it needs about")),
                     qPrintable(reportsOf(fake.messages)));
        } else {
            const QString big = dir.filePath(QStringLiteral("big.log"));
            writeFile(big, lines(kText));
            form.PushButton3_Click({big});
            QCOMPARE(form.RichTextBox1->byteCount(), kText + 1);
            QVERIFY2(fake.messages.shown.isEmpty(), qPrintable(reportsOf(fake.messages)));
            if (step == "enter")
                setDataLimit(rlim_t(dataInUse() + kText / 2));
            form.PushButton1_Click();
            if (step == "enter") {
                // The view shows the main window's own documents: no copy, so no room is needed.
                Form2 &view = *form.fullScreenWindow();
                QVERIFY(view.isVisible());
                QCOMPARE(view.RichTextBox1->byteCount(), kText + 1);
                QCOMPARE(view.RichTextBox2->bytes(), QByteArray("right, unsaved"));
                QVERIFY2(fake.messages.shown.isEmpty(), qPrintable(reportsOf(fake.messages)));
            } else {
                Form2 &view = *form.fullScreenWindow();
                QVERIFY(view.isVisible());
                QTest::keyClick(view.RichTextBox1, Qt::Key_Delete); // an edit made there, to carry back
                setDataLimit(rlim_t(dataInUse() + kText / 2));
                // No room for another copy of the text: it moves back, edit and all.
                QTest::keyClick(view.RichTextBox1, Qt::Key_Escape);
                QVERIFY(!view.isVisible());
                QVERIFY(form.isVisible());
                QCOMPARE(form.RichTextBox1->byteCount(), kText);
                QVERIFY2(fake.messages.shown.isEmpty(), qPrintable(reportsOf(fake.messages)));
            }
        }
        QCOMPARE(form.RichTextBox2->bytes(), QByteArray("right, unsaved"));
    }
};

QTEST_MAIN(TestShortMemory)
#include "tst_shortmemory.moc"
