#include "platform/failure.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/testfiles.h"
#include "textpane/documentload.h"
#include "textpane/paneaccessible.h"
#include "textpane/panecontrol.h"

#include <QAccessible>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {
QByteArray longLines(int lines, int width)
{
    QByteArray text;
    for (int i = 0; i < lines; ++i)
        text += QByteArray::number(i) + ' ' + QByteArray(width, 'x') + '\n';
    return text;
}
} // namespace

class TestPaneControl : public QObject
{
    Q_OBJECT
private slots:
    void bytesComeBackUnchanged_data();
    void bytesComeBackUnchanged();
    void failedLoadKeepsTheOldTextWithEveryLineShown_data();
    void failedLoadKeepsTheOldTextWithEveryLineShown();
    void loadUnderWayOrDroppedLeavesTheShownTextWhole();
    void fileChangedWhileReadIsRefusedUnlessItOnlyGrew_data();
    void fileChangedWhileReadIsRefusedUnlessItOnlyGrew();
    void settingTheSamePlaceDrawsNothing();
    void stoppedLoadLeavesThePaneEmptyAndAFinishedOneAsIfNew_data();
    void stoppedLoadLeavesThePaneEmptyAndAFinishedOneAsIfNew();
    void appendAddsOnlyAtTheEnd();
    void enterContinuesTheTextsLineEnds_data();
    void enterContinuesTheTextsLineEnds();

    void scrollPositionIsInPixelsAndWholeLines();
    void focusAndPointerMovesAreRaised();

    void accessibleInterfaceIsOursWithNameRoleAndOffsets();
    void accessibleOffsetsCountUtf16Units();

private:
    QTemporaryDir m_dir;
};

void TestPaneControl::bytesComeBackUnchanged_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("crlf") << QByteArray("one\r\ntwo\r\n");
    QTest::newRow("lone cr") << QByteArray("one\rtwo\r");
    QTest::newRow("mixed line ends") << QByteArray("a\r\nb\nc\rd\n\re");
    QTest::newRow("no final line end") << QByteArray("last line");
    QTest::newRow("nul bytes") << QByteArray("a\0b\0\0c", 6);
    QTest::newRow("invalid utf-8") << QByteArray("ok \xff\xfe \xc3 \x80 \xed\xa0\x80 end");
    QTest::newRow("bom") << QByteArray("\xef\xbb\xbfwith bom\n");
    QTest::newRow("outside the bmp") << QByteArray("\xf0\x9f\x90\xa6 bird \xf0\x9d\x84\x9e clef");
    QTest::newRow("only a cr") << QByteArray("\r");

    // Crosses the loader's chunk size with a multi-byte character split across the boundary.
    QByteArray big;
    while (big.size() < 4 * 1024 * 1024 - 100)
        big += QByteArray(99, 'a') + '\n';
    big += QByteArray(4 * 1024 * 1024 - 1 - big.size(), 'b');
    big += "\xe2\x82\xac tail\r\n";
    QTest::newRow("across a chunk boundary") << big;
}

void TestPaneControl::bytesComeBackUnchanged()
{
    QFETCH(QByteArray, bytes);
    PaneControl written;
    written.setBytes("something else first");
    written.setBytes(bytes);
    QVERIFY2(written.bytes() == bytes, "text written to the pane must come back unchanged");
    QCOMPARE(written.byteCount(), bytes.size());

    const QString path = m_dir.filePath("file.txt");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
    file.close();

    PaneControl loaded;
    loaded.setBytes(QByteArray(10000, 'z')); // a load replaces, never appends
    loaded.loadFile(path);
    QVERIFY2(loaded.bytes() == bytes, "the file's bytes must reach the pane unchanged");
}

void TestPaneControl::failedLoadKeepsTheOldTextWithEveryLineShown_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing") << m_dir.filePath("missing/none.txt");
    QTest::newRow("folder") << m_dir.path();
    // Opens, then every read fails: no part of the file may stay.
    QTest::newRow("read fails") << QStringLiteral("/proc/self/mem");
}

void TestPaneControl::failedLoadKeepsTheOldTextWithEveryLineShown()
{
    QFETCH(QString, path);
    PaneControl pane;
    const QByteArray lines = longLines(999, 3);
    pane.setBytes(lines);
    try {
        pane.loadFile(path);
        QFAIL("loading must fail");
    } catch (const platform::Failure &failure) {
        QVERIFY2(!failure.message().isEmpty(), "the failure carries the system's message");
    }
    QVERIFY2(pane.bytes() == lines, "a failed load leaves the old text");
    QCOMPARE(pane.document().lineCount(), 1000);
}

