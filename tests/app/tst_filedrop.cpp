#include "app/filedrop.h"
#include "platform/filename.h"

#include <QSysInfo>

#include <QTest>

using Urls = QList<QUrl>;

class TestFileDrop : public QObject
{
    Q_OBJECT
private slots:
    void dropRulesPickPanesAndRefuseWhatIsNoFile_data()
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
        QTest::newRow("this computer named localhost") << Urls{QUrl("file://localhost/d/a")} << DropTarget::LeftPane << "/d/a" << "" << "";
        QTest::newRow("this computer by its name")
            << Urls{QUrl("file://" + QSysInfo::machineHostName() + "/d/a")} << DropTarget::LeftPane << "/d/a" << "" << "";
        QTest::newRow("another computer") << Urls{QUrl("file://elsewhere.example/d/a")} << DropTarget::LeftPane << "" << "" << "Only files on this computer";
        // The address's bytes stand for the name's own, which need not be UTF-8.
        QTest::newRow("a name that is not utf-8") << Urls{QUrl::fromEncoded("file:///d/caf%E9")} << DropTarget::RightPane
                                                  << "" << platform::decodeFileName("/d/caf\xe9") << "";
        QTest::newRow("web address") << Urls{QUrl("https://x.org/a.txt")} << DropTarget::LeftPane << "" << "" << "Only files on this computer";
    }
    void dropRulesPickPanesAndRefuseWhatIsNoFile()
    {
        QFETCH(Urls, urls);
        QFETCH(DropTarget, target);
        QFETCH(QString, refusal);
        const DropPlan plan = planDrop(urls, target, [](const QString &path) { return path == "/d"; });
        QTEST(plan.left, "left");
        QTEST(plan.right, "right");
        QVERIFY2(refusal.isEmpty() ? plan.refusal.isEmpty() : plan.refusal.startsWith(refusal), qPrintable(plan.refusal));
    }
};

QTEST_GUILESS_MAIN(TestFileDrop)
#include "tst_filedrop.moc"
