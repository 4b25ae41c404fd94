#include "find/findbar.h"

#include "find/panefind.h"
#include "textpane/panecontrol.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>

#include <algorithm>

namespace {

const QString kFindPrompt = QStringLiteral("Find");
const QString kLinePrompt = QStringLiteral("Go to line (1-%1)");
const QString kNotFound = QStringLiteral("Not found");
const QString kWrappedToTop = QStringLiteral("Wrapped to the top");
const QString kWrappedToBottom = QStringLiteral("Wrapped to the bottom");
const QString kNotALine = QStringLiteral("Not a line number");

} // namespace

FindBar::FindBar(QWidget *window)
    : QFrame(window), m_input(new QLineEdit(this)), m_matchCase(new QCheckBox(QStringLiteral("Match case"), this)),
      m_wholeWord(new QCheckBox(QStringLiteral("Whole word"), this)), m_message(new QLabel(this))
{
    setObjectName(QStringLiteral("FindBar"));
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    QFont plain = font();
    plain.setBold(false);
    setFont(plain);

    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(3, 3, 3, 3);
    layout->setSpacing(3);
    layout->addWidget(m_input, 0, 0, 1, 2);
    layout->addWidget(m_message, 0, 2);
    layout->addWidget(m_matchCase, 1, 0);
    layout->addWidget(m_wholeWord, 1, 1, 1, 2);
    m_input->setAccessibleName(kFindPrompt);
    m_message->hide();
    hide();

    // A changed question makes the last answer stale.
    connect(m_input, &QLineEdit::textEdited, this, [this] { say({}); });
    connect(m_matchCase, &QCheckBox::toggled, this, [this] { say({}); });
    connect(m_wholeWord, &QCheckBox::toggled, this, [this] { say({}); });

    const auto key = [window](QKeySequence keys, auto slot) {
        connect(new QShortcut(keys, window), &QShortcut::activated, window, slot);
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_F), [this] { openFind(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_G), [this] { openGoToLine(); });
    key(QKeySequence(Qt::Key_F3), [this] { findNext(); });
    key(QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { findPrevious(); });
}

void FindBar::addPane(PaneControl *pane)
{
    if (!m_pane)
        m_pane = pane;
    connect(pane, &PaneControl::focusReceived, this, [this, pane] {
        m_pane = pane;
        if (isVisible())
            placeOverPane();
    });
}

void FindBar::openFind()
{
    open(Mode::Find);
    takeFocus();
}

void FindBar::openGoToLine()
{
    open(Mode::GoToLine);
    takeFocus();
}

void FindBar::takeFocus()
{
    // What is typed next replaces the last word or number.
    m_input->setFocus();
    m_input->selectAll();
}

void FindBar::open(Mode mode)
{
    if (!m_pane)
        return;
    if (mode != m_mode) {
        if (m_mode == Mode::Find)
            m_findText = m_input->text();
        m_input->setText(mode == Mode::Find ? m_findText : QString());
        m_mode = mode;
    }
    m_input->setPlaceholderText(mode == Mode::Find ? kFindPrompt : kLinePrompt.arg(lineCount(*m_pane)));
    m_input->setAccessibleName(m_input->placeholderText());
    m_matchCase->setVisible(mode == Mode::Find);
    m_wholeWord->setVisible(mode == Mode::Find);
    say({});
    show();
    placeOverPane();
}

void FindBar::close()
{
    if (m_pane)
        m_pane->setFocus();
    hide();
}

void FindBar::setQuery(const QString &text, SearchOptions options)
{
    if (m_mode != Mode::Find)
        open(Mode::Find);
    m_input->setText(text);
    m_matchCase->setChecked(options.matchCase);
    m_wholeWord->setChecked(options.wholeWord);
}

QString FindBar::message() const
{
    return m_message->text();
}

void FindBar::find(SearchDirection direction)
{
    if (!m_pane)
        return;
    const QString text = m_mode == Mode::Find ? m_input->text() : m_findText;
    if (text.isEmpty()) {
        openFind();
        return;
    }
    if (isHidden() || m_mode != Mode::Find)
        open(Mode::Find); // shows what is searched, and where the answer goes; the focus stays
    const SearchOptions options{m_matchCase->isChecked(), m_wholeWord->isChecked()};
    if (m_search.needle() != text || m_search.options() != options)
        m_search = TextSearch(text, options);

    const FindOutcome outcome = findInPane(*m_pane, m_search, direction, coveredHeight());
    if (!outcome.found)
        say(kNotFound);
    else if (outcome.wrapped)
        say(direction == SearchDirection::Forward ? kWrappedToTop : kWrappedToBottom);
    else
        say({});
    if (outcome.found)
        emit viewMoved(m_pane);
}

void FindBar::goToLine()
{
    bool ok = false;
    const qint64 line = m_input->text().trimmed().toLongLong(&ok);
    if (!ok || line < 1) {
        say(kNotALine);
        return;
    }
    // A number past the end goes to the last line, as far as the text reaches.
    close();
    ::goToLine(*m_pane, line);
    emit viewMoved(m_pane);
}

void FindBar::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        close();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_mode == Mode::GoToLine)
            goToLine();
        else if (event->modifiers() & Qt::ShiftModifier)
            findPrevious();
        else
            findNext();
        return;
    default:
        QFrame::keyPressEvent(event);
    }
}

void FindBar::say(const QString &message)
{
    m_message->setText(message);
    m_message->setVisible(!message.isEmpty());
}

void FindBar::placeOverPane()
{
    const QRect pane(m_pane->mapTo(parentWidget(), QPoint(0, 0)), m_pane->size());
    const int height = std::min(sizeHint().height(), pane.height());
    setGeometry(pane.left(), pane.bottom() + 1 - height, pane.width(), height);
    raise();
}

int FindBar::coveredHeight() const
{
    if (isHidden())
        return 0;
    const QWidget *view = m_pane->viewport();
    const int viewBottom = view->mapTo(parentWidget(), QPoint(0, view->height())).y();
    return std::max(0, viewBottom - geometry().top());
}
