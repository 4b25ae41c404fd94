#include "compare/compareactions.h"

#include "compare/comparesession.h"
#include "compare/comparestate.h"
#include "textpane/panecontrol.h"

#include <QInputDialog>
#include <QMenu>
#include <QShortcut>

namespace {

const QKeySequence kToggle(Qt::CTRL | Qt::Key_D);

std::optional<QString> askWithDialog(QWidget *parent, const QString &current)
{
    QString prompt = QObject::tr("Leave out of each line the text matching this regular expression\n"
                                 "(empty to ignore nothing):");
    QString pattern = current;
    for (;;) {
        bool ok = false;
        pattern = QInputDialog::getText(parent, QObject::tr("Ignore Text Matching"), prompt, QLineEdit::Normal, pattern, &ok);
        if (!ok)
            return std::nullopt;
        QString problem;
        if (pattern.isEmpty() || LineFilter::isValidPattern(pattern, &problem))
            return pattern;
        prompt = QObject::tr("That is no regular expression (%1). Try again, or leave it empty:").arg(problem);
    }
}

} // namespace

CompareActions::CompareActions(QWidget *window, CompareSession &session, CompareState &state, PaneControl *left,
                               PaneControl *right)
    : QObject(window), m_window(window), m_session(session), m_state(state), m_askPattern(askWithDialog)
{
    connect(new QShortcut(kToggle, window), &QShortcut::activated, &m_state, &CompareState::toggle);
    const auto move = [this, window](QKeySequence keys, void (CompareSession::*slot)()) {
        auto *shortcut = new QShortcut(keys, window);
        connect(shortcut, &QShortcut::activated, &m_session, slot);
        m_moves.push_back(shortcut);
    };
    move(QKeySequence(Qt::Key_F7), &CompareSession::goToNext);
    move(QKeySequence(Qt::ALT | Qt::Key_Down), &CompareSession::goToNext);
    move(QKeySequence(Qt::SHIFT | Qt::Key_F7), &CompareSession::goToPrevious);
    move(QKeySequence(Qt::ALT | Qt::Key_Up), &CompareSession::goToPrevious);
    // With the mode off, these keys do what they did before it existed.
    connect(&m_state, &CompareState::changed, this, &CompareActions::enableMoves);
    enableMoves();
    for (PaneControl *pane : {left, right})
        connect(pane, &TextView::contextMenuAboutToShow, this, &CompareActions::addItems);
}

void CompareActions::enableMoves()
{
    for (QShortcut *shortcut : m_moves)
        shortcut->setEnabled(m_state.isOn());
}

void CompareActions::askForPattern()
{
    const std::optional<QString> answer = m_askPattern(m_window, m_state.options().ignorePattern);
    if (!answer)
        return;
    CompareOptions options = m_state.options();
    options.ignorePattern = *answer;
    m_state.setOptions(options);
}

void CompareActions::addItems(QMenu *menu)
{
    menu->addSeparator();
    auto add = [&](const QString &text, const QKeySequence &keys = {}) {
        QAction *item = menu->addAction(text);
        item->setShortcut(keys);
        return item;
    };
    QAction *mode = add(tr("Compare"), kToggle);
    mode->setCheckable(true);
    mode->setChecked(m_state.isOn());
    connect(mode, &QAction::triggered, &m_state, &CompareState::setOn);
    QAction *next = add(tr("Next Difference"), QKeySequence(Qt::Key_F7));
    QAction *previous = add(tr("Previous Difference"), QKeySequence(Qt::SHIFT | Qt::Key_F7));
    const bool some = m_session.comparison() && !m_session.comparison()->isIdentical();
    next->setEnabled(some);
    previous->setEnabled(some);
    connect(next, &QAction::triggered, &m_session, &CompareSession::goToNext);
    connect(previous, &QAction::triggered, &m_session, &CompareSession::goToPrevious);

    QMenu *ignore = menu->addMenu(tr("Ignore"));
    auto option = [&](const QString &text, bool checked, const std::function<void(CompareOptions &, bool)> &set) {
        QAction *item = ignore->addAction(text);
        item->setCheckable(true);
        item->setChecked(checked);
        connect(item, &QAction::triggered, this, [this, set](bool on) {
            CompareOptions options = m_state.options();
            set(options, on);
            m_state.setOptions(options);
        });
        return item;
    };
    const CompareOptions &options = m_state.options();
    option(tr("White Space Changes"), options.ignoreWhiteSpace, [](CompareOptions &o, bool on) { o.ignoreWhiteSpace = on; });
    option(tr("Case"), options.ignoreCase, [](CompareOptions &o, bool on) { o.ignoreCase = on; });
    QAction *pattern = ignore->addAction(options.ignorePattern.isEmpty()
                                             ? tr("Text Matching\u2026")
                                             : tr("Text Matching \u201c%1\u201d\u2026").arg(options.ignorePattern));
    pattern->setCheckable(true);
    pattern->setChecked(!options.ignorePattern.isEmpty());
    connect(pattern, &QAction::triggered, this, &CompareActions::askForPattern);
}
