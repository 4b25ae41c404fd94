#include "app/form1.h"

#include "app/actiongate.h"
#include "app/cursorfile.h"
#include "app/filedrop.h"
#include "app/hoverfeedback.h"
#include "app/skinframework.h"
#include "app/startup.h"
#include "app/visualtheme.h"
#include "app/windowpointer.h"
#include "compare/comparestate.h"
#include "fullscreen/form2.h"
#include "panepair/panepair.h"
#include "handlers/errorreport.h"
#include "handlers/guardedhandler.h"
#include "panes/fileexists.h"
#include "panes/paneactions.h"
#include "panes/panefilestatus.h"
#include "panes/panefollower.h"
#include "platform/applicationtitle.h"
#include "platform/memoryroom.h"
#include "platform/regularfile.h"
#include "sync/scrollsynchroniser.h"
#include "sync/syncswitch.h"
#include "textpane/panecontrol.h"
#include "windowkit/background.h"
#include "windowkit/programicon.h"
#include "windowkit/twips.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace {

// The hand pointer's image, optional, beside the program.
QString pointerFile(const QString &programDirectory)
{
    return programDirectory + QStringLiteral("/HAND-M.CUR");
}


QFont arialBold(qreal points)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

} // namespace

Form1::Form1(const platform::Platform &platform, QWidget *parent)
    : QWidget(parent), CommonDialog1(platform.dialogs), m_platform(platform),
      m_endProgram([] { QCoreApplication::exit(0); })
{
    buildLayout();
    m_paneActions = std::make_unique<PaneActions>(m_platform, m_pointer, CommonDialog1);
    connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, [this] { PushButton3_Click(); });
    connect(PushButton4, &QPushButton::clicked, this, [this] { PushButton4_Click(); });
    connect(PushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form1::PushButton6_Click);
    connect(PushButton7, &QPushButton::clicked, this, &Form1::PushButton7_Click);
    connect(PushButton9, &QPushButton::clicked, this, &Form1::PushButton9_Click);
    m_switch = new SyncSwitch(Check1, m_platform.settings, this);
    connect(m_switch, &SyncSwitch::changed, this, &Form1::Check1_Click);
    m_windowPointer = new WindowPointer(m_pointer, this);
    SkinFramework1 = new SkinFramework(m_platform.files, this);
    routeHoverFeedback();
    m_compare = new CompareState(this);
    m_panePair = new PanePair(this, RichTextBox1, RichTextBox2, [this] { return m_switch->state(); }, *m_compare);
    m_synchroniser = &m_panePair->synchroniser();
    connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);

    // Which file each pane shows, on its frame and on the pane, for the pointer and screen readers.
    for (auto [frame, pane] : {std::pair{Frame1, RichTextBox1}, std::pair{Frame3, RichTextBox2}}) {
        auto *status = new PaneFileStatus(*pane);
        connect(status, &PaneFileStatus::changed, this,
                [this, frame, pane](const QString &description) { showFileStatus(frame, pane, description); });
        showFileStatus(frame, pane, status->description());
        followFile(*pane, *status);
    }
    m_gate = std::make_unique<ActionGate>(
        this, QList<QWidget *>{PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton6,
                               PushButton7, PushButton9, Check1});
    auto *drops = new FileDrops([this](const QList<QUrl> &urls, DropTarget target) { filesDropped(urls, target); },
                                [this] { return !m_gate->isBusy(); }, this);
    // The text area receives drops over the text, the pane those over its scroll bars.
    drops->watch(this, DropTarget::Window);
    for (QWidget *left : {static_cast<QWidget *>(Frame1), static_cast<QWidget *>(RichTextBox1), RichTextBox1->viewport()})
        drops->watch(left, DropTarget::LeftPane);
    for (QWidget *right : {static_cast<QWidget *>(Frame3), static_cast<QWidget *>(RichTextBox2), RichTextBox2->viewport()})
        drops->watch(right, DropTarget::RightPane);

    Timer1 = new QTimer(this);
    Timer1->setInterval(ScrollSynchroniser::kTickInterval);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    Timer1->start();
}

Form1::~Form1() = default;

