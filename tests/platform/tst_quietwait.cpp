#include "platform/quietwait.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

#include <memory>

namespace {

class Recorder : public QWidget
{
public:
    QList<QEvent::Type> seen;

protected:
    bool event(QEvent *event) override
    {
        seen << event->type();
        return QWidget::event(event);
    }
};

QEvent *makeEvent(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
        return new QKeyEvent(type, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    case QEvent::MouseButtonPress:
        return new QMouseEvent(type, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    case QEvent::Close:
        return new QCloseEvent;
    default:
        return new QEvent(type);
    }
}

} // namespace

class TestQuietWait : public QObject
{
    Q_OBJECT
private slots:
    void inputWaitsButTheWindowLivesOn_data();
    void inputWaitsButTheWindowLivesOn();
};

void TestQuietWait::inputWaitsButTheWindowLivesOn_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("arrivesWhileWaiting");
    QTest::newRow("a key would type into the pane") << int(QEvent::KeyPress) << false;
    QTest::newRow("a click would start another action") << int(QEvent::MouseButtonPress) << false;
    QTest::newRow("closing would end the program mid-load") << int(QEvent::Close) << false;
    QTest::newRow("anything else, painting among it, goes on") << int(QEvent::User) << true;
}

void TestQuietWait::inputWaitsButTheWindowLivesOn()
{
    QFETCH(int, type);
    QFETCH(bool, arrivesWhileWaiting);
    const auto eventType = static_cast<QEvent::Type>(type);
    Recorder target;
    target.show();
    QVERIFY(QTest::qWaitForWindowExposed(&target));

    platform::QuietWait wait;
    int ticks = 0;
    wait.run([&] { return ticks >= 3; }, [&] {
        if (ticks++ == 0)
            QCoreApplication::postEvent(&target, makeEvent(eventType));
    }, 1);
    QCOMPARE(target.seen.contains(eventType), arrivesWhileWaiting);

    // Once the wait is over, input reaches the window again.
    target.seen.clear();
    QCoreApplication::postEvent(&target, makeEvent(eventType));
    QCoreApplication::processEvents();
    QVERIFY(target.seen.contains(eventType));
}

QTEST_MAIN(TestQuietWait)
#include "tst_quietwait.moc"