void TestPaneControl::loadUnderWayOrDroppedLeavesTheShownTextWhole()
{
    // The window paints and scrolls the pane while a file is read into a document of its own;
    // a load dropped before it reaches the pane leaves the pane as it was, every line shown.
    const QString path = m_dir.filePath("under way.txt");
    writeFile(path, longLines(200000, 60));
    PaneControl pane;
    const QByteArray lines = longLines(999, 3);
    pane.setBytes(lines);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    {
        DocumentLoad load(pane, path);
        for (int step = 0; step < 20; ++step) {
            pane.setScrollPosition({0, step * 7 * pane.lineHeight()});
            pane.repaint();
            QTest::qWait(5);
        }
    }
    QVERIFY2(pane.bytes() == lines, "a dropped load leaves the old text");
    QCOMPARE(pane.document().lineCount(), 1000);
}

void TestPaneControl::fileChangedWhileReadIsRefusedUnlessItOnlyGrew_data()
{
    QTest::addColumn<QString>("change"); // made once the reader has the file's first bytes
    QTest::addColumn<bool>("loads");
    QTest::newRow("unchanged") << "" << true;
    QTest::newRow("appended to") << "append" << true;
    QTest::newRow("written over, longer") << "rewrite" << false;
    QTest::newRow("cut short") << "truncate" << false;
    QTest::newRow("written over, same size") << "overwrite" << false;
    QTest::newRow("replaced by renaming") << "rename" << false;
}

void TestPaneControl::fileChangedWhileReadIsRefusedUnlessItOnlyGrew()
{
    QFETCH(QString, change);
    QFETCH(bool, loads);
    const QString path = m_dir.filePath("changing.txt");
    const QByteArray text = longLines(2000, 20);
    writeFile(path, text);
    PaneControl pane;
    pane.setBytes("before");
    bool changed = false;
    DocumentLoad load(pane, path, [&](QByteArrayView) {
        if (std::exchange(changed, true))
            return;
        QFile file(path);
        if (change == "append" && file.open(QIODevice::Append))
            file.write("more\n");
        if (change == "rewrite" && file.open(QIODevice::WriteOnly))
            file.write(QByteArray(text.size() + 10, 'z'));
        if (change == "truncate")
            file.resize(text.size() / 2);
        if (change == "overwrite" && file.open(QIODevice::ReadWrite)) {
            file.write("X");
            file.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
        }
        if (change == "rename") {
            writeFile(path + ".new", text);
            ::rename(QFile::encodeName(path + ".new").constData(), QFile::encodeName(path).constData());
        }
    });
    bool loaded = false;
    try {
        loaded = load.finish(nullptr);
    } catch (const platform::Failure &failure) {
        QVERIFY2(failure.message().contains("changed while it was being read"), qPrintable(failure.message()));
    }
    QCOMPARE(loaded, loads);
    QVERIFY2(loads ? pane.bytes().startsWith(text) : pane.bytes() == "before", "neither file, nor the old text");
}

void TestPaneControl::settingTheSamePlaceDrawsNothing()
{
    PaneControl pane;
    pane.setBytes(longLines(500, 300));
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    pane.setScrollPosition({40, 30 * pane.lineHeight()});
    QCoreApplication::processEvents();
    struct Paints : QObject {
        int count = 0;
        bool eventFilter(QObject *, QEvent *event) override { count += event->type() == QEvent::Paint; return false; }
    } paints;
    pane.viewport()->installEventFilter(&paints);
    for (int tick = 0; tick < 5; ++tick) {
        pane.setScrollPosition(pane.scrollPosition());
        QCoreApplication::processEvents();
    }
    QCOMPARE(paints.count, 0);
    pane.setScrollPosition({0, 31 * pane.lineHeight()}); // a real move still draws
    QCoreApplication::processEvents();
    QVERIFY(paints.count > 0);
}

void TestPaneControl::stoppedLoadLeavesThePaneEmptyAndAFinishedOneAsIfNew_data()
{
    QTest::addColumn<int>("stopAfter");
    QTest::newRow("stopped") << 0;
    QTest::newRow("finished") << -1;
}

void TestPaneControl::stoppedLoadLeavesThePaneEmptyAndAFinishedOneAsIfNew()
{
    QFETCH(int, stopAfter);
    const QByteArray text = longLines(3000, 50);
    const QString path = m_dir.filePath("loaded.txt");
    writeFile(path, text);

    PaneControl pane;
    pane.setBytes("old");
    pane.document().insert(2, "typed");
    pane.select(4, 4);
    FakeLoadProgress progress;
    progress.stopAfter = stopAfter;
    const bool whole = pane.loadFile(path, &progress);

    QCOMPARE(whole, stopAfter < 0);
    QCOMPARE(pane.bytes(), whole ? text : QByteArray());
    QCOMPARE(progress.begun, QStringList{"loaded.txt"});
    QCOMPARE(progress.ended, 1);
    QVERIFY2(!pane.document().canUndo(), "a load leaves nothing to undo");
    QVERIFY2(!pane.isModified(), "a load sets the save point");
    QCOMPARE(pane.editor().caret(), 0);
}

