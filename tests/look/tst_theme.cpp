#include "fakeplatform.h"
#include "failure.h"
#include "form1.h"
#include "panecontrol.h"
#include "qtplatform.h"
#include "skinframework.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// Leaves the buttons alone, so that what the theme itself does to their colours shows.
const QByteArray kSheet = "QGroupBox::title { color: #1a3d5c; }\n";

// The real file system, except that the skin file cannot be read.
class UnreadableSkin final : public platform::FileServices
{
public:
    QDateTime lastModified(const QString &path) const override { return real.lastModified(path); }
    bool listsAsPlainFile(const QString &path) const override { return real.listsAsPlainFile(path); }
    QByteArray readAll(const QString &path) const override
    {
        if (path.endsWith(QLatin1String("o.cjs")))
            throw platform::Failure(QStringLiteral("Permission denied"));
        return real.readAll(path);
    }
    void writeAtomically(const QString &path, const QByteArray &data) override
    {
        real.writeAtomically(path, data);
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
    void skinKeepsTheOtherOptionFlags();
};

void ThemeTest::skinAtStartUp_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("buttonFace");
    QTest::addColumn<QList<int>>("reports");
    QTest::addColumn<bool>("skinned");
    QTest::newRow("absent") << "absent" << QByteArray() << false << QList<int>{} << false;
    QTest::newRow("present") << "file" << kSheet << true << QList<int>{} << true;
    QTest::newRow("folder named o.cjs") << "folder" << QByteArray() << false << QList<int>{} << false;
    QTest::newRow("unreadable") << "unreadable" << kSheet << true << QList<int>{100} << false;
    QTest::newRow("empty") << "file" << QByteArray(" \n\t") << true << QList<int>{100} << false;
    QTest::newRow("not UTF-8") << "file" << QByteArray("QWidget { color: r\xe9" "d; }") << true
                               << QList<int>{100} << false;
    QTest::newRow("binary") << "file" << QByteArray("MZ\0\0\x90", 5) << true << QList<int>{100} << false;
}

void ThemeTest::skinAtStartUp()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, content);
    QFETCH(bool, buttonFace);
    QFETCH(QList<int>, reports);
    QFETCH(bool, skinned);

    QTemporaryDir folder;
    QDir dir(folder.path());
    FakePlatform fake;
    fake.programDirectory = folder.path();
    UnreadableSkin unreadable;
    if (kind == QLatin1String("unreadable"))
        fake.files.real = &unreadable;
    if (kind != QLatin1String("absent"))
        QVERIFY(dir.mkdir(QStringLiteral("x")));
    if (kind == QLatin1String("folder"))
        QVERIFY(dir.mkdir(QStringLiteral("x/o.cjs")));
    if (kind == QLatin1String("file") || kind == QLatin1String("unreadable")) {
        QFile file(dir.filePath(QStringLiteral("x/o.cjs")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    Form1 form(fake.platform());
    const QColor checkBefore = background(form.Check1);
    const QColor paperBefore = form.RichTextBox1->paper();
    form.Form_Load();

    QList<int> lines;
    for (const auto &request : fake.messages.shown)
        lines << QRegularExpression(QStringLiteral("at line (\\d+)\\r")).match(request.text).captured(1).toInt();
    QCOMPARE(lines, reports);
    QCOMPARE(form.windowTitle(), QStringLiteral("Brassfinch")); // start-up went on

    const QColor face = QGuiApplication::palette().color(QPalette::Button);
    QVERIFY2(face != QColor(Qt::white), "the button colour must differ from the layout's white");
    const QColor window = buttonFace ? face : QColor(Qt::white);
    for (const QWidget *w : {static_cast<QWidget *>(&form), static_cast<QWidget *>(form.Frame1),
                             static_cast<QWidget *>(form.Frame2), static_cast<QWidget *>(form.Frame3)})
        QVERIFY2(background(w) == window, qPrintable(w->objectName() + QLatin1String(" ") + background(w).name()));
    QCOMPARE(background(form.Check1), buttonFace ? face : checkBefore);

    // The panes and the buttons keep the colours of the layout.
    QCOMPARE(form.RichTextBox1->paper(), paperBefore);
    QCOMPARE(form.RichTextBox2->paper(), paperBefore);
    for (const QPushButton *b : form.findChildren<QPushButton *>())
        QCOMPARE(b->palette().color(QPalette::Button), QColor(Qt::white));

    QCOMPARE(form.styleSheet(), skinned ? QString::fromUtf8(kSheet) : QString());
}

void ThemeTest::skinKeepsTheOtherOptionFlags()
{
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("x")));
    QFile file(folder.filePath(QStringLiteral("x/o.cjs")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(kSheet);
    file.close();
    FakePlatform fake;
    fake.programDirectory = folder.path();
    Form1 form(fake.platform());
    form.SkinFramework1->setOptions(0x8000000a);

    form.Form_Load();

    QCOMPARE(form.SkinFramework1->options(), quint32(0x8000000b));
}

QTEST_MAIN(ThemeTest)
#include "tst_theme.moc"
