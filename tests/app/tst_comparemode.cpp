// Compare mode in the main window, as the keyboard, the context menu and the scroll
// synchroniser reach it: what is marked, where each move goes, what the window says, which line
// the follower shows, and that with the mode off all is as it was.

#include "app/form1.h"
#include "compare/compareactions.h"
#include "compare/comparebar.h"
#include "compare/comparesession.h"
#include "compare/comparestate.h"
#include "fullscreen/form2.h"
#include "panepair/panepair.h"
#include "sync/scrollsynchroniser.h"
#include "tests/app/shownmainwindow.h"
#include "tests/support/fakeplatform.h"
#include "textpane/panecontrol.h"

#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// 400 lines "line N"; the right has line 10 changed, 20-22 removed and 50 lines put in before
// line 200, so its lines from there on stand 47 lines lower.
QByteArray leftText()
{
    QByteArray text;
    for (int i = 0; i < 400; ++i)
        text += "line " + QByteArray::number(i) + '\n';
    return text;
}

QByteArray rightText()
{
    QByteArray text;
    for (int i = 0; i < 400; ++i) {
        if (i >= 20 && i <= 22)
            continue;
        if (i == 200)
            for (int n = 0; n < 50; ++n)
                text += "new " + QByteArray::number(n) + '\n';
        text += (i == 10 ? "LINE " : "line ") + QByteArray::number(i) + '\n';
    }
    return text;
}

qint64 caretLine(const PaneControl *pane)
{
    return pane->document().lineOf(pane->editor().caret());
}

} // namespace

class CompareModeTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fakes = std::make_unique<FakePlatform>();
        m_form = showMainWindow(*m_fakes);
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        m_form->RichTextBox1->setBytes(leftText());
        m_form->RichTextBox2->setBytes(rightText());
        m_form->RichTextBox1->setFocus();
    }
    void cleanup() { m_form.reset(); }

    // Turns the mode on from the keyboard and waits for the marks.
    bool compareOn()
    {
        QSignalSpy compared(&session(), &CompareSession::compared);
        QTest::keyClick(m_form->RichTextBox1, Qt::Key_D, Qt::ControlModifier);
        return m_form->compareState().isOn() && compared.wait(5000);
    }
    CompareSession &session() { return m_form->panePair().compareSession(); }
    QString said() { return m_form->panePair().compareBar().text(); }

    void movesVisitEachDifferenceInOrderOnBothSides_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("difference"); // 1-based, as the window says it
        QTest::addColumn<qint64>("leftLine");
        QTest::addColumn<qint64>("rightLine");

        const int f7 = Qt::Key_F7, back = (Qt::SHIFT | Qt::Key_F7).toCombined();
        const int down = (Qt::ALT | Qt::Key_Down).toCombined(), up = (Qt::ALT | Qt::Key_Up).toCombined();
        QTest::newRow("first") << QList<int>{f7} << 1 << 10LL << 10LL;
        QTest::newRow("removed lines, a gap on the right") << QList<int>{f7, f7} << 2 << 20LL << 20LL;
        QTest::newRow("lines put in, a gap on the left") << QList<int>{f7, f7, down} << 3 << 200LL << 197LL;
        QTest::newRow("no further than the last") << QList<int>{f7, f7, f7, f7} << 3 << 200LL << 197LL;
        QTest::newRow("back") << QList<int>{f7, f7, f7, back} << 2 << 20LL << 20LL;
        QTest::newRow("alt+up") << QList<int>{f7, f7, up} << 1 << 10LL << 10LL;
        // A click puts the caret on a difference's first line: that one is the next.
        QTest::newRow("from a difference's first line") << QList<int>{-20, f7} << 2 << 20LL << 20LL;
    }
    void movesVisitEachDifferenceInOrderOnBothSides()
    {
        QFETCH(QList<int>, keys);
        QFETCH(int, difference);
        QFETCH(qint64, leftLine);
        QFETCH(qint64, rightLine);
        QVERIFY(compareOn());
        QCOMPARE(said(), QStringLiteral("3 differences"));
        for (int key : keys) {
            if (key < 0) {
                const qint64 at = m_form->RichTextBox1->document().lineStart(-key);
                m_form->RichTextBox1->select(at, at);
                m_form->RichTextBox1->ensureCaretVisible();
                continue;
            }
            QTest::keyClick(m_form->RichTextBox1, Qt::Key(key & ~Qt::KeyboardModifierMask),
                            Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
        }
        QCOMPARE(said(), QStringLiteral("Difference %1 of 3").arg(difference));
        QCOMPARE(caretLine(m_form->RichTextBox1), leftLine);
        QCOMPARE(caretLine(m_form->RichTextBox2), rightLine);
        // Both show it, a few lines below their tops.
        QCOMPARE(m_form->RichTextBox1->firstVisibleLine(), std::max<qint64>(0, leftLine - CompareSession::kContextLines));
        QCOMPARE(m_form->RichTextBox2->firstVisibleLine(), std::max<qint64>(0, rightLine - CompareSession::kContextLines));
    }

    void marksAndTheOverviewGoToADifference()
    {
        QVERIFY(compareOn());
        const auto left = m_form->RichTextBox1->lineMarks();
        const auto right = m_form->RichTextBox2->lineMarks();
        QVERIFY(left && right);
        QCOMPARE(left->marks.size(), size_t(3));
        QCOMPARE(left->marks[1].kind, LineMark::Kind::Removed);
        QCOMPARE(right->marks[1].kind, LineMark::Kind::Gap);
        QCOMPARE(right->marks[2].kind, LineMark::Kind::Added);
        // The changed characters of line 10: "line" against "LINE".
        QCOMPARE(left->changedBytes(10), (std::vector<std::pair<qint64, qint64>>{{0, 4}}));
        emit m_form->RichTextBox2->overviewClicked(2);
        QCOMPARE(said(), QStringLiteral("Difference 3 of 3"));
        QCOMPARE(caretLine(m_form->RichTextBox1), 200LL);
    }

    void followerShowsTheCorrespondingLineOnlyInCompareMode_data()
    {
        QTest::addColumn<bool>("compare");
        QTest::addColumn<qint64>("leaderTop");
        QTest::addColumn<qint64>("followerTop");
        QTest::newRow("off: the same position") << false << 300LL << 300LL;
        QTest::newRow("on: before any change") << true << 5LL << 5LL;
        QTest::newRow("on: past removed lines") << true << 100LL << 97LL;
        QTest::newRow("on: past lines put in") << true << 300LL << 347LL;
        QTest::newRow("on: the other side holds at a block it lacks") << true << 199LL << 196LL;
    }
    void followerShowsTheCorrespondingLineOnlyInCompareMode()
    {
        QFETCH(bool, compare);
        QFETCH(qint64, leaderTop);
        QFETCH(qint64, followerTop);
        if (compare)
            QVERIFY(compareOn());
        PaneControl *leader = m_form->RichTextBox1;
        emit leader->focusReceived();
        leader->setFirstVisibleLine(leaderTop);
        leader->setScrollPosition({7, leader->scrollPosition().y()});
        m_form->synchroniser().tick();
        QCOMPARE(m_form->RichTextBox2->firstVisibleLine(), followerTop);
        QCOMPARE(m_form->RichTextBox2->scrollPosition().x(), 7);
    }

    void turnedOffEverythingIsAsBefore()
    {
        QVERIFY(compareOn());
        QTest::keyClick(m_form->RichTextBox1, Qt::Key_D, Qt::ControlModifier);
        QVERIFY(!m_form->compareState().isOn());
        QVERIFY(!m_form->RichTextBox1->lineMarks());
        QVERIFY(!m_form->RichTextBox2->lineMarks());
        QVERIFY(m_form->panePair().compareBar().isHidden());
        const qint64 caret = m_form->RichTextBox1->editor().caret();
        QTest::keyClick(m_form->RichTextBox1, Qt::Key_F7);
        QCOMPARE(m_form->RichTextBox1->editor().caret(), caret);
        QCOMPARE(m_form->RichTextBox1->bytes(), leftText());
    }

    void typingComparesAgainAfterAPause()
    {
        QVERIFY(compareOn());
        QSignalSpy compared(&session(), &CompareSession::compared);
        PaneControl *pane = m_form->RichTextBox1;
        const qint64 at = pane->document().lineStart(10);
        pane->select(at, at + 4);
        QTest::keyClicks(pane, "LINE");
        QVERIFY(compared.isEmpty()); // not while the keys come
        QVERIFY(compared.wait(CompareSession::kTypingPause.count() + 3000));
        QCOMPARE(said(), QStringLiteral("2 differences"));
    }

    void identicalTextsAreSaidToBe()
    {
        m_form->RichTextBox2->setBytes(leftText());
        QVERIFY(compareOn());
        QCOMPARE(said(), QStringLiteral("The texts are identical"));
        QVERIFY(m_form->RichTextBox1->lineMarks()->marks.empty());
    }

    void cancelledComparisonShowsNoMarks()
    {
        m_form->compareState().setOn(true);
        QVERIFY(session().isRunning());
        session().cancel();
        QCOMPARE(said(), QStringLiteral("Comparison stopped"));
        QTest::qWait(100); // the worker ends on its own and tells no one
        QVERIFY(!m_form->RichTextBox1->lineMarks());
        QVERIFY(!session().comparison());
    }

    void menuItemsSetTheModeAndWhatIsIgnored()
    {
        QVERIFY(compareOn());
        QMenu menu;
        emit m_form->RichTextBox2->contextMenuAboutToShow(&menu);
        auto item = [&menu](const QString &text) -> QAction * {
            for (QAction *action : menu.actions()) {
                if (action->text() == text)
                    return action;
                if (action->menu())
                    for (QAction *inner : action->menu()->actions())
                        if (inner->text().startsWith(text))
                            return inner;
            }
            return nullptr;
        };
        QVERIFY(item(QStringLiteral("Compare")) && item(QStringLiteral("Compare"))->isChecked());
        QSignalSpy compared(&session(), &CompareSession::compared);
        item(QStringLiteral("Case"))->trigger();
        QVERIFY(m_form->compareState().options().ignoreCase);
        QVERIFY(compared.wait(5000));
        QCOMPARE(said(), QStringLiteral("2 differences"));
        m_form->panePair().compareActions().setPatternQuestion([](QWidget *, const QString &) {
            return std::optional<QString>(QStringLiteral("^(line|new) \\d+$"));
        });
        item(QStringLiteral("Text Matching"))->trigger();
        QVERIFY(compared.wait(5000));
        // Every line matches whole, so all are equal but for the 47 lines more on the right.
        QCOMPARE(said(), QStringLiteral("1 difference"));
        QCOMPARE(m_form->compareState().options().ignorePattern, QStringLiteral("^(line|new) \\d+$"));
        QVERIFY(m_form->RichTextBox1->bytes() == leftText()); // the texts themselves untouched
    }

    void fullScreenComparesAndMovesToo()
    {
        QVERIFY(compareOn());
        m_form->PushButton1->click();
        Form2 *full = m_form->fullScreenWindow();
        QVERIFY(full && full->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(full));
        auto *bar = full->findChild<CompareBar *>();
        QVERIFY(bar);
        QTRY_COMPARE(bar->text(), QStringLiteral("3 differences"));
        QVERIFY(bar->isVisible());
        // Readable on the black window: the bar has the program's colours, not the window's.
        QCOMPARE(bar->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Window));
        QCOMPARE(bar->palette().color(QPalette::WindowText), QApplication::palette().color(QPalette::WindowText));
        QTest::keyClick(full->RichTextBox1, Qt::Key_F7);
        QCOMPARE(bar->text(), QStringLiteral("Difference 1 of 3"));
        QCOMPARE(caretLine(full->RichTextBox2), 10LL);
        // Ctrl+D there turns the mode off for both windows.
        QTest::keyClick(full->RichTextBox1, Qt::Key_D, Qt::ControlModifier);
        QVERIFY(!m_form->compareState().isOn());
        QVERIFY(!full->RichTextBox1->lineMarks());
    }

private:
    std::unique_ptr<FakePlatform> m_fakes;
    std::unique_ptr<Form1> m_form;
};

QTEST_MAIN(CompareModeTest)
#include "tst_comparemode.moc"
