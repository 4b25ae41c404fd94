// The main window without a mouse: Tab walks the controls in their keyboard order, Space
// presses what has the focus, and assistive technology sees every control by its caption.

#include "fakeplatform.h"
#include "form1.h"
#include "panecontrol.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

/// The window's controls by their names, frames included (they carry no object name).
QWidget *control(Form1 &form, const QString &name)
{
    const QHash<QString, QWidget *> controls{
        {QStringLiteral("RichTextBox1"), form.RichTextBox1},
        {QStringLiteral("RichTextBox2"), form.RichTextBox2},
        {QStringLiteral("Frame1"), form.Frame1},
        {QStringLiteral("Frame2"), form.Frame2},
        {QStringLiteral("Frame3"), form.Frame3},
        {QStringLiteral("Check1"), form.Check1},
        {QStringLiteral("PushButton1"), form.PushButton1},
        {QStringLiteral("PushButton2"), form.PushButton2},
        {QStringLiteral("PushButton3"), form.PushButton3},
        {QStringLiteral("PushButton4"), form.PushButton4},
        {QStringLiteral("PushButton5"), form.PushButton5},
        {QStringLiteral("PushButton6"), form.PushButton6},
        {QStringLiteral("PushButton7"), form.PushButton7},
        {QStringLiteral("PushButton9"), form.PushButton9},
    };
    return controls.value(name);
}

QString describe(const QWidget *widget)
{
    if (!widget)
        return QStringLiteral("nothing");
    if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
        return QStringLiteral("%1 \"%2\"").arg(widget->objectName(), button->text());
    return widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                          : widget->objectName();
}

} // namespace

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
    std::unique_ptr<FakePlatform> m_fakes;
    std::unique_ptr<Form1> m_form;
};

void KeyboardAccessTest::init()
{
    m_fakes = std::make_unique<FakePlatform>();
    m_fakes->programDirectory = QCoreApplication::applicationDirPath();
    m_form = std::make_unique<Form1>(m_fakes->platform());
    m_form->setProgramEnd([] {});
    m_form->Form_Load();
    m_form->show();
    QApplication::setActiveWindow(m_form.get());
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
    QTest::addColumn<int>("presses");
    QTest::addColumn<QString>("expected");

    const QStringList order{
        QStringLiteral("RichTextBox1"), QStringLiteral("RichTextBox2"),
        QStringLiteral("PushButton3"), QStringLiteral("PushButton4"),
        QStringLiteral("PushButton2"), QStringLiteral("PushButton5"),
        QStringLiteral("PushButton7"), QStringLiteral("PushButton9"),
        QStringLiteral("PushButton1"), QStringLiteral("PushButton6"),
        QStringLiteral("Check1"),
    };
    // Zero presses: the left pane holds the focus as soon as the window is shown.
    for (int presses = 0; presses < order.size(); ++presses)
        QTest::addRow("%d Tab -> %s", presses, qPrintable(order[presses]))
            << Qt::Key_Tab << presses << order[presses];
    // Past the switch the walk starts over, through no frame and no hidden control.
    QTest::newRow("Tab past the switch -> RichTextBox1")
        << Qt::Key_Tab << int(order.size()) << order[0];
    QTest::newRow("Backtab from the left pane -> Check1") << Qt::Key_Backtab << 1 << order.last();
    QTest::newRow("2 Backtab -> PushButton6") << Qt::Key_Backtab << 2 << order[order.size() - 2];
}

void KeyboardAccessTest::tabWalksControlsInKeyboardOrder()
{
    QFETCH(Qt::Key, key);
    QFETCH(int, presses);
    QFETCH(QString, expected);

    QCOMPARE(describe(QApplication::focusWidget()), describe(m_form->RichTextBox1));
    for (int i = 0; i < presses; ++i) {
        QWidget *focused = QApplication::focusWidget();
        QVERIFY2(focused, qPrintable(QStringLiteral("no focus after %1 presses").arg(i)));
        QTest::keyClick(focused, key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
    }
    QCOMPARE(describe(QApplication::focusWidget()), describe(control(*m_form, expected)));
    // A Tab that moves the focus on must not also land in a pane as a tab character.
    QVERIFY2(m_form->RichTextBox1->Text().isEmpty(), m_form->RichTextBox1->Text().constData());
    QVERIFY2(m_form->RichTextBox2->Text().isEmpty(), m_form->RichTextBox2->Text().constData());
}

void KeyboardAccessTest::spacePressesFocusedControl_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"PushButton3", "PushButton4", "PushButton2", "PushButton5", "PushButton7",
                             "PushButton9", "PushButton1", "PushButton6", "Check1"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void KeyboardAccessTest::spacePressesFocusedControl()
{
    QFETCH(QString, name);
    auto *button = qobject_cast<QAbstractButton *>(control(*m_form, name));
    QVERIFY(button);
    button->setFocus(Qt::TabFocusReason);
    QCOMPARE(describe(QApplication::focusWidget()), describe(button));

    QSignalSpy clicks(button, &QAbstractButton::clicked);
    QTest::keyClick(button, Qt::Key_Space);
    QCOMPARE(clicks.size(), 1);
}

void KeyboardAccessTest::assistiveTechnologySeesCaptionsAndRoles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("accessibleName");
    QTest::addColumn<QAccessible::Role>("role");

    QTest::newRow("left pane") << "RichTextBox1" << "Text File #1" << QAccessible::EditableText;
    QTest::newRow("right pane") << "RichTextBox2" << "Text File #2" << QAccessible::EditableText;
    QTest::newRow("left frame") << "Frame1" << "Text File #1" << QAccessible::Grouping;
    QTest::newRow("right frame") << "Frame3" << "Text File #2" << QAccessible::Grouping;
    QTest::newRow("switch frame") << "Frame2" << "Down Arrow Sync Option" << QAccessible::Grouping;
    // The switch is named by its current caption, not by the placeholder of the layout.
    QTest::newRow("switch") << "Check1" << "Synchronous Scrolling is on" << QAccessible::CheckBox;
    QTest::newRow("open 1") << "PushButton3" << "Open File 1" << QAccessible::Button;
    QTest::newRow("open 2") << "PushButton4" << "Open File 2" << QAccessible::Button;
    QTest::newRow("save 1") << "PushButton2" << "Save File 1" << QAccessible::Button;
    QTest::newRow("save 2") << "PushButton5" << "Save File 2" << QAccessible::Button;
    QTest::newRow("clear 1") << "PushButton7" << "Clear File 1" << QAccessible::Button;
    QTest::newRow("clear 2") << "PushButton6" << "Clear File 2" << QAccessible::Button;
    QTest::newRow("samples") << "PushButton9" << "Load Sample/Example Files" << QAccessible::Button;
    QTest::newRow("full screen") << "PushButton1" << "Show Full Screen" << QAccessible::Button;
}

void KeyboardAccessTest::assistiveTechnologySeesCaptionsAndRoles()
{
    QFETCH(QString, name);
    QFETCH(QString, accessibleName);
    QFETCH(QAccessible::Role, role);

    QWidget *widget = control(*m_form, name);
    QVERIFY(widget);
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
    QVERIFY2(face, qPrintable(name));
    QCOMPARE(face->text(QAccessible::Name), accessibleName);
    QCOMPARE(face->role(), role);
    QVERIFY2(!face->state().invisible, qPrintable(name));
}

QTEST_MAIN(KeyboardAccessTest)
#include "tst_keyboardaccess.moc"
