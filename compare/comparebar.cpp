#include "compare/comparebar.h"

#include "compare/comparesession.h"
#include "textpane/panecontrol.h"

#include <QAccessible>
#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QScrollBar>

CompareBar::CompareBar(QWidget *window, CompareSession &session, PaneControl *rightPane)
    : QFrame(window), m_session(session), m_pane(rightPane), m_status(new QLabel(this)),
      m_cancel(new QToolButton(this))
{
    setObjectName(QStringLiteral("CompareBar"));
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    // The program's own colours, not the window's: the full-screen view is black on black. Each
    // colour is set, as a palette that sets none takes them all from the window.
    const QPalette program = QApplication::palette();
    QPalette own = palette();
    for (const QPalette::ColorRole role : {QPalette::Window, QPalette::WindowText, QPalette::Button,
                                           QPalette::ButtonText, QPalette::Light, QPalette::Dark, QPalette::Mid}) {
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            own.setColor(group, role, program.color(group, role));
    }
    setPalette(own);
    QFont plain = font();
    plain.setBold(false);
    setFont(plain);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 1, 4, 1);
    layout->setSpacing(6);
    layout->addWidget(m_status);
    layout->addWidget(m_cancel);
    m_cancel->setText(tr("Cancel"));
    m_cancel->setFocusPolicy(Qt::NoFocus);
    m_cancel->hide();
    hide();
    connect(m_cancel, &QToolButton::clicked, &m_session, &CompareSession::cancel);
    connect(&m_session, &CompareSession::statusChanged, this, &CompareBar::update);
    m_pane->installEventFilter(this);
    window->installEventFilter(this);
}

QString CompareBar::text() const
{
    return m_status->text();
}

void CompareBar::update()
{
    const QString status = m_session.status();
    m_cancel->setVisible(m_session.isCancellable());
    if (status != m_status->text()) {
        m_status->setText(status);
        m_status->setAccessibleName(status);
        QAccessibleEvent event(m_status, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
    setVisible(!status.isEmpty());
    if (isVisible())
        place();
}

bool CompareBar::eventFilter(QObject *watched, QEvent *event)
{
    if (isVisible() && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        place();
    return QFrame::eventFilter(watched, event);
}

void CompareBar::place()
{
    // Above the pane's top right when the window has room there (the main window has the pane's
    // caption row), else over the pane's top right, clear of its scroll bar.
    adjustSize();
    const QRect pane(m_pane->mapTo(parentWidget(), QPoint(0, 0)), m_pane->size());
    const int width = std::min(sizeHint().width(), pane.width());
    const int height = sizeHint().height();
    int right = pane.right();
    int top = pane.top() - height;
    if (top < 0) {
        top = pane.top();
        if (m_pane->verticalScrollBar()->isVisible())
            right -= m_pane->verticalScrollBar()->width();
    }
    setGeometry(right + 1 - width, top, width, height);
    raise();
}
