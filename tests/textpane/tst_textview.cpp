#include "textpane/linelayouts.h"
#include "textpane/overviewstrip.h"
#include "textpane/textview.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <cmath>
#include <memory>

namespace {

std::shared_ptr<TextDocument> documentOf(const QByteArray &bytes)
{
    auto document = std::make_shared<TextDocument>();
    document->insert(0, bytes);
    document->clearHistory();
    return document;
}

QFont paneFont()
{
    QFont font(QStringLiteral("Arial"), 9);
    font.setBold(true);
    return font;
}

// A shown, focused view of `bytes`.
std::unique_ptr<TextView> shownView(const QByteArray &bytes, QSize size = QSize(400, 200))
{
    auto view = std::make_unique<TextView>();
    view->setFont(paneFont());
    view->setDocument(documentOf(bytes));
    view->resize(size);
    view->show();
    view->activateWindow();
    view->setFocus();
    if (!QTest::qWaitForWindowActive(view.get()))
        qWarning("the view's window did not become active");
    return view;
}

QByteArray lines(int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += "line " + QByteArray::number(i) + '\n';
    return text;
}

// The middle of where a position is drawn, for a click on it.
QPoint pointOf(const TextView &view, qint64 position)
{
    return view.positionRect(position).center();
}

// Shows `marks` in the view, changed bytes from `changed` where given.
void showMarks(TextView &view, std::vector<LineMark> marks,
               std::function<std::vector<std::pair<qint64, qint64>>(qint64)> changed = {})
{
    view.setLineMarks(std::make_shared<LineMarks>(LineMarks {std::move(marks), std::move(changed)}));
}

QColor markColour(const TextView &view, LineMark::Kind kind, bool strong = false)
{
    return lineMarkColour(kind, view.paper(), view.palette().color(QPalette::Text), strong);
}

QVariant imQuery(const QWidget &widget, Qt::InputMethodQuery query)
{
    return widget.inputMethodQuery(query);
}

// Counts the events of one type that reach a widget and accepts drags there, as the window's
// file drop handling does on the view.
class EventCounter : public QObject
{
public:
    explicit EventCounter(QEvent::Type type) : m_type(type) {}
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != m_type)
            return false;
        ++count;
        if (m_type == QEvent::DragEnter)
            static_cast<QDragEnterEvent *>(event)->acceptProposedAction();
        return m_type == QEvent::DragEnter;
    }

private:
    QEvent::Type m_type;
};

} // namespace

class TestTextView : public QObject
{
    Q_OBJECT
private slots:
    void keysEditAcrossLineEnds_data();
    void keysEditAcrossLineEnds();
    void upAndDownKeepTheColumn();
    void pageDownMovesAPageAndScrollsAsMuch();
    void controlShiftEndSelectsToTheEnd();
    void tabMovesTheFocusRatherThanTyping();
    void copyAndPasteKeepNulsAndStrayBytes();
    void pressFocusesAndDragSelects();
    void doubleClickSelectsAWordAndTripleClickTheLine();
    void inputMethodCommitTypesAndPreeditDoesNot();
    void contextMenuEnablesOnlyWhatCanAct_data();
    void contextMenuEnablesOnlyWhatCanAct();
    void viewsOfOneDocumentFollowEachOthersEdits();
    void unchangedScrollPositionPaintsNothing();
    void offsetIntoALineNotYetPaintedHolds();
    void wheelScrollsByLinesAndSidewaysWithShift();
    void lastLineStopsAtTheBottomAndWidthTracksTheWidestLine();
    void estimatedWidthOfALongLineTurnsExactWithoutMovingTheView_data();
    void estimatedWidthOfALongLineTurnsExactWithoutMovingTheView();
    void fileDragsAreLeftToTheWindowAndTextDropsInsert();
    void controlAndStrayBytesDrawAsDistinctBoxes();
    void marksPaintTheirLinesAndNotTheirNeighbours_data();
    void marksPaintTheirLinesAndNotTheirNeighbours();
    void gapRuleLiesOnTheEdgeOfItsLine_data();
    void gapRuleLiesOnTheEdgeOfItsLine();
    void changedBytesAreShadedBehindExactlyThoseCharacters_data();
    void changedBytesAreShadedBehindExactlyThoseCharacters();
    void overviewShowsOneLineOfManyAndAGapAtTheEnd();
    void overviewClickGivesTheNearestMark_data();
    void overviewClickGivesTheNearestMark();
    void withoutMarksTheViewIsAsBefore();
};

