#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class CompareSession;
class CompareState;
class PaneControl;
class QMenu;
class QShortcut;
class QWidget;

/// The keys and menu items of compare mode in one window: Ctrl+D turns it on and off; F7 and
/// Alt+Down go to the next difference, Shift+F7 and Alt+Up to the previous one (only while it is
/// on); each pane's context menu has the mode, the moves and what comparisons ignore.
class CompareActions : public QObject
{
    Q_OBJECT
public:
    /// Asks for the regular expression whose matches comparisons leave out, showing the one in
    /// use; none when the user cancels, an empty text to ignore nothing.
    using AskPattern = std::function<std::optional<QString>(QWidget *parent, const QString &current)>;

    CompareActions(QWidget *window, CompareSession &session, CompareState &state, PaneControl *left,
                   PaneControl *right);

    /// Replaces the dialog that asks for a pattern (tests answer it from a script).
    void setPatternQuestion(AskPattern ask) { m_askPattern = std::move(ask); }
    /// Asks for the pattern and uses the answer.
    void askForPattern();

private:
    void addItems(QMenu *menu);
    void enableMoves();

    QWidget *m_window;
    CompareSession &m_session;
    CompareState &m_state;
    AskPattern m_askPattern;
    std::vector<QShortcut *> m_moves;
};
