#include "form2layout.h"

#include <QTest>

class TestForm2Layout : public QObject
{
    Q_OBJECT
private slots:
    void panesFillClientAreaWithoutNegativeSizes_data();
    void panesFillClientAreaWithoutNegativeSizes();
};

void TestForm2Layout::panesFillClientAreaWithoutNegativeSizes_data()
{
    // Client size and label height in twips; expected panes in pixels.
    QTest::addColumn<float>("clientWidth");
    QTest::addColumn<float>("clientHeight");
    QTest::addColumn<float>("labelHeight");
    QTest::addColumn<QRect>("left");
    QTest::addColumn<QRect>("right");

    // 1280 x 1024 pixels: panes 624 wide, the right one from 640; both end 105 twips (7 px) above the bottom.
    QTest::newRow("1280x1024") << 19200.0f << 15360.0f << 225.0f
                               << QRect(8, 32, 624, 985) << QRect(640, 32, 624, 985);
    QTest::newRow("1920x1080") << 28800.0f << 16200.0f << 225.0f
                               << QRect(8, 32, 944, 1041) << QRect(960, 32, 944, 1041);
    QTest::newRow("stored size") << 6870.0f << 5010.0f << 225.0f
                                 << QRect(8, 32, 213, 295) << QRect(229, 32, 213, 295);
    // An odd pixel width: half a pixel is rounded, and the right pane follows what the left one holds.
    QTest::newRow("odd width") << 19215.0f << 15360.0f << 225.0f
                               << QRect(8, 32, 625, 985) << QRect(641, 32, 625, 985);
    QTest::newRow("taller label") << 19200.0f << 15360.0f << 450.0f
                                  << QRect(8, 32, 624, 970) << QRect(640, 32, 624, 970);
    // Where the formulas reach zero and below, the panes shrink to nothing instead.
    QTest::newRow("exactly 480 wide") << 480.0f << 15360.0f << 225.0f
                                      << QRect(8, 32, 0, 985) << QRect(16, 32, 0, 985);
    QTest::newRow("narrower than 480") << 300.0f << 15360.0f << 225.0f
                                       << QRect(8, 32, 0, 985) << QRect(16, 32, 0, 985);
    QTest::newRow("lower than label and margin") << 19200.0f << 450.0f << 225.0f
                                                 << QRect(8, 32, 624, 0) << QRect(640, 32, 624, 0);
    QTest::newRow("no client area") << 0.0f << 0.0f << 225.0f
                                    << QRect(8, 32, 0, 0) << QRect(16, 32, 0, 0);
}

void TestForm2Layout::panesFillClientAreaWithoutNegativeSizes()
{
    QFETCH(float, clientWidth);
    QFETCH(float, clientHeight);
    QFETCH(float, labelHeight);
    QFETCH(QRect, left);
    QFETCH(QRect, right);

    const Form2PaneGeometry geometry = form2Layout(clientWidth, clientHeight, labelHeight);
    QCOMPARE(geometry.left, left);
    QCOMPARE(geometry.right, right);
}

QTEST_APPLESS_MAIN(TestForm2Layout)
#include "tst_form2layout.moc"
