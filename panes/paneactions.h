#pragma once

#include "platform/platform.h"

#include <QString>
#include <QStringList>

class CommonDialog;
class GuardedHandler;
class MousePointer;
class PaneControl;

/// The line numbers of the open action's steps, which differ between the two panes' buttons.
/// A zero marks a step that the caller's handler does not have.
struct OpenLines
{
    int cancelTest;
    int busyBeforeSplit;
    int split;
    int busyAfterEmpty;
    int oneTest;
    int takeOne;
    int loadOne;
    int manyTest;
    int buildPath;
    int loadMany;
    int append;
    int done;
};

// The steps of Open File 1 and Open File 2. Open File 2 checks for a cancelled dialog without a
// line of its own: a failure there reports the line before it.
inline constexpr OpenLines kOpenFile1Lines{
    .cancelTest = 110, .busyBeforeSplit = 112, .split = 114, .busyAfterEmpty = 0,
    .oneTest = 118, .takeOne = 120, .loadOne = 122,
    .manyTest = 124, .buildPath = 134, .loadMany = 138,
    .append = 144, .done = 146};
inline constexpr OpenLines kOpenFile2Lines{
    .cancelTest = 108, .busyBeforeSplit = 0, .split = 110, .busyAfterEmpty = 114,
    .oneTest = 116, .takeOne = 118, .loadOne = 120,
    .manyTest = 122, .buildPath = 130, .loadMany = 132,
    .append = 136, .done = 138};

/// The open, save, clear and sample actions behind the main window's buttons. Each runs as the
/// steps of the caller's guarded handler: a failing step shows one error report with that
/// handler's location and the step's line, and the action goes on with its next step.
class PaneActions
{
public:
    PaneActions(const platform::Platform &platform, MousePointer &pointer, CommonDialog &dialog);

    /// Asks for one or more files and loads them into `pane`, the last one staying. Given
    /// `named` paths, takes them as the dialog's answer instead of asking.
    void open(GuardedHandler &h, PaneControl &pane, const OpenLines &lines, const QStringList &named = {});
    /// Asks for a file name and writes the pane's bytes there.
    void save(GuardedHandler &h, PaneControl &pane);
    void clear(GuardedHandler &h, PaneControl &pane);
    /// Loads the two sample files into the two panes and offers to show their folder.
    void loadSamples(GuardedHandler &h, PaneControl &left, PaneControl &right);

private:
    platform::Platform m_platform;
    MousePointer &m_pointer;
    CommonDialog &m_dialog;
};
