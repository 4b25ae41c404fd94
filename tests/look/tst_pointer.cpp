#include "fakeplatform.h"
#include "form1.h"
#include "mousepointer.h"
#include "panecontrol.h"
#include "windowpointer.h"

#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <memory>

namespace {

// A small cursor file made here: one 32-bit image of `size`, stored bottom-up with its
// transparency mask, behind the directory header and its single entry.
QByteArray cursorFileBytes(QSize size, QPoint hotspot, quint16 type = 2)
{
    QByteArray image;
    auto put16 = [](QByteArray &out, quint16 v) { out.append(char(v & 0xff)).append(char(v >> 8)); };
    auto put32 = [&](QByteArray &out, quint32 v) { put16(out, quint16(v)); put16(out, quint16(v >> 16)); };
    put32(image, 40);
    put32(image, quint32(size.width()));
    put32(image, quint32(size.height() * 2));
    put16(image, 1);
    put16(image, 32);
    for (int i = 0; i < 6; ++i)
        put32(image, 0);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.append(QByteArray::fromHex(x == y ? "0000ffff" : "ff000080")); // B G R A
    const int maskRow = (size.width() + 31) / 32 * 4;
    image.append(QByteArray(maskRow * size.height(), '\0'));

    QByteArray file;
    put16(file, 0);
    put16(file, type);
    put16(file, 1);
    file.append(char(size.width())).append(char(size.height())).append('\0').append('\0');
    put16(file, quint16(hotspot.x()));
    put16(file, quint16(hotspot.y()));
    put32(file, quint32(image.size()));
    put32(file, 22);
    return file + image;
}

// A point of `widget` that none of its children covers.
QPoint uncoveredPoint(QWidget *widget)
{
    for (int y = 2; y < widget->height(); y += 3)
        for (int x = 2; x < widget->width(); x += 3)
            if (!widget->childAt(x, y))
                return {x, y};
    return {};
}

// Delivered as the platform delivers a move without a pressed button: to the widget under the
// pointer first, then on to its parents while ignored.
void moveOver(QWidget *widget)
{
    const QPoint at = uncoveredPoint(widget);
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

struct Harness
{
    QTemporaryDir folder;
    FakePlatform fake;
    std::unique_ptr<Form1> form;

    Harness()
    {
        fake.programDirectory = folder.path();
        form = std::make_unique<Form1>(fake.platform());
    }
    void writePointerFile(const QByteArray &bytes)
    {
        QFile file(folder.filePath(QStringLiteral("HAND-M.CUR")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QList<int> reportedLines() const
    {
        QList<int> lines;
        static const QRegularExpression atLine(QStringLiteral("at line (\\d+)\\r\\r"));
        for (const auto &request : fake.messages.shown)
            lines << atLine.match(request.text).captured(1).toInt();
        return lines;
    }
};

const QStringList kButtons{QStringLiteral("PushButton1"), QStringLiteral("PushButton2"),
                           QStringLiteral("PushButton3"), QStringLiteral("PushButton4"),
                           QStringLiteral("PushButton5"), QStringLiteral("PushButton6"),
                           QStringLiteral("PushButton7"), QStringLiteral("PushButton9"),
                           QStringLiteral("Check1")};
const QStringList kPlainAreas{QStringLiteral("Form1"), QStringLiteral("Frame1"),
                              QStringLiteral("Frame2"), QStringLiteral("Frame3"),
                              QStringLiteral("RichTextBox1"), QStringLiteral("RichTextBox2")};

} // namespace

class PointerTest : public QObject
{
    Q_OBJECT
private slots:
    void moveSetsTheShapeOfTheControlUnderThePointer_data();
    void moveSetsTheShapeOfTheControlUnderThePointer();
    void handShowsOnTheFirstMoveAfterTheBusyShapeEnds();
    void shapeCoversEveryControlOfTheWindowOnly_data();
    void shapeCoversEveryControlOfTheWindowOnly();
    void busyShapeWinsOverTheTextEnginesOwnPointer();
    void defaultShapeComesBackAfterTheWindowHearsOfTheHand();
    void pointerFileAtStartUp_data();
    void pointerFileAtStartUp();
};

void PointerTest::moveSetsTheShapeOfTheControlUnderThePointer_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    for (const QString &name : kButtons) {
        QTest::addRow("%s shows the hand", qPrintable(name)) << name << 0 << 99;
        QTest::addRow("%s leaves busy alone", qPrintable(name)) << name << 11 << 11;
    }
    for (const QString &name : kPlainAreas) {
        QTest::addRow("%s takes the hand away", qPrintable(name)) << name << 99 << 0;
        QTest::addRow("%s leaves busy alone", qPrintable(name)) << name << 11 << 11;
    }
}

void PointerTest::moveSetsTheShapeOfTheControlUnderThePointer()
{
    QFETCH(QString, target);
    QFETCH(int, before);
    QFETCH(int, after);
    Harness h;
    h.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.form.get()));
    h.form->mousePointer().setValue(before);
    QSignalSpy set(&h.form->mousePointer(), &MousePointer::changed);

    moveOver(control(*h.form, target));

    QCOMPARE(h.form->mousePointer().value(), after);
    // One handler, once: not the control's twice, nor its parent's after it.
    QCOMPARE(set.count(), before == MousePointer::kBusy ? 0 : 1);
}

void PointerTest::handShowsOnTheFirstMoveAfterTheBusyShapeEnds()
{
    Harness h;
    h.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.form.get()));
    h.form->mousePointer().setValue(MousePointer::kBusy);
    moveOver(h.form->PushButton3);
    QCOMPARE(h.form->PushButton3->cursor().shape(), Qt::WaitCursor);

    h.form->mousePointer().setValue(MousePointer::kDefault);
    moveOver(h.form->PushButton3);

    QCOMPARE(h.form->mousePointer().value(), int(MousePointer::kCustom));
    QCOMPARE(h.form->PushButton3->cursor().shape(), Qt::PointingHandCursor);
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
    QHash<QWidget *, Qt::CursorShape> own;
    QSet<QWidget *> ownSet;
    for (QWidget *w : controls) {
        own.insert(w, w->cursor().shape());
        if (w->testAttribute(Qt::WA_SetCursor))
            ownSet << w;
    }

    h.form->mousePointer().setValue(value);
    for (QWidget *w : controls)
        QVERIFY2(w->cursor().shape() == shape, qPrintable(w->metaObject()->className() + w->objectName()));
    QVERIFY2(!dialog.testAttribute(Qt::WA_SetCursor), "a dialog of the window took the window's shape");

    h.form->mousePointer().setValue(MousePointer::kDefault);
    for (QWidget *w : controls) {
        // A window always counts as having a pointer of its own; only the shape tells there.
        const bool ownKept = w->isWindow() || w->testAttribute(Qt::WA_SetCursor) == ownSet.contains(w);
        QVERIFY2(w->cursor().shape() == own.value(w) && ownKept,
                 qPrintable(QStringLiteral("%1 %2 lost its own pointer")
                                .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName())));
    }
}