void TestTextView::keysEditAcrossLineEnds_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("caret");
    QTest::addColumn<QTestEventList>("keys");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<qint64>("expectedCaret");

    QTestEventList backspace;
    backspace.addKeyClick(Qt::Key_Backspace);
    QTestEventList deleteKey;
    deleteKey.addKeyClick(Qt::Key_Delete);
    QTestEventList typed;
    typed.addKeyClicks(QStringLiteral("x!"));
    QTestEventList enter;
    enter.addKeyClick(Qt::Key_Return);
    QTestEventList rightAndType;
    rightAndType.addKeyClick(Qt::Key_Right);
    rightAndType.addKeyClicks(QStringLiteral("y"));
    QTestEventList undone;
    undone.addKeyClicks(QStringLiteral("zz"));
    undone.addKeyClick(Qt::Key_Z, Qt::ControlModifier);

    QTest::newRow("backspace joins crlf") << QByteArray("ab\r\ncd") << qint64(4) << backspace << QByteArray("abcd") << qint64(2);
    QTest::newRow("backspace joins cr") << QByteArray("ab\rcd") << qint64(3) << backspace << QByteArray("abcd") << qint64(2);
    QTest::newRow("backspace joins lf") << QByteArray("ab\ncd") << qint64(3) << backspace << QByteArray("abcd") << qint64(2);
    QTest::newRow("delete joins crlf") << QByteArray("ab\r\ncd") << qint64(2) << deleteKey << QByteArray("abcd") << qint64(2);
    QTest::newRow("typed after crlf") << QByteArray("a\r\n") << qint64(3) << typed << QByteArray("a\r\nx!") << qint64(5);
    QTest::newRow("enter follows crlf") << QByteArray("a\r\nb") << qint64(4) << enter << QByteArray("a\r\nb\r\n") << qint64(6);
    QTest::newRow("enter follows cr") << QByteArray("a\rb") << qint64(3) << enter << QByteArray("a\rb\r") << qint64(4);
    QTest::newRow("right steps over crlf") << QByteArray("a\r\nb") << qint64(1) << rightAndType << QByteArray("a\r\nyb") << qint64(4);
    QTest::newRow("undo of typing") << QByteArray("ab") << qint64(1) << undone << QByteArray("ab") << qint64(1);
}

void TestTextView::keysEditAcrossLineEnds()
{
    QFETCH(QByteArray, text);
    QFETCH(qint64, caret);
    QFETCH(QTestEventList, keys);
    QFETCH(QByteArray, expected);
    QFETCH(qint64, expectedCaret);
    auto view = shownView(text);
    view->editor().setCaret(caret);
    keys.simulate(view.get());
    QCOMPARE(view->document().bytes(), expected);
    QCOMPARE(view->editor().caret(), expectedCaret);
}

void TestTextView::upAndDownKeepTheColumn()
{
    auto view = shownView("abcdefgh\nab\n\nabcdefgh\n");
    view->editor().setCaret(6);
    QTest::keyClick(view.get(), Qt::Key_Down);
    QCOMPARE(view->editor().caret(), 11); // the end of the short line
    QTest::keyClick(view.get(), Qt::Key_Down);
    QCOMPARE(view->editor().caret(), 12);
    QTest::keyClick(view.get(), Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(view->editor().caret(), 19); // the same column as where it started
    QCOMPARE(view->editor().anchor(), 12);
    QTest::keyClick(view.get(), Qt::Key_Right); // drops the selection at its end
    QTest::keyClick(view.get(), Qt::Key_Left);
    QCOMPARE(view->editor().caret(), 18);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(view.get(), Qt::Key_Up);
    QCOMPARE(view->editor().caret(), 5); // a sideways move sets a new column
}

void TestTextView::pageDownMovesAPageAndScrollsAsMuch()
{
    auto view = shownView(lines(200));
    const qint64 page = view->visibleLineCount();
    QVERIFY(page > 3);
    view->editor().setCaret(view->document().lineStart(2) + 3);
    QTest::keyClick(view.get(), Qt::Key_PageDown);
    QCOMPARE(view->document().lineOf(view->editor().caret()), 2 + page);
    QCOMPARE(view->firstVisibleLine(), page);
    QTest::keyClick(view.get(), Qt::Key_PageDown, Qt::ShiftModifier);
    QCOMPARE(view->document().lineOf(view->editor().caret()), 2 + 2 * page);
    QCOMPARE(view->document().lineOf(view->editor().anchor()), 2 + page);
    QTest::keyClick(view.get(), Qt::Key_PageUp);
    QCOMPARE(view->firstVisibleLine(), page);
    QCOMPARE(view->editor().caret(), view->document().lineStart(2 + page) + 3);
}

void TestTextView::controlShiftEndSelectsToTheEnd()
{
    auto view = shownView(lines(500));
    view->editor().setCaret(7);
    QSignalSpy moved(view.get(), &TextView::selectionChanged);
    QTest::keyClick(view.get(), Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(view->editor().selection(), (TextRange {7, view->document().size()}));
    QCOMPARE(moved.count(), 1);
    QVERIFY(view->firstVisibleLine() + view->visibleLineCount() >= view->document().lineCount());
}

void TestTextView::tabMovesTheFocusRatherThanTyping()
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *view = new TextView;
    view->setFocusPolicy(Qt::TabFocus);
    auto *button = new QPushButton(QStringLiteral("next"));
    layout->addWidget(view);
    layout->addWidget(button);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Tab);
    QVERIFY(view->document().isEmpty());
    QVERIFY(button->hasFocus());

    // The pane takes focus only by Tab; a press in the text must focus it all the same.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(view->hasFocus());
}

