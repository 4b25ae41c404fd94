#include "app/form1.h"
#include "fullscreen/form2.h"
#include "panes/panefilestatus.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/testfiles.h"
#include "textpane/panecontrol.h"

#include <QGroupBox>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

class TestPaneFileStatus : public QObject
{
    Q_OBJECT
private slots:
    void paneSaysWhichFileAndWhetherItWasEdited_data()
    {
        QTest::addColumn<QString>("steps"); // on the right pane, split at '|'; a folder is dropped beside the panes
        QTest::addColumn<QString>("shown"); // "%1": the scratch folder
        const QString loaded = "%1/a.txt \u2014 unchanged since it was loaded";
        const QString edited = "%1/a.txt \u2014 edited since it was loaded";
        QTest::newRow("open") << "open a.txt" << loaded;
        QTest::newRow("open, type, undo") << "open a.txt|type|undo" << loaded;
        QTest::newRow("type, save, type") << "open a.txt|type|save b.txt|type" << "%1/b.txt \u2014 edited since it was saved";
        QTest::newRow("save declined") << "open a.txt|type|save a.txt" << edited;
        QTest::newRow("open, clear") << "open a.txt|clear" << "No file";
        // A file that is missing leaves the pane, and what it shows, as it was.
        QTest::newRow("then a missing one") << "open a.txt|open none.txt" << loaded;
        // A stopped load empties the pane: it shows no file, not the one it held before.
        QTest::newRow("then a stopped one") << "open a.txt|stopped open a.txt" << "No file";
        QTest::newRow("type into nothing") << "type" << "No file \u2014 edited";
        QTest::newRow("samples") << "type|samples" << "%1/Samples/sample2.txt \u2014 unchanged since it was loaded";
        QTest::newRow("drop a file") << "type|drop a.txt" << loaded;
        QTest::newRow("drop text") << "open a.txt|drop text" << edited;
        QTest::newRow("drop a folder") << "open a.txt|drop Samples" << loaded;
        QTest::newRow("full screen") << "open a.txt|full screen" << loaded;
        QTest::newRow("typed before full screen") << "open a.txt|type|full screen|full screen" << edited;
        QTest::newRow("typed in full screen") << "open a.txt|full screen type" << edited;
        // What full screen carried back is settled like any other edit.
        QTest::newRow("typed in full screen, then open") << "open a.txt|full screen type|open a.txt" << loaded;
        QTest::newRow("typed in full screen, then save") << "open a.txt|full screen type|save b.txt"
                                                         << "%1/b.txt \u2014 unchanged since it was saved";
        QTest::newRow("typed in full screen, then clear") << "open a.txt|full screen type|clear" << "No file";
        // Someone else's change to the file: a pane without edits follows it, one with edits says so.
        QTest::newRow("written on disk") << "open a.txt|write a.txt" << loaded;
        QTest::newRow("typed, written on disk") << "open a.txt|type|write a.txt" << edited + "; changed on disk";
        QTest::newRow("typed, deleted on disk") << "open a.txt|type|delete a.txt" << edited + "; changed on disk: deleted";
        QTest::newRow("typed, written on disk, saved") << "open a.txt|type|write a.txt|save b.txt"
                                                       << "%1/b.txt \u2014 unchanged since it was saved";
    }
    void paneSaysWhichFileAndWhetherItWasEdited()
    {
        QFETCH(QString, steps);
        QFETCH(QString, shown);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("Samples"));
        for (const char *name : {"a.txt", "Samples/sample1.txt", "Samples/sample2.txt"})
            writeFile(dir.filePath(name), "A\n");
        FakePlatform fake;
        fake.programDirectory = dir.path();
        fake.messages.answers = {platform::MessageAnswer::No, platform::MessageAnswer::No};
        Form1 form(fake.platform());
        PaneControl *pane = form.RichTextBox2;

        for (const QString &step : steps.split('|')) {
            const QString name = dir.filePath(step.section(' ', 1, 1));
            fake.progress.stopAfter = step.startsWith("stopped") ? 0 : -1;
            if (step.startsWith("open") || step.startsWith("stopped"))
                form.PushButton4_Click({dir.filePath(step.section(QLatin1Char(' '), -1))});
            if (step.startsWith("save")) {
                fake.dialogs.saveAnswers.push_back(name);
                form.PushButton5_Click();
            }
            if (step == "type")
                QTest::keyClicks(pane, "x");
            if (step.startsWith("write") || step.startsWith("delete")) {
                QFile file(name);
                QVERIFY(step.startsWith("write") ? file.open(QIODevice::Append) && file.write("B\n") == 2 : file.remove());
                file.close();
                QTRY_VERIFY(pane->bytes().contains("B") || PaneFileStatus::of(*pane)->onDisk() != PaneFileStatus::OnDisk::Same);
            }
            if (step == "undo")
                pane->editor().undo();
            if (step == "clear")
                form.PushButton6_Click();
            if (step == "samples")
                form.PushButton9_Click();
            if (step.startsWith("drop")) {
                QMimeData data;
                step.endsWith("text") ? data.setText("t") : data.setUrls({QUrl::fromLocalFile(name)});
                QWidget *target = step.endsWith("Samples") ? static_cast<QWidget *>(&form) : pane->viewport();
                QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
                QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
                QApplication::sendEvent(target, &enter);
                QApplication::sendEvent(target, &drop);
                QCoreApplication::processEvents();
            }
            if (step.startsWith("full screen")) {
                form.PushButton1_Click();
                if (step.endsWith("type"))
                    QTest::keyClicks(form.fullScreenWindow()->RichTextBox2, "y");
                form.fullScreenWindow()->close();
            }
        }
        const QString expected = shown.contains("%1") ? shown.arg(dir.path()) : shown;
        for (QWidget *widget : {static_cast<QWidget *>(form.Frame3), static_cast<QWidget *>(pane), pane->viewport()}) {
            QCOMPARE(widget->toolTip(), expected);
            QCOMPARE(widget->accessibleDescription(), expected);
        }
        if (steps.contains("drop Samples"))
            QVERIFY(fake.messages.shown.value(0).text.startsWith("A folder cannot"));
        // The left pane keeps its own.
        QCOMPARE(form.Frame1->toolTip().section(' ', 0, 0), steps.contains("samples") ? dir.filePath("Samples/sample1.txt") : "No");
    }

    void fullScreenShowsTheFileReadAgain()
    {
        // The full-screen view shows the main window's document; a reload gives the pane a new
        // one, which the view must show, and which must stay once the view is left.
        QTemporaryDir dir;
        const QString path = dir.filePath("a.txt");
        writeFile(path, "A\n");
        FakePlatform fake;
        fake.programDirectory = dir.path();
        Form1 form(fake.platform());
        form.PushButton4_Click({path});
        form.PushButton1_Click();
        writeFile(path, "C\n");
        QTRY_COMPARE(form.fullScreenWindow()->RichTextBox2->bytes(), QByteArray("C\n\r"));
        form.fullScreenWindow()->close();
        QCOMPARE(form.RichTextBox2->bytes(), QByteArray("C\n\r"));
        QCOMPARE(form.Frame3->toolTip(), path + " \u2014 unchanged since it was loaded");
    }
};

QTEST_MAIN(TestPaneFileStatus)
#include "tst_panefilestatus.moc"