void Form1::buildLayout()
{
    setWindowTitle(QStringLiteral("Form1"));
    setFixedSize(twipsToPixels(8040), twipsToPixels(8070));
    setFont(arialBold(9));
    paintBackground(this, Qt::white);

    const QFont buttonFont = arialBold(11.25);

    auto frame = [this](const QString &name, const QString &caption, QRect geometry) {
        auto *box = new QGroupBox(caption, this);
        box->setObjectName(name);
        box->setGeometry(geometry);
        box->setFocusPolicy(Qt::NoFocus);
        box->setAccessibleName(caption);
        paintBackground(box, Qt::white);
        return box;
    };
    auto pane = [](QGroupBox *parentFrame, const QString &name) {
        auto *p = new PaneControl(parentFrame);
        p->setObjectName(name);
        p->setAccessibleName(parentFrame->title());
        p->setGeometry(twipsRect(240, 300, 3360, 4335));
        return p;
    };
    auto button = [this, &buttonFont](const QString &name, const QString &caption, int left, int top) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAccessibleName(caption);
        b->setGeometry(twipsRect(left, top, 3840, 405));
        b->setFont(buttonFont);
        b->setAutoDefault(false);
        QPalette palette = b->palette();
        palette.setColor(QPalette::Button, Qt::white);
        b->setPalette(palette);
        return b;
    };

    // Stored order: children follow their frame.
    Frame2 = frame(QStringLiteral("Frame2"), QStringLiteral("Down Arrow Sync Option"), twipsRect(120, 7050, 7800, 885));
    Check1 = new QCheckBox(QStringLiteral("Synchronous Scrolling is x"), Frame2);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setGeometry(twipsRect(240, 300, 7335, 400));
    Check1->setFont(buttonFont);
    paintBackground(Check1, palette().color(QPalette::Button));

    Frame1 = frame(QStringLiteral("Frame1"), QStringLiteral("Text File #1"), twipsRect(120, 120, 3840, 4815));
    RichTextBox1 = pane(Frame1, QStringLiteral("RichTextBox1"));
    Frame3 = frame(QStringLiteral("Frame3"), QStringLiteral("Text File #2"), twipsRect(4080, 120, 3840, 4815));
    RichTextBox2 = pane(Frame3, QStringLiteral("RichTextBox2"));

    PushButton3 = button(QStringLiteral("PushButton3"), QStringLiteral("Open File 1"), 120, 5050);
    PushButton2 = button(QStringLiteral("PushButton2"), QStringLiteral("Save File 1"), 120, 5560);
    PushButton4 = button(QStringLiteral("PushButton4"), QStringLiteral("Open File 2"), 4080, 5050);
    PushButton5 = button(QStringLiteral("PushButton5"), QStringLiteral("Save File 2"), 4080, 5560);
    PushButton1 = button(QStringLiteral("PushButton1"), QStringLiteral("Show Full Screen"), 4080, 6580);
    PushButton7 = button(QStringLiteral("PushButton7"), QStringLiteral("Clear File 1"), 120, 6070);
    PushButton9 = button(QStringLiteral("PushButton9"), QStringLiteral("Load Sample/Example Files"), 120, 6580);
    PushButton6 = button(QStringLiteral("PushButton6"), QStringLiteral("Clear File 2"), 4080, 6070);

    // Keyboard order, by ascending tab index.
    const QList<QWidget *> order{RichTextBox1, RichTextBox2, PushButton3, PushButton4, PushButton2,
                                 PushButton5, PushButton7, PushButton9, PushButton1, PushButton6, Check1};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    RichTextBox1->setFocus();
}

GuardedHandler Form1::guarded(const char *handler)
{
    return GuardedHandler::of(m_platform.messages, staticMetaObject, handler);
}

void Form1::act(const char *handler, const std::function<void(GuardedHandler &)> &action)
{
    m_gate->run([&] {
        GuardedHandler h = guarded(handler);
        action(h);
    });
}