void TestTextView::copyAndPasteKeepNulsAndStrayBytes()
{
    const QByteArray bytes("a\0b\xE9\xFF\xC3\xA9\r\n\x1b", 10);
    auto from = shownView(bytes);
    QTest::keyClick(from.get(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(from.get(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QString::fromUtf8(bytes));

    auto to = shownView("[]");
    to->editor().setCaret(1);
    QTest::keyClick(to.get(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(to->document().bytes(), "[" + bytes + "]");
    QTest::keyClick(to.get(), Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(to->document().bytes(), "[" + bytes + bytes + "]");

    // Cut takes the bytes out and keeps them whole for the next paste.
    to->editor().setSelection(1, 1 + bytes.size());
    QTest::keyClick(to.get(), Qt::Key_Delete, Qt::ShiftModifier);
    QCOMPARE(to->document().bytes(), "[" + bytes + "]");
    QCOMPARE(QApplication::clipboard()->mimeData()->data(QStringLiteral("application/x-brassfinch-bytes")), bytes);
}

void TestTextView::pressFocusesAndDragSelects()
{
    auto view = shownView("first line\nsecond line\nthird line\n");
    QWidget *port = view->viewport();
    const qint64 start = 3;
    const qint64 end = view->document().lineStart(2) + 4;
    QTest::mousePress(port, Qt::LeftButton, {}, pointOf(*view, start));
    QCOMPARE(view->editor().caret(), start);
    QTest::mouseMove(port, pointOf(*view, end));
    QTest::mouseRelease(port, Qt::LeftButton, {}, pointOf(*view, end));
    QCOMPARE(view->editor().selection(), (TextRange {start, end}));

    QTest::mouseClick(port, Qt::LeftButton, Qt::ShiftModifier, pointOf(*view, 1));
    QCOMPARE(view->editor().selection(), (TextRange {1, start}));
}

void TestTextView::doubleClickSelectsAWordAndTripleClickTheLine()
{
    auto view = shownView("alpha beta gamma\r\nnext\r\n");
    const QPoint onBeta = pointOf(*view, 8);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, onBeta);
    QCOMPARE(view->editor().selection(), (TextRange {6, 10}));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, onBeta);
    QCOMPARE(view->editor().selection(), (TextRange {0, 18}));
}

void TestTextView::inputMethodCommitTypesAndPreeditDoesNot()
{
    auto view = shownView("ab");
    view->editor().setCaret(1);
    QVERIFY(view->testAttribute(Qt::WA_InputMethodEnabled));
    QCOMPARE(imQuery(*view, Qt::ImEnabled).toBool(), true);

    QInputMethodEvent preedit(QStringLiteral("\u304b"), {});
    QApplication::sendEvent(view.get(), &preedit);
    QCOMPARE(view->document().bytes(), "ab");

    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("\u6f22"));
    QApplication::sendEvent(view.get(), &commit);
    QCOMPARE(view->document().bytes(), "a\xE6\xBC\xA2" "b");
    QCOMPARE(imQuery(*view, Qt::ImSurroundingText).toString(), QStringLiteral("a\u6f22b"));
    QCOMPARE(imQuery(*view, Qt::ImCursorPosition).toInt(), 2);
    QCOMPARE(imQuery(*view, Qt::ImCursorRectangle).toRect().height(), view->lineHeight());
}

void TestTextView::contextMenuEnablesOnlyWhatCanAct_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("edited");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("clipboard");
    QTest::addColumn<QString>("enabled"); // the enabled actions, in order

    QTest::newRow("empty") << QByteArray() << false << false << false << QString();
    QTest::newRow("text") << QByteArray("abc") << false << false << false << QStringLiteral("Select All");
    QTest::newRow("selection") << QByteArray("abc") << false << true << false
                               << QStringLiteral("Cut,Copy,Delete,Select All");
    QTest::newRow("edited, clipboard") << QByteArray("abc") << true << false << true
                                       << QStringLiteral("Undo,Paste,Select All");
}

void TestTextView::contextMenuEnablesOnlyWhatCanAct()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, edited);
    QFETCH(bool, selected);
    QFETCH(bool, clipboard);
    QFETCH(QString, enabled);
    auto view = shownView(text);
    if (edited)
        QTest::keyClicks(view.get(), QStringLiteral("x"));
    if (selected)
        view->editor().setSelection(0, 2);
    if (clipboard)
        QApplication::clipboard()->setText(QStringLiteral("pasted"));
    else
        QApplication::clipboard()->clear();

    QStringList all;
    QStringList active;
    QTimer::singleShot(0, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (menu == nullptr)
            return;
        for (QAction *action : menu->actions()) {
            all << (action->isSeparator() ? QStringLiteral("-") : action->text());
            if (action->isEnabled() && !action->isSeparator())
                active << action->text();
        }
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), view->viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(view->viewport(), &event);
    QCOMPARE(all.join(QLatin1Char(',')), QStringLiteral("Undo,Redo,-,Cut,Copy,Paste,Delete,-,Select All"));
    QCOMPARE(active.join(QLatin1Char(',')), enabled);
}

