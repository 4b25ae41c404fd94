#include "fakeplatform.h"
#include "form1.h"
#include "mousepointer.h"
#include "panecontrol.h"

#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// A small cursor file made here: the directory header and its single entry, then one 32-bit
// image of `size`, stored bottom-up with its transparency mask.
QByteArray cursorFileBytes(QSize size, QPoint hotspot, quint16 type = 2)
{
    const int maskBytes = (size.width() + 31) / 32 * 4 * size.height();
    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << type << quint16(1) << quint8(size.width()) << quint8(size.height()) << quint16(0)
        << quint16(hotspot.x()) << quint16(hotspot.y()) << quint32(40 + 4 * size.width() * size.height() + maskBytes)
        << quint32(22);
    out << quint32(40) << qint32(size.width()) << qint32(size.height() * 2) << quint16(1) << quint16(32);
    for (int i = 0; i < 6; ++i)
        out << quint32(0);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            out << quint32(x == y ? 0xffff0000 : 0x800000ff); // A R G B: a red diagonal on translucent blue
    out.writeRawData(QByteArray(maskBytes, '\0').constData(), maskBytes);
    return file;
}

// Delivered as the platform delivers a move without a pressed button, at a point of `widget`
// that none of its children covers: to that widget first, then on to its parents while ignored.
void moveOver(QWidget *widget)
{
    QPoint at;
    for (int y = 2; at.isNull() && y < widget->height(); y += 3)
        for (int x = 2; at.isNull() && x < widget->width(); x += 3)
            if (!widget->childAt(x, y))
                at = {x, y};
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

QWidget *control(Form1 &form, const QString &name)
{
    if (name == QLatin1String("Form1"))
        return &form;
    if (name.startsWith(QLatin1String("RichTextBox")))
        return form.findChild<PaneControl *>(name)->viewport();
    if (name.startsWith(QLatin1String("Frame")))
        return QList<QWidget *>{form.Frame1, form.Frame2, form.Frame3}.at(name.back().digitValue() - 1);
    return form.findChild<QWidget *>(name);
}

// The main window on fakes, with its program folder, where the pointer file may be put.
struct Harness
{
    Harness()
    {
        fake.programDirectory = folder.path();
        form = std::make_unique<Form1>(fake.platform());
    }
    bool showForm()
    {
        form->show();
        return QTest::qWaitForWindowExposed(form.get());
    }
    MousePointer &pointer() { return form->mousePointer(); }

    QTemporaryDir folder;
    FakePlatform fake;
    std::unique_ptr<Form1> form;
};

const QPoint kHand(-1, -1); // as the hotspot: no image, the pointing hand

} // namespace

class PointerTest : public QObject
{
    Q_OBJECT
private slots:
    void moveSetsTheShapeOfTheControlUnderThePointer_data();
    void moveSetsTheShapeOfTheControlUnderThePointer();
    void shapeCoversEveryControlOfTheWindowOnly_data();
    void shapeCoversEveryControlOfTheWindowOnly();
    void busyShapeWinsOverTheTextEnginesOwnPointer();
    void pointerFileAtStartUp_data();
    void pointerFileAtStartUp();
};

void PointerTest::moveSetsTheShapeOfTheControlUnderThePointer_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("hover"); // the shape the control's own handler asks for
    for (const char *name : {"PushButton1", "PushButton2", "PushButton3", "PushButton4", "PushButton5",
                             "PushButton6", "PushButton7", "PushButton9", "Check1"}) {
        QTest::addRow("%s shows the hand", name) << name << 0 << 99;
        QTest::addRow("%s leaves busy alone", name) << name << 11 << 99;
    }
    for (const char *name : {"Form1", "Frame1", "Frame2", "Frame3", "RichTextBox1", "RichTextBox2"}) {
        QTest::addRow("%s takes the hand away", name) << name << 99 << 0;
        QTest::addRow("%s leaves busy alone", name) << name << 11 << 0;
    }
}

void PointerTest::moveSetsTheShapeOfTheControlUnderThePointer()
{
    QFETCH(QString, target);
    QFETCH(int, before);
    QFETCH(int, hover);
    Harness h;
    QVERIFY(h.showForm());
    QWidget *widget = control(*h.form, target);
    h.pointer().setValue(before);
    QSignalSpy set(&h.pointer(), &MousePointer::changed);

    moveOver(widget);
    const bool busy = before == MousePointer::kBusy;
    QCOMPARE(h.pointer().value(), busy ? before : hover);
    // One handler, once: not the control's twice, nor its parent's after it.
    QCOMPARE(set.count(), busy ? 0 : 1);

    if (busy) {
        QCOMPARE(widget->cursor().shape(), Qt::WaitCursor);
        // The first move after the busy shape ends shows the control's shape at once.
        h.pointer().setValue(MousePointer::kDefault);
        moveOver(widget);
        QCOMPARE(h.pointer().value(), hover);
    }
    if (hover == MousePointer::kCustom)
        QCOMPARE(widget->cursor().shape(), Qt::PointingHandCursor);
}

