// Built by the suite, never linked: with LOSSY_CALL the build must fail, because the engine's
// QString calls would skip the pane's byte-exact path. Without it, the same file must build, so the
// failure cannot come from anything else.
#include "textpane/panecontrol.h"

void fill(PaneControl *pane)
{
#ifdef LOSSY_CALL
    pane->setText(QString());
#else
    pane->setBytes(QByteArray());
#endif
}