void TestTextView::viewsOfOneDocumentFollowEachOthersEdits()
{
    auto one = shownView("first\nsecond\n");
    auto other = shownView("");
    other->setDocument(one->sharedDocument());
    other->editor().setCaret(8);
    const int secondLineEnd = other->positionRect(12).x();
    QSignalSpy moved(other.get(), &TextView::selectionChanged);

    one->editor().setCaret(0);
    QTest::keyClicks(one.get(), QStringLiteral("new"));
    QTest::keyClick(one.get(), Qt::Key_Return);
    QCOMPARE(other->editor().caret(), 12);
    QCOMPARE(moved.count(), 4);
    one->editor().setCaret(12);
    QTest::keyClicks(one.get(), QStringLiteral("WWW"));
    QVERIFY(other->positionRect(19).x() > secondLineEnd);
    QCOMPARE(other->positionAt(other->positionRect(19).topLeft()), 19);

    // Once shown elsewhere, the old document no longer moves this view.
    other->setDocument(documentOf("x"));
    QTest::keyClicks(one.get(), QStringLiteral("more"));
    QCOMPARE(other->editor().caret(), 0);
    QCOMPARE(other->document().bytes(), "x");
}

void TestTextView::unchangedScrollPositionPaintsNothing()
{
    QByteArray text = lines(300);
    text += QByteArray(3000, 'w') + '\n';
    auto view = shownView(text);
    view->clearFocus(); // no caret blinking
    view->setFirstVisibleLine(300);
    QTest::qWait(20);
    view->setScrollPosition(QPoint(50, 7 * view->lineHeight() + 3));
    QCOMPARE(view->scrollPosition(), QPoint(50, 7 * view->lineHeight()));
    QCOMPARE(view->firstVisibleLine(), 7);
    QTest::qWait(20);

    EventCounter counter(QEvent::Paint);
    view->viewport()->installEventFilter(&counter);
    QSignalSpy scrolled(view->verticalScrollBar(), &QScrollBar::valueChanged);
    view->setScrollPosition(view->scrollPosition());
    view->setScrollPosition(QPoint(50, 7 * view->lineHeight() + 1));
    QTest::qWait(20);
    QCOMPARE(counter.count, 0);
    QCOMPARE(scrolled.count(), 0);

    view->setScrollPosition(QPoint(50, 8 * view->lineHeight()));
    QTest::qWait(20);
    QVERIFY(counter.count > 0);
}