void PointerTest::shapeCoversEveryControlOfTheWindowOnly_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("shape");
    QTest::newRow("busy") << 11 << int(Qt::WaitCursor);
    QTest::newRow("custom without an image") << 99 << int(Qt::PointingHandCursor);
}

void PointerTest::shapeCoversEveryControlOfTheWindowOnly()
{
    QFETCH(int, value);
    QFETCH(int, shape);
    Harness h;
    QDialog dialog(h.form.get());
    QList<QWidget *> controls = h.form->findChildren<QWidget *>();
    controls.removeAll(&dialog);
    controls << h.form.get();
    QHash<QWidget *, std::pair<Qt::CursorShape, bool>> own;
    for (QWidget *w : controls)
        own.insert(w, {w->cursor().shape(), w->testAttribute(Qt::WA_SetCursor)});

    h.pointer().setValue(value);
    for (QWidget *w : controls)
        QVERIFY2(w->cursor().shape() == shape, qPrintable(w->metaObject()->className() + w->objectName()));
    QVERIFY2(!dialog.testAttribute(Qt::WA_SetCursor), "a dialog of the window took the window's shape");

    h.pointer().setValue(MousePointer::kDefault);
    for (QWidget *w : controls) {
        // A window always counts as having a pointer of its own; only the shape tells there.
        const bool ownKept = w->isWindow() || w->testAttribute(Qt::WA_SetCursor) == own.value(w).second;
        QVERIFY2(w->cursor().shape() == own.value(w).first && ownKept,
                 qPrintable(w->metaObject()->className() + w->objectName() + " lost its own pointer"));
    }
}

void PointerTest::busyShapeWinsOverTheTextEnginesOwnPointer()
{
    Harness h;
    QVERIFY(h.showForm());
    QWidget *viewport = h.form->RichTextBox1->viewport();
    h.pointer().setValue(MousePointer::kBusy);
    moveOver(viewport);
    QCOMPARE(viewport->cursor().shape(), Qt::WaitCursor);
    // Once the busy shape ends, the pane shows the pointer its engine asked for in the meantime.
    h.pointer().setValue(MousePointer::kDefault);
    QCOMPARE(viewport->cursor().shape(), Qt::IBeamCursor);
}

void PointerTest::pointerFileAtStartUp_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("reported"); // at line 104, and start-up goes on
    QTest::addColumn<QPoint>("hotspot");
    const QByteArray valid = cursorFileBytes({16, 16}, {5, 9});
    QTest::newRow("absent") << "absent" << QByteArray() << false << kHand;
    QTest::newRow("cursor with hotspot") << "file" << valid << false << QPoint(5, 9);
    QTest::newRow("32 pixels, hotspot in a corner") << "file" << cursorFileBytes({32, 32}, {31, 0}) << false
                                                    << QPoint(31, 0);
    QTest::newRow("icon: hotspot at the centre") << "file" << cursorFileBytes({16, 16}, {0, 0}, 1) << false
                                                 << QPoint(7, 7);
    QTest::newRow("hotspot beyond the picture") << "file" << cursorFileBytes({16, 16}, {40, 3}) << false
                                                << QPoint(15, 3);
    QTest::newRow("truncated") << "file" << valid.left(valid.size() - 100) << true << kHand;
    QTest::newRow("not a cursor") << "file" << QByteArray("hand pointer\n") << true << kHand;
    QTest::newRow("folder of that name") << "folder" << QByteArray() << true << kHand;
}

void PointerTest::pointerFileAtStartUp()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, reported);
    QFETCH(QPoint, hotspot);
    Harness h;
    const QString path = h.folder.filePath(QStringLiteral("HAND-M.CUR"));
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(path));
    QFile file(path);
    if (kind == QLatin1String("file"))
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush());

    h.form->Form_Load();

    QCOMPARE(h.fake.messages.shown.size(), reported ? 1 : 0);
    if (reported)
        QVERIFY(h.fake.messages.shown.first().text.contains(QLatin1String("at line 104\r\r")));
    QCOMPARE(h.form->windowTitle(), QStringLiteral("Brassfinch"));
    h.pointer().setValue(MousePointer::kCustom);
    const Qt::CursorShape shape = hotspot == kHand ? Qt::PointingHandCursor : Qt::BitmapCursor;
    QCOMPARE(h.form->cursor().shape(), shape);
    QCOMPARE(h.form->PushButton1->cursor().shape(), shape);
    if (shape == Qt::BitmapCursor)
        QCOMPARE(h.form->cursor().hotSpot(), hotspot);

    // The window system tells the window whenever its native pointer is set, the hand included:
    // the default shape still comes back.
    QEvent notice(QEvent::CursorChange);
    QApplication::sendEvent(h.form.get(), &notice);
    h.pointer().setValue(MousePointer::kDefault);
    QCOMPARE(h.form->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(h.form->PushButton1->cursor().shape(), Qt::ArrowCursor);
}

QTEST_MAIN(PointerTest)
#include "tst_pointer.moc"