void Form1::Form_Load()
{
    GuardedHandler h = guarded(__func__);
    h.step(100, [&] { applyVisualTheme(); });
    if (h.test(102, [&] { return pointerFileExists(); }))
        h.step(104, [&] { loadPointerImage(); });
    h.step(106, [&] {
        if (homePageDrawn(m_platform.random, m_platform.clock))
            m_platform.shell.openUrl(kHomePage);
    });
    h.step(108, [&] { setWindowTitle(kProductName); });
    h.step(108, [&] { setWindowIcon(programIcon()); });
    h.step(108, [&] { platform::setApplicationTitle(applicationTitleFor(kProductName)); });
    h.step(126, [&] { RichTextBox1->setBytes({}); });
    h.step(128, [&] { RichTextBox2->setBytes({}); });
    h.step(130, [&] { m_switch->restore(); });
    if (h.test(132, [&] { return m_switch->state() == SwitchState::On; }))
        h.step(134, [&] { m_switch->showOnCaption(); });
    else
        h.step(136, [&] { m_switch->showOffCaption(); });
}

// The buttons' handlers: each names itself once, as the function it is, and hands its guarded
// handler to the action behind it.
void Form1::PushButton3_Click(const QStringList &named)
{
    act(__func__, [&](GuardedHandler &h) { m_paneActions->open(h, *RichTextBox1, kOpenFile1Lines, named); });
}

void Form1::PushButton4_Click(const QStringList &named)
{
    act(__func__, [&](GuardedHandler &h) { m_paneActions->open(h, *RichTextBox2, kOpenFile2Lines, named); });
}

void Form1::PushButton2_Click()
{
    act(__func__, [&](GuardedHandler &h) { m_paneActions->save(h, *RichTextBox1); });
}

void Form1::PushButton5_Click()
{
    act(__func__, [&](GuardedHandler &h) { m_paneActions->save(h, *RichTextBox2); });
}

void Form1::PushButton7_Click()
{
    act(__func__, [&](GuardedHandler &h) { m_paneActions->clear(h, *RichTextBox1); });
}

void Form1::PushButton6_Click()
{
    act(__func__, [&](GuardedHandler &h) { m_paneActions->clear(h, *RichTextBox2); });
}

void Form1::PushButton9_Click()
{
    act(__func__, [&](GuardedHandler &h) { m_paneActions->loadSamples(h, *RichTextBox1, *RichTextBox2); });
}

void Form1::Check1_Click()
{
    runUnguarded(__func__, [this] { m_switch->record(); });
}

void Form1::filesDropped(const QList<QUrl> &urls, DropTarget target)
{
    runUnguarded(__func__, [&] {
        const DropPlan plan = planDrop(urls, target, platform::isFolder);
        if (!plan.refusal.isEmpty()) {
            m_platform.messages.show({plan.refusal, QString(), platform::MessageIcon::Warning,
                                      platform::MessageButtons::Ok, platform::MessageAnswer::Ok});
            return;
        }
        if (!plan.left.isEmpty())
            PushButton3_Click({plan.left});
        if (!plan.right.isEmpty())
            PushButton4_Click({plan.right});
    });
}

PaneFileStatus &Form1::fileStatus(int pane) const
{
    return *PaneFileStatus::of(pane == 1 ? *RichTextBox1 : *RichTextBox2);
}

void Form1::followFile(PaneControl &pane, PaneFileStatus &status)
{
    // A reload waits for, and holds off, the window's other actions, as an open does.
    auto *follower = new PaneFollower(pane, status, m_platform.files, &m_platform.progress,
                                      {[this](const std::function<void()> &reload) { return m_gate->run(reload); },
                                       [this] { return m_gate->isBusy(); }});
    // The full-screen view shows this pane's document: a reload gives the pane a new one.
    connect(follower, &PaneFollower::reloaded, this, [this, &pane] {
        if (!m_fullScreen || !m_fullScreen->isLoaded())
            return;
        PaneControl *shown = &pane == RichTextBox1 ? m_fullScreen->RichTextBox1 : m_fullScreen->RichTextBox2;
        const PanePlace place = placeOf(*shown);
        shown->shareDocumentOf(pane);
        restorePlace(*shown, place);
    });
}

void Form1::showFileStatus(QWidget *frame, PaneControl *pane, const QString &description)
{
    // The pointer rests on the pane's text area, which is a widget of its own.
    for (QWidget *widget : {frame, static_cast<QWidget *>(pane), pane->viewport()}) {
        widget->setToolTip(description);
        widget->setAccessibleDescription(description);
    }
}