void TestTextView::offsetIntoALineNotYetPaintedHolds()
{
    QByteArray text = lines(300);
    text += QByteArray(3000, 'w') + '\n' + lines(300);
    auto view = shownView(text);
    QTest::qWait(20);
    view->setScrollPosition(QPoint(500, 300 * view->lineHeight()));
    QCOMPARE(view->scrollPosition(), QPoint(500, 300 * view->lineHeight()));
}

void TestTextView::wheelScrollsByLinesAndSidewaysWithShift()
{
    QByteArray text = lines(100);
    text.prepend(QByteArray(2000, 'w') + '\n');
    auto view = shownView(text);
    QTest::qWait(20);
    const QPoint at(20, 20);
    QWheelEvent down(at, view->viewport()->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &down);
    QCOMPARE(view->firstVisibleLine(), QApplication::wheelScrollLines());
    QCOMPARE(view->scrollPosition().x(), 0);

    QWheelEvent sideways(at, view->viewport()->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, Qt::ShiftModifier,
                         Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &sideways);
    QCOMPARE(view->firstVisibleLine(), QApplication::wheelScrollLines());
    QVERIFY(view->scrollPosition().x() > 0);
}

void TestTextView::lastLineStopsAtTheBottomAndWidthTracksTheWidestLine()
{
    QByteArray text = lines(50);
    const qint64 wide = text.size();
    text += QByteArray(600, 'm') + "\nend";
    auto view = shownView(text);
    QTest::qWait(20);
    // The last line stops at the bottom of the view.
    const int last = 52 - int(view->visibleLineCount());
    QVERIFY(last > 0);
    QCOMPARE(view->verticalScrollBar()->maximum(), last);
    QCOMPARE(view->horizontalScrollBar()->maximum(), 0); // the wide line has not been seen

    QTest::keyClick(view.get(), Qt::Key_End, Qt::ControlModifier);
    view->setFirstVisibleLine(1000);
    QCOMPARE(view->firstVisibleLine(), last);
    QTest::qWait(20);
    view->setFirstVisibleLine(45);
    QTRY_VERIFY(view->horizontalScrollBar()->maximum() > 0);
    const int maximum = view->horizontalScrollBar()->maximum();
    view->ensureVisible(wide + 600);
    QVERIFY(view->positionRect(wide + 600).x() < view->viewport()->width());
    QVERIFY(view->positionRect(wide + 600).x() > 0);
    // Once seen, the width stays when the line scrolls away.
    view->setFirstVisibleLine(0);
    QTest::qWait(20);
    QCOMPARE(view->horizontalScrollBar()->maximum(), maximum);
}

void TestTextView::estimatedWidthOfALongLineTurnsExactWithoutMovingTheView_data()
{
    QTest::addColumn<char>("start");
    QTest::addColumn<char>("rest");
    // Too narrow an estimate, and one so wide that the view goes past the line's true end.
    QTest::newRow("wider further on") << 'i' << 'W';
    QTest::newRow("narrower further on") << 'W' << 'i';
}

void TestTextView::estimatedWidthOfALongLineTurnsExactWithoutMovingTheView()
{
    QFETCH(char, start);
    QFETCH(char, rest);
    const QByteArray line = QByteArray(500 * 1024, start) + QByteArray(1000 * 1024, rest);
    auto view = shownView("");
    view->clearFocus();
    view->setDocument(documentOf(line));
    LineLayouts whole(&view->document(), view->font());
    whole.x(0, line.size());
    const int exact = int(std::ceil(whole.width(0))) + view->lineHeight() - view->viewport()->width();

    // The first paint measures only the start; the range it leaves (run without the idle slices) is
    // an estimate.
    QScrollBar *horizontal = view->horizontalScrollBar();
    view->viewport()->repaint();
    QCoreApplication::sendPostedEvents(view.get());
    QCoreApplication::sendPostedEvents(view.get()); // the scroll bar the range brings in takes its room
    const int estimate = horizontal->maximum();
    QVERIFY2(start == 'i' ? estimate < exact : estimate > exact, qPrintable(QStringLiteral("estimate %1, exact %2").arg(estimate).arg(exact)));

    const int x = start == 'i' ? 3000 : estimate;
    view->setScrollPosition(QPoint(x, 0));
    view->viewport()->repaint();
    QCoreApplication::sendPostedEvents(view.get());
    QTRY_COMPARE(horizontal->maximum(), std::max(exact, x));
    QCOMPARE(view->scrollPosition().x(), x);

    const qint64 far = line.size() * 3 / 4;
    view->ensureVisible(far);
    QCOMPARE(view->positionAt(pointOf(*view, far)), far);
}

