#include "fullscreen/form2.h"

#include "compare/comparestate.h"
#include "fullscreen/form2layout.h"
#include "handlers/guardedhandler.h"
#include "panepair/panepair.h"
#include "platform/failure.h"
#include "platform/messageboxes.h"
#include "sync/scrollsynchroniser.h"
#include "textpane/panecontrol.h"
#include "windowkit/background.h"
#include "windowkit/programicon.h"
#include "windowkit/twips.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace {

constexpr int kEscape = 27;

const QString kNotGivenBack = QStringLiteral(
    "The texts could not be put back into the main window, so the full-screen view stays open "
    "with them. Press Escape to try again.\n\n");

void paint(QWidget *widget, const QColor &background, const QColor &text)
{
    paintBackground(widget, background);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, text);
    widget->setPalette(palette);
}

} // namespace

Form2::Form2(platform::MessageBoxes &messages, MainWindow main)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), m_messages(messages), m_main(std::move(main))
{
    buildLayout();
    // The find bar's Escape closes the bar, not the view.
    CompareState &compare = m_main.compare ? *m_main.compare : *new CompareState(this);
    m_synchroniser = &(new PanePair(this, RichTextBox1, RichTextBox2, m_main.switchState, compare))->synchroniser();

    Timer1 = new QTimer(this);
    Timer1->setInterval(ScrollSynchroniser::kTickInterval);
    connect(Timer1, &QTimer::timeout, this, &Form2::Timer1_Timer);
}

Form2::~Form2() = default;

void Form2::buildLayout()
{
    setWindowTitle(QStringLiteral("Form2"));
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setBold(true);
    setFont(font);
    // Only the background: a text colour set here would reach the panes' scroll bars too.
    paintBackground(this, Qt::black);
    resize(twipsToPixels(6870), twipsToPixels(5010));

    // The panes, scroll bars included, look as in the main window: every colour of the main
    // window's pane, even those it inherits there, is set here, so none comes from this window.
    QPalette mainPaneLook = m_main.left->palette();
    mainPaneLook.setResolveMask(~QPalette::ResolveMask(0));
    auto pane = [this, &mainPaneLook](const QString &name, float left) {
        auto *p = new PaneControl(this);
        p->setObjectName(name);
        p->setAccessibleName(name);
        p->setGeometry(twipsRect(left, 480, 3360, 4335));
        p->setPaper(Qt::white);
        p->setPalette(mainPaneLook);
        // Key preview: the window sees Escape before the pane that has the focus.
        p->installEventFilter(this);
        p->viewport()->installEventFilter(this);
        return p;
    };
    RichTextBox1 = pane(QStringLiteral("RichTextBox1"), 120);
    RichTextBox2 = pane(QStringLiteral("RichTextBox2"), 3600);

    Label1 = new QLabel(QStringLiteral("ESC To Exit"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twipsRect(120, 120, 960, 225));
    // This platform's Arial draws the caption a few pixels wider than the stored box; a clipped
    // "ESC To Exi" would hide the one hint the view gives.
    Label1->resize(std::max(Label1->width(), Label1->sizeHint().width()), Label1->height());
    Label1->setFocusPolicy(Qt::NoFocus);
    paint(Label1, Qt::black, QColor(0, 255, 0));

    setTabOrder(RichTextBox1, RichTextBox2);
}

void Form2::load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    m_givenBack[0] = m_givenBack[1] = false;
    Form_Load();
    Timer1->start();
    // The first control in the tab order takes the focus when the window is shown, and so leads.
    RichTextBox1->setFocus();
}

void Form2::Form_Load()
{
    GuardedHandler h = GuardedHandler::of(m_messages, staticMetaObject, __func__);
    h.step(100, [&] { setWindowIcon(programIcon()); });
}

void Form2::showOn(QScreen *screen)
{
    // The whole screen, panels included, on the main window's screen; the geometry holds where
    // no window manager carries out the full-screen state.
    if (screen) {
        setScreen(screen);
        setGeometry(screen->geometry());
    }
    showFullScreen();
}

void Form2::discard()
{
    if (!m_loaded)
        return;
    m_discarding = true;
    close();
    m_discarding = false;
}

bool Form2::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        Form_KeyPress(kEscape);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Form2::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        Form_KeyPress(kEscape);
    else
        QWidget::keyPressEvent(event);
}

void Form2::Form_KeyPress(int keyAscii)
{
    if (keyAscii != kEscape)
        return;
    runUnguarded(__func__, [this] {
        m_main.window->show();
        // Texts that could not go back keep the view open, with them.
        if (!close())
            m_main.window->hide();
    });
}

void Form2::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void Form2::Form_Resize()
{
    runUnguarded(__func__, [this] { placePanes(); });
}

void Form2::placePanes()
{
    const Form2PaneGeometry geometry = form2Layout(pixelsToTwips(width()), pixelsToTwips(height()),
                                                   pixelsToTwips(Label1->height()));
    RichTextBox1->setGeometry(geometry.left);
    RichTextBox2->setGeometry(geometry.right);
}

void Form2::closeEvent(QCloseEvent *event)
{
    event->setAccepted(Form_Unload());
}

bool Form2::Form_Unload()
{
    if (!m_loaded)
        return true;
    // A text that cannot go back (no memory for it in the main window) must not be lost with the
    // view: the view stays open with both texts, and says why.
    if (!m_discarding) {
        std::optional<QString> why;
        try {
            giveTextsBack();
        } catch (const platform::Failure &failure) {
            why = failure.message();
        } catch (const std::exception &failure) {
            why = QString::fromLocal8Bit(failure.what());
        }
        if (why) {
            runUnguarded(__func__, [&] {
                m_messages.show({kNotGivenBack + *why, QString(), platform::MessageIcon::Warning,
                                 platform::MessageButtons::Ok, platform::MessageAnswer::Ok});
            });
            return false;
        }
    }
    m_loaded = false;
    Timer1->stop();
    // Closing ends the view's on-screen life: its panes give back their copies of the texts.
    runUnguarded(__func__, [this] {
        RichTextBox1->setBytes({});
        RichTextBox2->setBytes({});
    });
    if (m_discarding)
        return true;
    // Escape has shown the main window already; any other way out must not leave the program
    // without a visible window.
    runUnguarded(__func__, [this] {
        if (!m_main.window->isVisible())
            m_main.window->show();
    });
    return true;
}

void Form2::giveTextsBack()
{
    // The panes here show the main window's documents themselves, so the texts are there
    // already; each pane lets go of its document, and says whether it was edited, once a visit.
    const std::pair<PaneControl *, PaneControl *> pairs[] = {{RichTextBox1, m_main.left}, {RichTextBox2, m_main.right}};
    for (int i = 0; i < 2; ++i) {
        if (m_givenBack[i])
            continue;
        const auto [own, main] = pairs[i];
        const bool edited = main->isModified() || own->isModified();
        if (own->sharedDocument() != main->sharedDocument())
            main->takeBytesOf(*own);
        else
            own->setBytes({});
        m_givenBack[i] = true;
        m_edited[i] = edited;
    }
    emit textsGivenBack(m_edited[0], m_edited[1]);
}

void Form2::Timer1_Timer()
{
    runUnguarded(__func__, [this] { m_synchroniser->tick(); });
}
