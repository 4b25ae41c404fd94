#include "panepair/panepair.h"

#include "compare/compareactions.h"
#include "compare/comparebar.h"
#include "compare/comparesession.h"
#include "find/findbar.h"
#include "sync/scrollsynchroniser.h"
#include "textpane/panecontrol.h"

#include <QWidget>

PanePair::PanePair(QWidget *window, PaneControl *left, PaneControl *right, std::function<SwitchState()> switchState,
                   CompareState &compare)
    : QObject(window), m_synchroniser(new ScrollSynchroniser(left, right, std::move(switchState), this)),
      m_findBar(new FindBar(window))
{
    m_findBar->addPane(left);
    m_findBar->addPane(right);
    connect(m_findBar, &FindBar::viewMoved, m_synchroniser, &ScrollSynchroniser::lead);

    const auto leader = [this, left, right] {
        return m_synchroniser->ActivePane() == ScrollSynchroniser::Leader::Right ? right : left;
    };
    m_compareSession = new CompareSession(left, right, compare, leader, this);
    m_compareBar = new CompareBar(window, *m_compareSession, right);
    m_compareActions = new CompareActions(window, *m_compareSession, compare, left, right);
    m_synchroniser->setLineMap([session = m_compareSession](const PaneControl *pane, qint64 line) {
        return session->correspondingLine(pane, line);
    });
}