void TestTextView::fileDragsAreLeftToTheWindowAndTextDropsInsert()
{
    auto view = shownView("abc");
    EventCounter watcher(QEvent::DragEnter);
    view->installEventFilter(&watcher);
    auto *files = new QMimeData;
    files->setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt"))});
    files->setText(QStringLiteral("/tmp/a.txt"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, files, Qt::LeftButton, {});
    QApplication::sendEvent(view->viewport(), &enter);
    QCOMPARE(watcher.count, 1);

    auto *text = new QMimeData;
    text->setData(QStringLiteral("application/x-brassfinch-bytes"), QByteArray("\0\xE9", 2));
    const QPoint at = pointOf(*view, 1);
    QDragEnterEvent textEnter(at, Qt::CopyAction, text, Qt::LeftButton, {});
    QApplication::sendEvent(view->viewport(), &textEnter);
    QCOMPARE(watcher.count, 1);
    QDropEvent drop(at, Qt::CopyAction, text, Qt::LeftButton, {});
    QApplication::sendEvent(view->viewport(), &drop);
    QCOMPARE(view->document().bytes(), QByteArray("a\0\xE9" "bc", 5));
    QCOMPARE(view->editor().selection(), (TextRange {1, 3}));
    delete files;
    delete text;
}

void TestTextView::controlAndStrayBytesDrawAsDistinctBoxes()
{
    static const char text[] = "tab\there\tand\tthere\n"
                               "nul\0here, esc \x1b, del \x7f\n"
                               "stray \xE9 and \xFF\xFE bytes\n"
                               "emoji \xF0\x9F\x98\x80 and e\xCC\x81 combined\n"
                               "arabic \xD8\xA7\xD9\x84\xD8\xB9\xD8\xB1\xD8\xA8\xD9\x8A\xD8\xA9 text\n"
                               "hebrew \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D and CJK \xE4\xB8\xAD\xE6\x96\x87\n";
    auto view = shownView(QByteArray(text, sizeof text - 1), QSize(420, 160));
    view->editor().setCaret(0);
    const QImage image = view->viewport()->grab().toImage();
    const QString shot = qEnvironmentVariable("BRASSFINCH_SCREENSHOT");
    if (!shot.isEmpty())
        image.save(shot);

    // Count a box's pixels by colour, within the box a byte is drawn in.
    auto share = [&](qint64 position, const QColor &colour) {
        const QRect box = view->positionRect(position).united(view->positionRect(position + 1)).adjusted(0, 2, 0, -2);
        int matching = 0;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x < box.right(); ++x)
                matching += image.pixelColor(x, y) == colour;
        return qreal(matching) / qMax(1, box.width() * box.height());
    };
    const QColor ink = view->palette().color(QPalette::Text);
    const QByteArray bytes(text, sizeof text - 1);
    const qint64 nul = bytes.indexOf('\0');
    const qint64 stray = bytes.indexOf('\xE9');
    QVERIFY2(share(nul, ink) > 0.3, "a control byte is a box in the text colour");
    const QColor paper = view->palette().color(QPalette::Base);
    QVERIFY2(share(stray, ink) + share(stray, paper) < 0.5, "a stray byte's box is neither text nor a control box");
    QVERIFY(view->positionRect(stray + 1).x() - view->positionRect(stray).x() > view->positionRect(3).height());
}

void TestTextView::marksPaintTheirLinesAndNotTheirNeighbours_data()
{
    QTest::addColumn<LineMark::Kind>("kind");
    QTest::addColumn<bool>("dark");
    QTest::addColumn<qint64>("top"); // the first line shown
    QTest::newRow("changed") << LineMark::Kind::Changed << false << qint64(0);
    QTest::newRow("removed") << LineMark::Kind::Removed << false << qint64(0);
    QTest::newRow("added, scrolled down") << LineMark::Kind::Added << false << qint64(40);
    QTest::newRow("removed on dark paper") << LineMark::Kind::Removed << true << qint64(40);
}

