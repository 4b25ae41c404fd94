#include "app/filedrop.h"
#include "app/form1.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/testfiles.h"
#include "textpane/panecontrol.h"

#include <QPushButton>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

using Urls = QList<QUrl>;

class TestFileDrop : public QObject
{
    Q_OBJECT
private slots:
    void dropRulesPickPanesAndRefuseWhatIsNoFile_data();
    void dropRulesPickPanesAndRefuseWhatIsNoFile();
    void droppedFilesOpenLikeTheButtonsAndTextStaysAnEdit_data();
    void droppedFilesOpenLikeTheButtonsAndTextStaysAnEdit();
};

void TestFileDrop::dropRulesPickPanesAndRefuseWhatIsNoFile_data()
{
    QTest::addColumn<Urls>("urls");
    QTest::addColumn<DropTarget>("target");
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("right");
    QTest::addColumn<QString>("refusal"); // the start of the message

    const QUrl a = QUrl::fromLocalFile("/d/a"), b = QUrl::fromLocalFile("/d/b"), dir = QUrl::fromLocalFile("/d");
    QTest::newRow("text") << Urls{} << DropTarget::LeftPane << "" << "" << "";
    QTest::newRow("one on the right pane") << Urls{a} << DropTarget::RightPane << "" << "/d/a" << "";
    QTest::newRow("one on the left pane") << Urls{a} << DropTarget::LeftPane << "/d/a" << "" << "";
    QTest::newRow("one beside the panes") << Urls{a} << DropTarget::Window << "/d/a" << "" << "";
    QTest::newRow("two on the right pane") << Urls{b, a} << DropTarget::RightPane << "/d/b" << "/d/a" << "";
    QTest::newRow("three") << Urls{a, b, a} << DropTarget::Window << "" << "" << "3 files were dropped";
    QTest::newRow("folder after a file") << Urls{a, dir} << DropTarget::Window << "" << "" << "A folder cannot";
    QTest::newRow("web address") << Urls{QUrl("https://x.org/a.txt")} << DropTarget::LeftPane << "" << ""
                                 << "Only files on this computer";
}

void TestFileDrop::dropRulesPickPanesAndRefuseWhatIsNoFile()
{
    QFETCH(Urls, urls);
    QFETCH(DropTarget, target);
    QFETCH(QString, left);
    QFETCH(QString, right);
    QFETCH(QString, refusal);

    const DropPlan plan = planDrop(urls, target, [](const QString &path) { return path == "/d"; });

    QCOMPARE(plan.left, left);
    QCOMPARE(plan.right, right);
    QVERIFY2(refusal.isEmpty() ? plan.refusal.isEmpty() : plan.refusal.startsWith(refusal), qPrintable(plan.refusal));
}

void TestFileDrop::droppedFilesOpenLikeTheButtonsAndTextStaysAnEdit_data()
{
    QTest::addColumn<QString>("onto"); // a pane's object name, or the window
    QTest::addColumn<QStringList>("files"); // in the scratch folder; empty: a drop of text
    QTest::addColumn<QByteArray>("left");
    QTest::addColumn<QByteArray>("right");
    QTest::addColumn<QString>("box");

    QTest::newRow("file on the right pane") << "RichTextBox2" << QStringList{"a.txt"} << QByteArray("one")
                                            << QByteArray("A\r") << "";
    QTest::newRow("two files on the window") << "Form1" << QStringList{"b.txt", "a.txt"} << QByteArray("B\r")
                                             << QByteArray("A\r") << "";
    QTest::newRow("missing file") << "RichTextBox1" << QStringList{"none.txt"} << QByteArray("\r")
                                  << QByteArray("two") << "File not found";
    QTest::newRow("folder") << "RichTextBox1" << QStringList{"sub"} << QByteArray("one") << QByteArray("two")
                            << "A folder cannot";
    QTest::newRow("text") << "RichTextBox1" << QStringList{} << QByteArray("dropone") << QByteArray("two") << "";
}

void TestFileDrop::droppedFilesOpenLikeTheButtonsAndTextStaysAnEdit()
{
    QFETCH(QString, onto);
    QFETCH(QStringList, files);
    QFETCH(QByteArray, left);
    QFETCH(QByteArray, right);
    QFETCH(QString, box);
    QTemporaryDir dir;
    writeFile(dir.filePath("a.txt"), "A");
    writeFile(dir.filePath("b.txt"), "B");
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    FakePlatform fake;
    Form1 form(fake.platform());
    form.RichTextBox1->setBytes("one");
    form.RichTextBox2->setBytes("two");
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QMimeData data;
    Urls urls;
    for (const QString &name : files)
        urls << QUrl::fromLocalFile(dir.filePath(name));
    files.isEmpty() ? data.setText("drop") : data.setUrls(urls);
    auto *pane = form.findChild<PaneControl *>(onto);
    QWidget *target = pane ? pane->viewport() : &form;
    const QPointF at = pane ? QPointF(2, 2) : QPointF(form.PushButton1->geometry().center());
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QVERIFY(drop.isAccepted());
    QCoreApplication::processEvents();

    QCOMPARE(form.RichTextBox1->bytes(), left);
    QCOMPARE(form.RichTextBox2->bytes(), right);
    QCOMPARE(fake.messages.shown.isEmpty() ? QString() : fake.messages.shown.first().text.left(box.size()), box);
    QVERIFY(fake.dialogs.asked.isEmpty());
}

QTEST_MAIN(TestFileDrop)
#include "tst_filedrop.moc"
