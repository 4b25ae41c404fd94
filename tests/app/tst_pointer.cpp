#include "app/form1.h"
#include "handlers/mousepointer.h"
#include "tests/support/fakeplatform.h"
#include "textpane/panecontrol.h"

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
    const quint32 imageBytes = 40 + 4 * size.width() * size.height() + maskBytes;
    out << quint16(0) << type << quint16(1) << quint8(size.width()) << quint8(size.height()) << quint16(0)
        << quint16(hotspot.x()) << quint16(hotspot.y()) << imageBytes << quint32(22);
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
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
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
};

void PointerTest::moveSetsTheShapeOfTheControlUnderThePointer_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("hover"); // the shape the control's own handler asks for
    QTest::addColumn<Qt::CursorShape>("own"); // the control's own pointer, back when busy ends
    for (const char *name : {"PushButton1", "PushButton2", "PushButton3", "PushButton4", "PushButton5",
                             "PushButton6", "PushButton7", "PushButton9", "Check1"}) {
        QTest::addRow("%s shows the hand", name) << name << 0 << 99 << Qt::ArrowCursor;
        QTest::addRow("%s leaves busy alone", name) << name << 11 << 99 << Qt::ArrowCursor;
    }
    for (const char *name : {"Form1", "Frame1", "Frame2", "Frame3", "RichTextBox1", "RichTextBox2"}) {
        // The text engine sets its own pointer as the pointer moves, even under the busy shape.
        const Qt::CursorShape own = QByteArray(name).startsWith("Rich") ? Qt::IBeamCursor : Qt::ArrowCursor;
        QTest::addRow("%s takes the hand away", name) << name << 99 << 0 << own;
        QTest::addRow("%s leaves busy alone", name) << name << 11 << 0 << own;
    }
}

void PointerTest::moveSetsTheShapeOfTheControlUnderThePointer()
{
    QFETCH(QString, target);
    QFETCH(int, before);
    QFETCH(int, hover);
    const auto beforeShape = PointerShape(before);
    const auto hoverShape = PointerShape(hover);
    QFETCH(Qt::CursorShape, own);
    Harness h;
    h.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.form.get()));
    QWidget *widget = control(*h.form, target);
    h.pointer().setValue(beforeShape);
    QSignalSpy set(&h.pointer(), &MousePointer::changed);

    moveOver(widget);
    const bool busy = beforeShape == PointerShape::Busy;
    QCOMPARE(h.pointer().value(), busy ? beforeShape : hoverShape);
    // One handler, once: not the control's twice, nor its parent's after it.
    QCOMPARE(set.count(), busy ? 0 : 1);

    if (busy) {
        QCOMPARE(widget->cursor().shape(), Qt::WaitCursor);
        h.pointer().setValue(PointerShape::Default);
        QCOMPARE(widget->cursor().shape(), own);
        // The first move after the busy shape ends shows the control's shape at once.
        moveOver(widget);
        QCOMPARE(h.pointer().value(), hoverShape);
    }
    if (hoverShape == PointerShape::Custom)
        QCOMPARE(widget->cursor().shape(), Qt::PointingHandCursor);
}

void PointerTest::shapeCoversEveryControlOfTheWindowOnly_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("reported"); // at line 104, and start-up goes on
    QTest::addColumn<QPoint>("hotspot");
    QTest::addColumn<QString>("kind"); // the pointer file: absent, a folder, or a file of `bytes`
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray valid = cursorFileBytes({16, 16}, {5, 9});
    QTest::newRow("busy") << 11 << false << kHand << "absent" << QByteArray();
    QTest::newRow("custom, no pointer file") << 99 << false << kHand << "absent" << QByteArray();
    QTest::newRow("32 pixels, hotspot in a corner") << 99 << false << QPoint(31, 0) << "file"
                                                    << cursorFileBytes({32, 32}, {31, 0});
    QTest::newRow("icon: hotspot at the centre") << 99 << false << QPoint(7, 7) << "file"
                                                 << cursorFileBytes({16, 16}, {0, 0}, 1);
    QTest::newRow("hotspot beyond the picture") << 99 << false << QPoint(15, 3) << "file"
                                                << cursorFileBytes({16, 16}, {40, 3});
    QTest::newRow("truncated") << 99 << true << kHand << "file" << valid.left(valid.size() - 100);
    QTest::newRow("not a cursor") << 99 << true << kHand << "file" << QByteArray("hand pointer\n");
    QTest::newRow("folder of that name") << 99 << true << kHand << "folder" << QByteArray();
}

void PointerTest::shapeCoversEveryControlOfTheWindowOnly()
{
    QFETCH(int, value);
    QFETCH(bool, reported);
    QFETCH(QPoint, hotspot);
    QFETCH(QString, kind);
    QFETCH(QByteArray, bytes);
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

    QDialog dialog(h.form.get());
    QList<QWidget *> controls = h.form->findChildren<QWidget *>();
    controls.removeAll(&dialog);
    controls << h.form.get();
    QHash<QWidget *, std::pair<Qt::CursorShape, bool>> own;
    for (QWidget *w : controls)
        own.insert(w, {w->cursor().shape(), w->testAttribute(Qt::WA_SetCursor)});
    const Qt::CursorShape shape = PointerShape(value) == PointerShape::Busy ? Qt::WaitCursor
                                  : hotspot == kHand           ? Qt::PointingHandCursor
                                                               : Qt::BitmapCursor;
    h.pointer().setValue(PointerShape(value));
    for (QWidget *w : controls)
        QVERIFY2(w->cursor().shape() == shape, qPrintable(w->metaObject()->className() + w->objectName()));
    QVERIFY2(!dialog.testAttribute(Qt::WA_SetCursor), "a dialog of the window took the window's shape");
    if (shape == Qt::BitmapCursor)
        QCOMPARE(h.form->cursor().hotSpot(), hotspot);

    // The window system tells the window whenever its native pointer is set, the hand included;
    // each control still gets its own pointer back with the default shape.
    QEvent notice(QEvent::CursorChange);
    QApplication::sendEvent(h.form.get(), &notice);
    h.pointer().setValue(PointerShape::Default);
    for (QWidget *w : controls) {
        // A window always counts as having a pointer of its own; only the shape tells there.
        const bool ownKept = w->isWindow() || w->testAttribute(Qt::WA_SetCursor) == own.value(w).second;
        QVERIFY2(w->cursor().shape() == own.value(w).first && ownKept,
                 qPrintable(w->metaObject()->className() + w->objectName() + " lost its own pointer"));
    }
}

QTEST_MAIN(PointerTest)
#include "tst_pointer.moc"