void TestTextView::marksPaintTheirLinesAndNotTheirNeighbours()
{
    QFETCH(LineMark::Kind, kind);
    QFETCH(bool, dark);
    QFETCH(qint64, top);
    auto view = shownView(lines(100));
    if (dark) {
        view->setPaper(QColor(0x1E, 0x1F, 0x22));
        QPalette palette = view->palette();
        palette.setColor(QPalette::Text, QColor(0xDD, 0xDD, 0xDD));
        view->setPalette(palette);
    }
    view->setFirstVisibleLine(top);
    showMarks(*view, {{top + 3, 2, kind}});
    const qint64 selected = top + 4;
    view->editor().setSelection(view->document().lineStart(selected), view->document().lineStart(selected + 1));
    const QImage image = view->viewport()->grab().toImage();
    const int h = view->lineHeight();
    const int x = view->viewport()->width() - 3; // past the text
    const QColor mark = markColour(*view, kind);
    QVERIFY(mark != view->paper());
    for (int row = 2; row <= 5; ++row) {
        const bool marked = row == 3 || row == 4;
        QCOMPARE(image.pixelColor(x, row * h + h / 2), marked ? mark : view->paper());
    }
    // The selection stays visible over the mark: its line end is a box in the highlight.
    const QPoint end = view->positionRect(view->document().lineEnd(selected)).center() + QPoint(2, 0);
    QCOMPARE(image.pixelColor(end), view->palette().color(QPalette::Highlight));
}

void TestTextView::gapRuleLiesOnTheEdgeOfItsLine_data()
{
    QTest::addColumn<qint64>("gap");      // the line it stands before, -1 for the end
    QTest::addColumn<int>("firstRow");    // the rule's rows, in lines and pixels from them
    QTest::newRow("before a line") << qint64(3) << 3;
    QTest::newRow("at the end") << qint64(-1) << 5;
}

void TestTextView::gapRuleLiesOnTheEdgeOfItsLine()
{
    QFETCH(qint64, gap);
    QFETCH(int, firstRow);
    auto view = shownView("a\nb\nc\nd\ne");
    showMarks(*view, {{gap < 0 ? view->document().lineCount() : gap, 0, LineMark::Kind::Gap}});
    const QImage image = view->viewport()->grab().toImage();
    const int y = firstRow * view->lineHeight() - (gap < 0 ? 2 : 0);
    const int x = view->viewport()->width() - 3;
    const QColor rule = markColour(*view, LineMark::Kind::Gap);
    QCOMPARE(image.pixelColor(x, y - 1), view->paper());
    QCOMPARE(image.pixelColor(x, y), rule);
    QCOMPARE(image.pixelColor(x, y + 1), rule);
    QCOMPARE(image.pixelColor(x, y + 2), view->paper());
}

void TestTextView::changedBytesAreShadedBehindExactlyThoseCharacters_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("end");
    QTest::newRow("short line") << QByteArray("xxxx xxxx xxxx") << qint64(5) << qint64(9);
    // Laid out in segments, and in view only once scrolled far to the right.
    QTest::newRow("long line") << QByteArray(6000, 'x') << qint64(5000) << qint64(5011);
}

void TestTextView::changedBytesAreShadedBehindExactlyThoseCharacters()
{
    QFETCH(QByteArray, line);
    QFETCH(qint64, start);
    QFETCH(qint64, end);
    auto view = shownView("first\n" + line + '\n' + lines(1000));
    std::vector<qint64> asked;
    showMarks(*view, {{1, 900, LineMark::Kind::Changed}}, [&](qint64 at) {
        asked.push_back(at);
        return at == 1 ? std::vector<std::pair<qint64, qint64>> {{start, end}} : std::vector<std::pair<qint64, qint64>> {};
    });
    const qint64 lineStart = view->document().lineStart(1);
    view->ensureVisible(lineStart + end);
    view->viewport()->repaint();
    asked.clear();
    const QImage image = view->viewport()->grab().toImage();
    // Along the line's top row, which the glyphs of 'x' leave bare.
    const int y = view->lineHeight() + 1;
    const QColor strong = markColour(*view, LineMark::Kind::Changed, true);
    int left = -1;
    int right = -1;
    for (int x = 0; x < image.width(); ++x) {
        if (image.pixelColor(x, y) == strong) {
            right = x;
            left = left < 0 ? x : left;
        }
    }
    const int from = view->positionRect(lineStart + start).x();
    const int to = view->positionRect(lineStart + end).x();
    QVERIFY2(std::abs(left - from) <= 1 && std::abs(right + 1 - to) <= 1,
             qPrintable(QStringLiteral("shaded %1..%2, characters %3..%4").arg(left).arg(right + 1).arg(from).arg(to)));
    // Asked only for the lines painted.
    const qint64 first = view->firstVisibleLine();
    QVERIFY(!asked.empty());
    QVERIFY(std::all_of(asked.begin(), asked.end(),
                        [&](qint64 at) { return at >= first && at <= first + view->visibleLineCount(); }));
}

