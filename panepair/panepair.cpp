#include "panepair/panepair.h"

#include "find/findbar.h"
#include "sync/scrollsynchroniser.h"
#include "textpane/panecontrol.h"

#include <QWidget>

PanePair::PanePair(QWidget *window, PaneControl *left, PaneControl *right, std::function<SwitchState()> switchState)
    : QObject(window), m_synchroniser(new ScrollSynchroniser(left, right, std::move(switchState), this)),
      m_findBar(new FindBar(window))
{
    m_findBar->addPane(left);
    m_findBar->addPane(right);
    connect(m_findBar, &FindBar::viewMoved, m_synchroniser, &ScrollSynchroniser::lead);
}
