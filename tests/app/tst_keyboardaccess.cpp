// The main window without a mouse: Tab walks the controls in their keyboard order, Space
// presses what has the focus, and assistive technology sees every control by its caption.

#include "app/form1.h"
#include "tests/app/shownmainwindow.h"
#include "tests/support/fakeplatform.h"
#include "textpane/panecontrol.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

class KeyboardAccessTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void tabWalksControlsInKeyboardOrder_data();
    void tabWalksControlsInKeyboardOrder();
    void spacePressesFocusedControl_data();
    void spacePressesFocusedControl();
    void assistiveTechnologySeesCaptionsAndRoles_data();
    void assistiveTechnologySeesCaptionsAndRoles();

private:
    QWidget *control(const QString &name) const { return m_form->findChild<QWidget *>(name); }

    std::unique_ptr<FakePlatform> m_fakes; // fresh each time: the switch remembers its state
    std::unique_ptr<Form1> m_form;
};

void KeyboardAccessTest::init()
{
    m_fakes = std::make_unique<FakePlatform>();
    m_form = showMainWindow(*m_fakes);
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
}

void KeyboardAccessTest::cleanup()
{
    m_form.reset();
    m_fakes.reset();
}

void KeyboardAccessTest::tabWalksControlsInKeyboardOrder_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<QStringList>("walk"); // from the left pane, which has the focus at first, back to it
    const QStringList order{"RichTextBox1", "RichTextBox2", "PushButton3", "PushButton4",
                            "PushButton2",  "PushButton5",  "PushButton7", "PushButton9",
                            "PushButton1",  "PushButton6",  "Check1",      "RichTextBox1"};
    QStringList backwards = order;
    std::reverse(backwards.begin(), backwards.end());
    // No frame and no hidden control on the way, and the walk starts over past either end.
    QTest::newRow("Tab") << Qt::Key_Tab << order;
    QTest::newRow("Backtab") << Qt::Key_Backtab << backwards;
}

void KeyboardAccessTest::tabWalksControlsInKeyboardOrder()
{
    QFETCH(Qt::Key, key);
    QFETCH(QStringList, walk);
    QStringList walked;
    for (qsizetype i = 0; i < walk.size(); ++i) {
        QWidget *focused = QApplication::focusWidget();
        QVERIFY2(focused, qPrintable(QStringLiteral("no focus after %1 presses").arg(i)));
        walked << focused->objectName();
        QTest::keyClick(focused, key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
    }
    QCOMPARE(walked, walk);
    // A Tab that moves the focus on must not also land in a pane as a tab character.
    QVERIFY2(m_form->RichTextBox1->bytes().isEmpty(), m_form->RichTextBox1->bytes().constData());
    QVERIFY2(m_form->RichTextBox2->bytes().isEmpty(), m_form->RichTextBox2->bytes().constData());
}

void KeyboardAccessTest::spacePressesFocusedControl_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("button") << "PushButton3";
    QTest::newRow("switch") << "Check1";
}

void KeyboardAccessTest::spacePressesFocusedControl()
{
    QFETCH(QString, name);
    auto *button = qobject_cast<QAbstractButton *>(control(name));
    QVERIFY(button);
    button->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), button);
    QSignalSpy clicks(button, &QAbstractButton::clicked);
    QTest::keyClick(button, Qt::Key_Space);
    QCOMPARE(clicks.size(), 1);
}

void KeyboardAccessTest::assistiveTechnologySeesCaptionsAndRoles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("accessibleName");
    QTest::addColumn<QAccessible::Role>("role");
    // Each pane is named after its frame; the switch by its current caption, not the layout's placeholder.
    QTest::newRow("left pane") << "RichTextBox1" << "Text File #1" << QAccessible::EditableText;
    QTest::newRow("right pane") << "RichTextBox2" << "Text File #2" << QAccessible::EditableText;
    QTest::newRow("switch") << "Check1" << "Synchronous Scrolling is on" << QAccessible::CheckBox;
    QTest::newRow("a button") << "PushButton9" << "Load Sample/Example Files" << QAccessible::Button;
}

void KeyboardAccessTest::assistiveTechnologySeesCaptionsAndRoles()
{
    QFETCH(QString, name);
    QFETCH(QString, accessibleName);
    QFETCH(QAccessible::Role, role);
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(control(name));
    QVERIFY2(face, qPrintable(name));
    QCOMPARE(face->text(QAccessible::Name), accessibleName);
    QCOMPARE(face->role(), role);
    QVERIFY2(!face->state().invisible, qPrintable(name));
}

QTEST_MAIN(KeyboardAccessTest)
#include "tst_keyboardaccess.moc"