void TestTextView::overviewShowsOneLineOfManyAndAGapAtTheEnd()
{
    auto view = shownView(lines(100000));
    const qint64 count = view->document().lineCount();
    showMarks(*view, {{count / 2, 1, LineMark::Kind::Changed}, {count, 0, LineMark::Kind::Gap}});
    auto *strip = view->findChild<OverviewStrip *>();
    const QImage image = strip->grab().toImage();
    const int x = image.width() / 2;
    const QColor changed = markColour(*view, LineMark::Kind::Changed, true);
    int rows = 0;
    for (int y = 0; y < image.height(); ++y)
        rows += image.pixelColor(x, y) == changed;
    QVERIFY2(rows >= 2 && rows <= 3, qPrintable(QString::number(rows)));
    const QColor gap = markColour(*view, LineMark::Kind::Gap);
    const int last = image.height() - 1;
    QCOMPARE(image.pixelColor(x, last), gap);
    QCOMPARE(image.pixelColor(x, last - 1), gap);
    QVERIFY(image.pixelColor(x, last - 2) != gap);
}

void TestTextView::overviewClickGivesTheNearestMark_data()
{
    QTest::addColumn<qint64>("line"); // where the click falls
    QTest::addColumn<qsizetype>("nearest");
    QTest::newRow("above all") << qint64(0) << qsizetype(0);
    QTest::newRow("on one line of many") << qint64(40000) << qsizetype(1);
    QTest::newRow("nearer the mark before") << qint64(48000) << qsizetype(1);
    QTest::newRow("nearer the gap after") << qint64(52000) << qsizetype(2);
    QTest::newRow("below all") << qint64(100000) << qsizetype(3);
}

void TestTextView::overviewClickGivesTheNearestMark()
{
    QFETCH(qint64, line);
    QFETCH(qsizetype, nearest);
    auto view = shownView(lines(100000));
    QSignalSpy clicked(view.get(), &TextView::overviewClicked);
    showMarks(*view, {});
    auto *strip = view->findChild<OverviewStrip *>();
    QVERIFY(strip != nullptr && strip->isVisible());
    const int y = std::min<int>(strip->height() - 1, int(line * strip->height() / view->document().lineCount()));
    QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(strip->width() / 2, y));
    QCOMPARE(clicked.count(), 0); // no marks, nothing to go to
    showMarks(*view, {{10, 1, LineMark::Kind::Changed}, {40000, 1, LineMark::Kind::Removed},
                      {60000, 0, LineMark::Kind::Gap}, {99990, 5, LineMark::Kind::Removed}});
    QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(strip->width() / 2, y));
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(0).value<qsizetype>(), nearest);
}

void TestTextView::withoutMarksTheViewIsAsBefore()
{
    auto view = shownView(lines(100));
    view->clearFocus(); // no caret blinking
    const QRect port = view->viewport()->geometry();
    const QImage before = view->viewport()->grab().toImage();
    showMarks(*view, {{1, 1, LineMark::Kind::Changed}});
    const auto *strip = view->findChild<OverviewStrip *>();
    QVERIFY(strip != nullptr && strip->isVisible());
    // Between the text and the scroll bar.
    QCOMPARE(strip->geometry(), port.adjusted(port.width() - strip->width(), 0, 0, 0));

    view->setLineMarks(nullptr);
    QVERIFY(!strip->isVisible());
    QCOMPARE(view->viewport()->geometry(), port);
    QCOMPARE(view->viewport()->grab().toImage(), before);
}

QTEST_MAIN(TestTextView)
#include "tst_textview.moc"
