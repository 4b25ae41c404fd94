#include "platform/failure.h"
#include "windowkit/programicon.h"

#include <QApplication>
#include <QtTest>

// Runs where Qt finds no plug-ins at all, as on a machine without the SVG plug-in.
class ProgramIconTest : public QObject
{
    Q_OBJECT
private slots:
    // An icon drawn from an SVG comes out empty from here on, even where the plug-in is installed.
    void initTestCase() { QCoreApplication::setLibraryPaths({}); }
    void iconWithoutTheSvgPlugin_data()
    {
        QTest::addColumn<int>("size");
        for (int size : {16, 24, 32, 48, 64, 128, 256})
            QTest::addRow("%dx%d", size, size) << size;
    }
    void iconWithoutTheSvgPlugin()
    {
        QFETCH(int, size);
        QIcon icon;
        try {
            icon = programIcon();
        } catch (const platform::Failure &failure) {
            QFAIL(qPrintable(failure.message()));
        }
        QVERIFY(icon.availableSizes().contains(QSize(size, size)));
        const QImage picture = icon.pixmap(size, size).toImage();
        QCOMPARE(picture.size(), QSize(size, size));
        QCOMPARE(qAlpha(picture.pixel(size / 4, size * 5 / 8)), 255); // drawn, not blank: the left page is opaque
    }
};

QTEST_MAIN(ProgramIconTest)
#include "tst_programicon.moc"