void Form1::applyVisualTheme()
{
    applyTheme(this, *SkinFramework1, m_platform.files, m_platform.programDirectory);
}

bool Form1::pointerFileExists() const
{
    return FileExists(m_platform.files, pointerFile(m_platform.programDirectory));
}

void Form1::loadPointerImage()
{
    const QString path = pointerFile(m_platform.programDirectory);
    const QByteArray bytes = platform::namingFile(path, [&] { return m_platform.files.readAll(path, kCursorFileSizeLimit); });
    m_windowPointer->setCustomCursor(toCursor(readCursorImage(bytes)));
}

void Form1::routeHoverFeedback()
{
    auto *hover = new HoverFeedback(this);
    hover->route(PushButton1, [this] { PushButton1_MouseMove(); });
    hover->route(PushButton2, [this] { PushButton2_MouseMove(); });
    hover->route(PushButton3, [this] { PushButton3_MouseMove(); });
    hover->route(PushButton4, [this] { PushButton4_MouseMove(); });
    hover->route(PushButton5, [this] { PushButton5_MouseMove(); });
    hover->route(PushButton6, [this] { PushButton6_MouseMove(); });
    hover->route(PushButton7, [this] { PushButton7_MouseMove(); });
    hover->route(PushButton9, [this] { PushButton9_MouseMove(); });
    hover->route(Check1, [this] { Check1_MouseMove(); });
    hover->route(this, [this] { Form_MouseMove(); });
    hover->route(Frame1, [this] { Frame1_MouseMove(); });
    hover->route(Frame2, [this] { Frame2_MouseMove(); });
    hover->route(Frame3, [this] { Frame3_MouseMove(); });
    connect(RichTextBox1, &PaneControl::pointerMoved, this, &Form1::RichTextBox_MouseMove);
    connect(RichTextBox2, &PaneControl::pointerMoved, this, &Form1::RichTextBox_MouseMove);
}

void Form1::Timer1_Timer()
{
    runUnguarded(__func__, [this] { m_synchroniser->tick(); });
}

void Form1::PushButton1_Click()
{
    act(__func__, [this](GuardedHandler &h) { showFullScreen(h); });
}

void Form1::showFullScreen(GuardedHandler &h)
{
    // The view shows the very documents of the main window's panes: nothing is copied, so this
    // costs the same at any size, and what is edited there is simply here. Should a step fail,
    // the main window comes back as it was.
    if (!h.step(100, [&] { hide(); }))
        return;
    const bool copied = h.step(102, [&] { loadedFullScreen().RichTextBox1->shareDocumentOf(*RichTextBox1); })
                        && h.step(104, [&] { loadedFullScreen().RichTextBox2->shareDocumentOf(*RichTextBox2); });
    if (!copied) {
        if (m_fullScreen)
            m_fullScreen->discard();
        show();
        return;
    }
    h.step(106, [&] { loadedFullScreen().showOn(screen()); });
}

Form2 &Form1::loadedFullScreen()
{
    // Created at first use and kept for the rest of the run; each entry loads it anew.
    if (!m_fullScreen) {
        m_fullScreen = std::make_unique<Form2>(
            m_platform.messages,
            Form2::MainWindow{this, RichTextBox1, RichTextBox2, [this] { return m_switch->state(); }, m_compare});
        connect(m_fullScreen.get(), &Form2::textsGivenBack, this, [this](bool leftEdited, bool rightEdited) {
            fileStatus(1).copiedBack(leftEdited);
            fileStatus(2).copiedBack(rightEdited);
        });
    }
    m_fullScreen->load();
    return *m_fullScreen;
}

void Form1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_centred) {
        m_centred = true;
        if (const QScreen *screen = this->screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
}

void Form1::closeEvent(QCloseEvent *event)
{
    event->accept();
    Form_Unload();
}

void Form1::Form_Unload()
{
    // Ends the program at once: the full-screen view goes without putting its texts back,
    // and nothing is asked.
    runUnguarded(__func__, [this] {
        if (m_fullScreen)
            m_fullScreen->discard();
    });
    m_endProgram();
}
