#include "textpane/textview.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

std::shared_ptr<TextDocument> documentOf(const QByteArray &bytes)
{
    auto document = std::make_shared<TextDocument>();
    document->insert(0, bytes);
    document->clearHistory();
    return document;
}

// A shown, focused view of `bytes`.
std::unique_ptr<TextView> shownView(const QByteArray &bytes, QSize size = QSize(400, 200))
{
    auto view = std::make_unique<TextView>();
    QFont font(QStringLiteral("Arial"), 9);
    font.setBold(true);
    view->setFont(font);
    view->setDocument(documentOf(bytes));
    view->resize(size);
    view->show();
    view->activateWindow();
    view->setFocus();
    if (!QTest::qWaitForWindowActive(view.get()))
        qWarning("the view's window did not become active");
    return view;
}

} // namespace

class TestTextView : public QObject
{
    Q_OBJECT
private slots:
    void screenshot();
};

void TestTextView::screenshot()
{
    static const char text[] = "tab\there\tand\tthere\n"
                               "nul\0here, esc \x1b, del \x7f\n"
                                     "stray \xE9 and \xFF\xFE bytes\n"
                                     "emoji \xF0\x9F\x98\x80 and e\xCC\x81 combined\n"
                                     "arabic \xD8\xA7\xD9\x84\xD8\xB9\xD8\xB1\xD8\xA8\xD9\x8A\xD8\xA9 text\n"
                                     "hebrew \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D and CJK \xE4\xB8\xAD\xE6\x96\x87\n";
    auto view = shownView(QByteArray(text, sizeof text - 1), QSize(420, 160));
    view->editor().setSelection(30, 60);
    view->viewport()->update();
    QTest::qWait(50);
    QVERIFY(view->grab().save(qEnvironmentVariable("BRASSFINCH_SHOT", QStringLiteral("/dev/null")), "PNG"));
}

QTEST_MAIN(TestTextView)
#include "tst_textview.moc"