void PointerTest::busyShapeWinsOverTheTextEnginesOwnPointer()
{
    Harness h;
    h.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.form.get()));
    QWidget *viewport = h.form->RichTextBox1->viewport();
    h.form->mousePointer().setValue(MousePointer::kBusy);

    moveOver(viewport);
    QCOMPARE(viewport->cursor().shape(), Qt::WaitCursor);

    // Once the busy shape ends, the pane shows the pointer its engine asked for in the meantime.
    h.form->mousePointer().setValue(MousePointer::kDefault);
    QCOMPARE(viewport->cursor().shape(), Qt::IBeamCursor);
}

void PointerTest::defaultShapeComesBackAfterTheWindowHearsOfTheHand()
{
    Harness h;
    h.writePointerFile(cursorFileBytes({32, 32}, {6, 2}));
    h.form->Form_Load();
    h.form->mousePointer().setValue(MousePointer::kCustom);
    QCOMPARE(h.form->cursor().shape(), Qt::BitmapCursor);

    // The window system tells the window whenever its native pointer is set, the hand included.
    QEvent notice(QEvent::CursorChange);
    QApplication::sendEvent(h.form.get(), &notice);
    h.form->mousePointer().setValue(MousePointer::kDefault);

    QCOMPARE(h.form->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(h.form->PushButton1->cursor().shape(), Qt::ArrowCursor);
}

void PointerTest::pointerFileAtStartUp_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<int>>("reports");
    QTest::addColumn<int>("shape");
    QTest::addColumn<QPoint>("hotspot");
    const QByteArray valid = cursorFileBytes({16, 16}, {5, 9});
    QTest::newRow("absent") << "absent" << QByteArray() << QList<int>{} << int(Qt::PointingHandCursor) << QPoint();
    QTest::newRow("cursor with hotspot") << "file" << valid << QList<int>{} << int(Qt::BitmapCursor) << QPoint(5, 9);
    QTest::newRow("32 pixel cursor") << "file" << cursorFileBytes({32, 32}, {31, 0}) << QList<int>{}
                                     << int(Qt::BitmapCursor) << QPoint(31, 0);
    QTest::newRow("icon: hotspot at the centre") << "file" << cursorFileBytes({16, 16}, {0, 0}, 1)
                                                 << QList<int>{} << int(Qt::BitmapCursor) << QPoint(7, 7);
    QTest::newRow("hotspot beyond the picture") << "file" << cursorFileBytes({16, 16}, {40, 3})
                                                << QList<int>{} << int(Qt::BitmapCursor) << QPoint(15, 3);
    QTest::newRow("truncated") << "file" << valid.left(valid.size() - 100) << QList<int>{104}
                               << int(Qt::PointingHandCursor) << QPoint();
    QTest::newRow("not a cursor") << "file" << QByteArray("hand pointer\n") << QList<int>{104}
                                  << int(Qt::PointingHandCursor) << QPoint();
    QTest::newRow("folder of that name") << "folder" << QByteArray() << QList<int>{104}
                                         << int(Qt::PointingHandCursor) << QPoint();
}

void PointerTest::pointerFileAtStartUp()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(QList<int>, reports);
    QFETCH(int, shape);
    QFETCH(QPoint, hotspot);
    Harness h;
    if (kind == QLatin1String("file"))
        h.writePointerFile(bytes);
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir(h.folder.path()).mkdir(QStringLiteral("HAND-M.CUR")));

    h.form->Form_Load();

    QCOMPARE(h.reportedLines(), reports);
    QCOMPARE(h.form->windowTitle(), QStringLiteral("Brassfinch")); // start-up went on
    h.form->mousePointer().setValue(MousePointer::kCustom);
    QCOMPARE(int(h.form->cursor().shape()), shape);
    QCOMPARE(int(h.form->PushButton1->cursor().shape()), shape);
    if (shape == Qt::BitmapCursor)
        QCOMPARE(h.form->cursor().hotSpot(), hotspot);
}

QTEST_MAIN(PointerTest)
#include "tst_pointer.moc"