void TestPaneControl::appendAddsOnlyAtTheEnd()
{
    PaneControl pane;
    pane.setBytes(QByteArray("a\0b", 3));
    pane.appendBytes("\r");
    QCOMPARE(pane.bytes(), QByteArray("a\0b\r", 4));
    QVERIFY2(pane.pieces().size() == 1, "a find needs no copy of a text just set and ended");
    PaneControl empty;
    empty.appendBytes("\r");
    QCOMPARE(empty.bytes(), QByteArray("\r"));
}

void TestPaneControl::enterContinuesTheTextsLineEnds_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("expectedAfterEnter");
    QTest::newRow("crlf file") << QByteArray("a\r\nb") << QByteArray("\r\na\r\nb");
    QTest::newRow("lf file") << QByteArray("a\nb\r\n") << QByteArray("\na\nb\r\n");
    QTest::newRow("cr file") << QByteArray("a\rb\n") << QByteArray("\ra\rb\n");
    QTest::newRow("no line end") << QByteArray("ab") << QByteArray("\nab");
}

void TestPaneControl::enterContinuesTheTextsLineEnds()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, expectedAfterEnter);
    PaneControl pane;
    pane.setBytes(bytes);
    pane.show();
    pane.setFocus();
    QTest::keyClick(&pane, Qt::Key_Return);
    QCOMPARE(pane.bytes(), expectedAfterEnter);
}

void TestPaneControl::scrollPositionIsInPixelsAndWholeLines()
{
    PaneControl pane;
    pane.resize(300, 200);
    pane.setBytes(longLines(500, 400));
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    const int h = pane.lineHeight();
    QVERIFY(h > 0);

    pane.setScrollPosition(QPoint(37, 10 * h + h / 2));
    QCOMPARE(pane.scrollPosition(), QPoint(37, 10 * h));
    pane.setScrollPosition(QPoint(0, 0));
    QCOMPARE(pane.scrollPosition(), QPoint(0, 0));
}

void TestPaneControl::focusAndPointerMovesAreRaised()
{
    QWidget window;
    auto *other = new QPushButton("first", &window);
    auto *pane = new PaneControl(&window);
    pane->setGeometry(0, 30, 200, 200);
    other->setFocus();
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QSignalSpy focus(pane, &PaneControl::focusReceived);
    QSignalSpy pointer(pane, &PaneControl::pointerMoved);

    QTest::mouseMove(pane->viewport(), QPoint(50, 50));
    QTRY_VERIFY(pointer.count() >= 1);

    QCOMPARE(focus.count(), 0);
    pane->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(focus.count(), 1);
}

void TestPaneControl::accessibleInterfaceIsOursWithNameRoleAndOffsets()
{
    PaneControl pane;
    pane.setAccessibleName("Text File #1");
    pane.setBytes("first line\nsecond line\n");
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&pane);
    QVERIFY(iface);
    QVERIFY2(dynamic_cast<PaneAccessible *>(iface), "the engine's own interface would walk the whole document");
    QCOMPARE(iface->role(), QAccessible::EditableText);
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Text File #1"));

    QAccessibleTextInterface *text = iface->textInterface();
    QVERIFY(text);
    QCOMPARE(text->characterCount(), 23);
    pane.select(14, 14);
    QCOMPARE(text->cursorPosition(), 14);
    QCOMPARE(text->text(11, 17), QStringLiteral("second"));
    text->setCursorPosition(3);
    QCOMPARE(pane.editor().caret(), 3);
}

void TestPaneControl::accessibleOffsetsCountUtf16Units()
{
    PaneControl pane;
    // "é" is two bytes and one unit; the bird is four bytes and two units.
    pane.setBytes("\xc3\xa9\n\xf0\x9f\x90\xa6x\nend");
    QAccessibleTextInterface *text = QAccessible::queryAccessibleInterface(&pane)->textInterface();
    QCOMPARE(text->characterCount(), QString::fromUtf8("\xc3\xa9\n\xf0\x9f\x90\xa6x\nend").size());
    pane.select(7, 7); // after the bird
    QCOMPARE(text->cursorPosition(), 4);
    QCOMPARE(text->text(2, 5), QString::fromUtf8("\xf0\x9f\x90\xa6x"));
}

QTEST_MAIN(TestPaneControl)
#include "tst_panecontrol.moc"
