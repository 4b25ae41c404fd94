#include "app/form1.h"
#include "app/skinframework.h"
#include "platform/failure.h"
#include "platform/qtplatform.h"
#include "tests/support/fakeplatform.h"
#include "textpane/panecontrol.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Leaves the buttons alone, so that what the theme itself does to their colours shows.
const QByteArray kSheet = "QGroupBox::title { color: #1a3d5c; }\n";

// The real file system, except that no file can be read.
class Unreadable final : public platform::FileServices
{
public:
    QDateTime lastModified(const QString &path) const override { return real.lastModified(path); }
    bool listsAsPlainFile(const QString &path) const override { return real.listsAsPlainFile(path); }
    QByteArray readAll(const QString &, qint64) const override { throw platform::Failure(QStringLiteral("Denied")); }
    void refuseIrregularFile(const QString &path, qint64 limit) const override { real.refuseIrregularFile(path, limit); }
    platform::WriteOutcome writePiecesAtomically(const QString &path, platform::TextPieces pieces,
                                                 const platform::WriteProgress &progress = {}) override
    {
        return real.writePiecesAtomically(path, pieces, progress);
    }

private:
    platform::QtFileServices real;
};

QColor background(const QWidget *widget)
{
    return widget->palette().color(QPalette::Window);
}

} // namespace

class ThemeTest : public QObject
{
    Q_OBJECT
private slots:
    void skinAtStartUp_data();
    void skinAtStartUp();
};

void ThemeTest::skinAtStartUp_data()
{
    // The skin file x/o.cjs: absent, a folder, or a file holding `content`, maybe unreadable.
    // Any such file paints the window and its plain controls in the button colour, whether or not
    // its skin can then be laid over the window; when it cannot, that is reported at line 100.
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("skinned");
    QTest::newRow("absent") << "absent" << QByteArray() << false;
    QTest::newRow("present") << "file" << kSheet << true;
    QTest::newRow("folder named o.cjs") << "folder" << QByteArray() << false;
    QTest::newRow("unreadable") << "unreadable" << kSheet << false;
    QTest::newRow("empty") << "file" << QByteArray(" \n\t") << false;
    QTest::newRow("not UTF-8") << "file" << QByteArray("QWidget { color: r\xe9" "d; }") << false;
    QTest::newRow("NUL bytes") << "file" << QByteArray("MZ\0\0QWidget {}", 14) << false;
}

void ThemeTest::skinAtStartUp()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, content);
    QFETCH(bool, skinned);
    const bool buttonFace = !content.isNull();
    const bool reported = buttonFace && !skinned;
    QTemporaryDir folder;
    QDir dir(folder.path());
    FakePlatform fake;
    fake.programDirectory = folder.path();
    Unreadable unreadable;
    if (kind == QLatin1String("unreadable"))
        fake.files.real = &unreadable;
    if (kind == QLatin1String("folder"))
        QVERIFY(dir.mkpath(QStringLiteral("x/o.cjs")));
    if (!content.isNull()) {
        QVERIFY(dir.mkpath(QStringLiteral("x")));
        QFile file(dir.filePath(QStringLiteral("x/o.cjs")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    Form1 form(fake.platform());
    form.SkinFramework1->setOptions(0x8000000a);
    const QColor checkBefore = background(form.Check1);
    const QColor paperBefore = form.RichTextBox1->paper();

    form.Form_Load();

    QCOMPARE(fake.messages.shown.size(), reported ? 1 : 0);
    if (reported)
        QVERIFY(fake.messages.shown.first().text.contains(QLatin1String("at line 100\r")));
    QCOMPARE(form.windowTitle(), QStringLiteral("Brassfinch")); // start-up went on
    const QColor face = QGuiApplication::palette().color(QPalette::Button);
    QVERIFY2(face != QColor(Qt::white), "the button colour must differ from the layout's white");
    for (const QWidget *w : QList<QWidget *>{&form, form.Frame1, form.Frame2, form.Frame3})
        QCOMPARE(background(w), buttonFace ? face : QColor(Qt::white));
    QCOMPARE(background(form.Check1), buttonFace ? face : checkBefore);
    // The panes and the buttons keep the colours of the layout.
    QCOMPARE(form.RichTextBox1->paper(), paperBefore);
    QCOMPARE(form.RichTextBox2->paper(), paperBefore);
    for (const QPushButton *b : form.findChildren<QPushButton *>())
        QCOMPARE(b->palette().color(QPalette::Button), QColor(Qt::white));
    QCOMPARE(form.styleSheet(), skinned ? QString::fromUtf8(kSheet) : QString());
    // The skin replaces the window's sheet, and keeps the other option flags.
    QCOMPARE(form.SkinFramework1->options(), skinned ? 0x8000000bU : 0x8000000aU);
}

QTEST_MAIN(ThemeTest)
#include "tst_theme.moc"
