#pragma once

#include "platform/platform.h"

#include <QString>

class CommonDialog;
class MousePointer;
class PaneControl;

/// The main window's open, save, clear and sample actions. Each is a guarded handler: a failing
/// step shows one error report with the handler's location and the step's line, and the action
/// goes on with its next step.
class PaneActions
{
public:
    PaneActions(const platform::Platform &platform, PaneControl &left, PaneControl &right,
                MousePointer &pointer, CommonDialog &dialog);

    void PushButton3_Click(); ///< Open File 1: the left pane
    void PushButton4_Click(); ///< Open File 2: the right pane
    void PushButton2_Click(); ///< Save File 1: the left pane
    void PushButton5_Click(); ///< Save File 2: the right pane
    void PushButton7_Click(); ///< Clear File 1: the left pane
    void PushButton6_Click(); ///< Clear File 2: the right pane
    void PushButton9_Click(); ///< Load Sample/Example Files: both panes

    struct OpenLines;

private:
    void open(PaneControl &pane, const OpenLines &lines);
    void save(PaneControl &pane, const QString &handler);
    void clear(PaneControl &pane, const QString &handler);

    platform::Platform m_platform;
    PaneControl &m_left;
    PaneControl &m_right;
    MousePointer &m_pointer;
    CommonDialog &m_dialog;
};
