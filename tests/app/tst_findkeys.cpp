// Find and go to line in the main window, from the keyboard: which pane is searched, where the
// selection and the focus go, what the bar says, and which pane leads afterwards.

#include "app/form1.h"
#include "find/findbar.h"
#include "sync/scrollsynchroniser.h"
#include "tests/app/shownmainwindow.h"
#include "tests/support/fakeplatform.h"
#include "textpane/panecontrol.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

#include <memory>


class FindKeysTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fakes = std::make_unique<FakePlatform>();
        m_form = showMainWindow(*m_fakes);
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        QVERIFY(m_bar = m_form->findChild<FindBar *>());
    }
    void cleanup() { m_form.reset(); }

    void keysFindInThePaneLastFocused_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("pane"); // the one searched, which leads then; the other's selection stays at the start
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus"); // a pane's name, or the bar's input
        // Both panes hold "Two two\ntwofold TWO end".
        QTest::newRow("enter finds, any case") << "^F two Enter" << 1 << 0 << 3 << "" << "input";
        QTest::newRow("F3 goes on past the selection") << "^F two Enter F3" << 1 << 4 << 7 << "" << "input";
        QTest::newRow("wrap to the top is told") << "^F two Enter F3 F3 F3 F3" << 1 << 0 << 3 << "Wrapped to the top" << "input";
        QTest::newRow("backward wraps to the bottom") << "^F two Enter +F3" << 1 << 16 << 19 << "Wrapped to the bottom" << "input";
        // The only match holds the point the search starts from: the second pass still reaches it.
        QTest::newRow("wrap finds the match the selection ends in") << "^F en Enter ^F end Enter" << 1 << 20 << 23 << "Wrapped to the top" << "input";
        QTest::newRow("backward wrap finds the match the selection starts in") << "^F wo Enter ^F Two case +Enter" << 1 << 0 << 3 << "Wrapped to the bottom" << "input";
        QTest::newRow("shift+enter goes back") << "^F two Enter F3 +Enter" << 1 << 0 << 3 << "" << "input";
        QTest::newRow("match case is heeded") << "^F TWO case Enter" << 1 << 16 << 19 << "" << "input";
        QTest::newRow("not found moves nothing") << "^F two Enter ^F zzz Enter" << 1 << 0 << 3 << "Not found" << "input";
        QTest::newRow("escape gives the pane the focus") << "^F two Enter Esc" << 1 << 0 << 3 << "" << "RichTextBox1";
        QTest::newRow("F3 from the pane keeps it focused") << "^F two Enter Esc F3" << 1 << 4 << 7 << "" << "RichTextBox1";
        QTest::newRow("the focused pane is searched") << "R ^F TWO Enter" << 2 << 0 << 3 << "" << "input";
        QTest::newRow("found pane takes the lead back") << "^F two hoverR Enter" << 1 << 0 << 3 << "" << "input";
        QTest::newRow("go to line") << "^G 2 Enter" << 1 << 8 << 8 << "" << "RichTextBox1";
        QTest::newRow("line past the end is the last") << "R ^G 99 Enter" << 2 << 8 << 8 << "" << "RichTextBox2";
        QTest::newRow("line 0 is refused") << "^G 2 Enter ^G 0 Enter" << 1 << 8 << 8 << "Not a line number" << "input";
    }
    void keysFindInThePaneLastFocused()
    {
        QFETCH(QString, script);
        QFETCH(int, pane);
        for (PaneControl *each : {m_form->RichTextBox1, m_form->RichTextBox2})
            each->setBytes("Two two\ntwofold TWO end");
        const QSize size = m_form->size();
        run(script);
        PaneControl *searched = pane == 1 ? m_form->RichTextBox1 : m_form->RichTextBox2;
        PaneControl *other = pane == 1 ? m_form->RichTextBox2 : m_form->RichTextBox1;
        QTEST(int(searched->editor().selection().start), "start");
        QTEST(int(searched->editor().selection().end), "end");
        QCOMPARE(other->editor().selection().end, 0);
        QTEST(m_bar->message(), "message");
        QWidget *focused = QApplication::focusWidget();
        QTEST(qobject_cast<QLineEdit *>(focused) ? QStringLiteral("input") : focused->objectName(), "focus");
        QCOMPARE(int(m_form->synchroniser().ActivePane()), pane);
        // The bar lies over the pane it works on; the window's layout stays as it was.
        if (m_bar->isVisible())
            QVERIFY(QRect(searched->mapTo(m_form.get(), QPoint()), searched->size()).contains(m_bar->geometry()));
        QCOMPARE(m_form->size(), size);
    }

    void matchFarDownIsShownClearOfTheBarAndFollowed()
    {
        QByteArray text;
        for (int line = 0; line < 400; ++line)
            text += line == 300 ? "the needle\n" : "hay\n";
        PaneControl *left = m_form->RichTextBox1;
        left->setBytes(text);
        m_form->RichTextBox2->setBytes(text);
        run("^F needle Enter");
        const qint64 first = left->firstVisibleLine();
        const int barTop = left->viewport()->mapFrom(m_form.get(), m_bar->pos()).y();
        QVERIFY2(first <= 300 && (300 - first + 1) * left->lineHeight() <= barTop,
                 qPrintable(QStringLiteral("line 300 not clear of the bar: first visible line %1").arg(first)));
        m_form->synchroniser().tick();
        QCOMPARE(m_form->RichTextBox2->scrollPosition(), left->scrollPosition());
    }

private:
    // Words separated by spaces: ^F, ^G, F3, +F3, Enter, +Enter, Esc; "case" ticks "Match case"; "R"
    // focuses the right pane; "hoverR" moves the pointer over it; anything else is typed.
    void run(const QString &script)
    {
        for (const QString &word : script.split(' ')) {
            QWidget *focused = QApplication::focusWidget();
            const Qt::KeyboardModifier shift = word.startsWith('+') ? Qt::ShiftModifier : Qt::NoModifier;
            if (word == "^F" || word == "^G")
                QTest::keyClick(focused, word == "^F" ? Qt::Key_F : Qt::Key_G, Qt::ControlModifier);
            else if (word.endsWith("F3") || word.endsWith("Enter") || word == "Esc")
                QTest::keyClick(focused, word.endsWith("F3") ? Qt::Key_F3 : word == "Esc" ? Qt::Key_Escape : Qt::Key_Return, shift);
            else if (word == "case")
                m_bar->findChild<QCheckBox *>()->click();
            else if (word == "R")
                m_form->RichTextBox2->setFocus();
            else if (word == "hoverR")
                QTest::mouseMove(m_form->RichTextBox2->viewport(), {20, 20});
            else
                QTest::keyClicks(focused, word);
        }
    }

    std::unique_ptr<FakePlatform> m_fakes;
    std::unique_ptr<Form1> m_form;
    FindBar *m_bar = nullptr;
};

QTEST_MAIN(FindKeysTest)
#include "tst_findkeys.moc"
