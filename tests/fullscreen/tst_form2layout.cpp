#include "fullscreen/form2layout.h"

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
    // Client size and label height in twips; the panes' size and the right one's x in pixels.
    QTest::addColumn<float>("clientWidth");
    QTest::addColumn<float>("clientHeight");
    QTest::addColumn<float>("labelHeight");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("rightX");
    // 1280 x 1024 pixels: the panes end 105 twips (7 px) above the bottom.
    QTest::newRow("1280x1024") << 19200.f << 15360.f << 225.f << 624 << 985 << 640;
    QTest::newRow("taller label") << 19200.f << 15360.f << 450.f << 624 << 970 << 640;
    // Half a pixel is rounded, and the right pane follows the whole pixels the left one holds.
    QTest::newRow("odd width") << 19215.f << 15360.f << 225.f << 625 << 985 << 641;
    // Where the formulas reach zero and below, the panes shrink to nothing instead.
    QTest::newRow("exactly 480 wide") << 480.f << 15360.f << 225.f << 0 << 985 << 16;
    QTest::newRow("narrower than 480") << 300.f << 15360.f << 225.f << 0 << 985 << 16;
    QTest::newRow("lower than label and margin") << 19200.f << 450.f << 225.f << 624 << 0 << 640;
}

void TestForm2Layout::panesFillClientAreaWithoutNegativeSizes()
{
    QFETCH(float, clientWidth);
    QFETCH(float, clientHeight);
    QFETCH(float, labelHeight);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, rightX);
    const Form2PaneGeometry geometry = form2Layout(clientWidth, clientHeight, labelHeight);
    QCOMPARE(geometry.left, QRect(8, 32, width, height));
    QCOMPARE(geometry.right, QRect(rightX, 32, width, height));
}

QTEST_APPLESS_MAIN(TestForm2Layout)
#include "tst_form2layout.moc"
