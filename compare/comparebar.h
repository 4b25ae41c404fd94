#pragma once

#include <QFrame>

class CompareSession;
class PaneControl;
class QLabel;
class QToolButton;

/// What compare mode tells the user ("Difference 4 of 18", a running comparison's progress with
/// its Cancel button), in a small bar at the top right of the window's right pane, over the
/// window's fixed layout. Hidden while there is nothing to say. Screen readers hear each change.
class CompareBar : public QFrame
{
    Q_OBJECT
public:
    CompareBar(QWidget *window, CompareSession &session, PaneControl *rightPane);

    QString text() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void update();
    void place();

    CompareSession &m_session;
    PaneControl *m_pane;
    QLabel *m_status;
    QToolButton *m_cancel;
};
