#pragma once

#include "find/textsearch.h"

#include <QFrame>
#include <QList>

class PaneControl;
class QCheckBox;
class QLabel;
class QLineEdit;

/// The find and go-to-line bar of a window with panes. It lies over the bottom of the pane it
/// works on, the one that last took the focus, so the window's fixed layout stays as it is.
/// The window's keys: Ctrl+F opens it to find, Ctrl+G to go to a line, F3 and Shift+F3 find the
/// next and previous match; in the bar, Enter (Shift+Enter) does the same and Escape closes it,
/// giving the focus back to the pane.
class FindBar : public QFrame
{
    Q_OBJECT
public:
    explicit FindBar(QWidget *window);

    /// A pane to work on; the first one added is the one until another takes the focus.
    void addPane(PaneControl *pane);
    PaneControl *pane() const { return m_pane; }

    void openFind();
    void openGoToLine();
    /// Hides the bar and gives the focus back to the pane.
    void close();
    /// The next match after the pane's selection; with nothing to find, opens the bar.
    void findNext() { find(SearchDirection::Forward); }
    void findPrevious() { find(SearchDirection::Backward); }

    /// Puts a word and its options in the bar, as typing and ticking them would.
    void setQuery(const QString &text, SearchOptions options);
    /// What the bar tells the user about the last find or jump ("Not found"), or nothing.
    QString message() const;

signals:
    /// A find or a jump moved the pane's selection and view.
    void viewMoved(PaneControl *pane);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    enum class Mode { Find, GoToLine };

    void open(Mode mode);
    void takeFocus();
    void find(SearchDirection direction);
    void goToLine();
    void say(const QString &message);
    void placeOverPane();
    int coveredHeight() const;

    PaneControl *m_pane = nullptr;
    Mode m_mode = Mode::Find;
    QString m_findText; // kept while the input asks for a line
    TextSearch m_search;
    QLineEdit *m_input;
    QCheckBox *m_matchCase;
    QCheckBox *m_wholeWord;
    QLabel *m_message;
};
