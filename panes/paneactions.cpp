#include "panes/paneactions.h"

#include "handlers/guardedhandler.h"
#include "handlers/mousepointer.h"
#include "panes/commondialog.h"
#include "panes/fileexists.h"
#include "panes/panefiles.h"
#include "panes/panefilestatus.h"
#include "panes/panefollower.h"
#include "textpane/panecontrol.h"

#include <optional>

namespace {

// Read-only box ticked, several files, the dialog of this era, long names: open and save alike.
constexpr long kDialogFlags = 0x280201;

const QString kOpenTitle = QStringLiteral("Load List(s) - Hold Ctrl to select multiple list files");
const QString kOpenFilter = QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|");
const QString kSaveTitle = QStringLiteral("Save");
const QString kSaveFilter = QStringLiteral("Text Files(*.txt)|*.txt|All Files (*.*)|*.*|");

const QString kSamplesFolder = QStringLiteral("/Samples");
const QString kLeftSample = QStringLiteral("/Samples/sample1.txt");
const QString kRightSample = QStringLiteral("/Samples/sample2.txt");
const QString kSampleQuestion = QStringLiteral(
    "Would you like this software to open the folder where these sample files are stored "
    "(so that you can view them before working with them)?");

// Tells the pane's file status, where it has one, what the action left in the pane.
void noteLoaded(PaneControl &pane, const QString &path)
{
    if (PaneFileStatus *status = PaneFileStatus::of(pane))
        path.isEmpty() ? status->cleared() : status->loaded(path);
}

// Loads the file and, once it is in the pane, names it in `shown`; a load the user stopped
// leaves the pane empty, naming nothing.
LoadOutcome loadShown(const PaneFiles &io, PaneControl &pane, const QString &path, QString &shown,
                      PaneLoad *started = nullptr)
{
    const LoadOutcome outcome = LoadPane(io, pane, path, started);
    if (outcome == LoadOutcome::Loaded)
        shown = path;
    else if (outcome == LoadOutcome::Stopped)
        shown.clear();
    return outcome;
}

} // namespace

PaneActions::PaneActions(const platform::Platform &platform, MousePointer &pointer, CommonDialog &dialog)
    : m_platform(platform), m_pointer(pointer), m_dialog(dialog)
{
}

void PaneActions::open(GuardedHandler &h, PaneControl &pane, const OpenLines &n, const QStringList &named)
{
    const PaneFiles io{m_platform.files, m_platform.messages, &m_platform.progress};
    const auto busy = [&] { m_pointer.setValue(PointerShape::Busy); };

    h.step(100, [&] { m_dialog.FileName.clear(); });
    h.step(102, [&] { m_dialog.Flags = kDialogFlags; });
    h.step(104, [&] { m_dialog.DialogTitle = kOpenTitle; });
    h.step(106, [&] { m_dialog.Filter = kOpenFilter; });
    h.step(108, [&] {
        if (named.isEmpty())
            m_dialog.ShowOpen();
        else
            m_dialog.takeOpenAnswer(named);
    });
    if (h.test(n.cancelTest, [&] { return m_dialog.FileName.isEmpty(); }))
        return;
    if (n.busyBeforeSplit)
        h.step(n.busyBeforeSplit, busy);
    // The dialog gives full paths in its own order. They are taken as they are: on this platform
    // a backslash is part of a file name, never a separator to tidy.
    QStringList paths;
    h.step(n.split, [&] { paths = m_dialog.FileNames(); });
    // The pane is not emptied here: its text goes only when a file that opens replaces it, so
    // one that is missing or cannot be read leaves the pane, unsaved edits and all, as it was.
    if (n.busyAfterEmpty)
        h.step(n.busyAfterEmpty, busy);
    bool replaced = false;
    QString shown; // the last file that loaded
    const auto load = [&](const QString &path) {
        const LoadOutcome outcome = loadShown(io, pane, path, shown);
        replaced = replaced || outcome != LoadOutcome::Missing;
        return outcome != LoadOutcome::Stopped;
    };
    if (h.test(n.oneTest, [&] { return paths.size() == 1; })) {
        QString path;
        h.step(n.takeOne, [&] { path = paths.value(0); });
        h.step(n.loadOne, [&] { load(path); });
    } else if (h.test(n.manyTest, [&] { return paths.size() >= 2; })) {
        // Each load replaces the last, so the pane ends with the last file; a missing or
        // unreadable one is reported and the rest still load. A load the user stops ends the
        // list there: the pane stays empty and the files after it are not read.
        bool stopped = false;
        for (const QString &chosen : std::as_const(paths)) {
            QString path;
            h.step(n.buildPath, [&] { path = chosen; });
            h.step(n.loadMany, [&] { stopped = !load(path); });
            if (stopped)
                break;
        }
    }
    // Even after a stopped load, an open that replaced the text ends with one carriage return;
    // every open ends with the normal pointer.
    if (replaced) {
        h.step(n.append, [&] { pane.appendBytes(kLoadEnd); });
        // What the pane holds now is the last file that loaded, or nothing.
        noteLoaded(pane, shown);
    }
    h.step(n.done, [&] { m_pointer.setValue(PointerShape::Default); });
}

void PaneActions::save(GuardedHandler &h, PaneControl &pane)
{
    bool chosen = false;
    QString path;

    h.step(100, [&] { m_dialog.Flags = kDialogFlags; });
    h.step(102, [&] { m_dialog.DialogTitle = kSaveTitle; });
    h.step(104, [&] { m_dialog.Filter = kSaveFilter; });
    h.step(106, [&] { chosen = m_dialog.ShowSave(); });
    h.step(108, [&] { path = m_dialog.FileName; });
    if (h.test(110, [&] { return !chosen || path.isEmpty(); }))
        return;
    h.step(112, [&] { m_pointer.setValue(PointerShape::Busy); });
    h.step(114, [&] {
        // A change someone else made to the file since the text came from it is never written
        // over unasked; the answer that keeps it is the default.
        if (const PaneFollower *follower = PaneFollower::of(pane); follower && follower->wouldOverwriteChange(path)
            && m_platform.messages.show({changedOnDiskQuestion(path), QString(), platform::MessageIcon::Warning,
                                         platform::MessageButtons::YesNo, platform::MessageAnswer::No})
                   != platform::MessageAnswer::Yes)
            return;
        if (SavePane({m_platform.files, m_platform.messages, &m_platform.progress}, pane, path))
            if (PaneFileStatus *status = PaneFileStatus::of(pane))
                status->saved(path);
    });
    h.step(116, [&] { m_pointer.setValue(PointerShape::Default); });
}

void PaneActions::clear(GuardedHandler &h, PaneControl &pane)
{
    h.step(100, [&] {
        pane.setBytes({});
        noteLoaded(pane, QString());
    });
}

void PaneActions::loadSamples(GuardedHandler &h, PaneControl &left, PaneControl &right)
{
    const PaneFiles io{m_platform.files, m_platform.messages, &m_platform.progress};
    QString path;
    QString leftShown;
    QString rightShown;
    bool leftWhole = true;
    bool rightWhole = true;

    // The right sample is read while the left one loads, and reaches its pane at its own step,
    // after the left one's reports. A file that cannot be read early is read, and reported, there.
    std::optional<PaneLoad> rightEarly;
    const QString rightPath = m_platform.programDirectory + kRightSample;
    try {
        if (FileExists(m_platform.files, rightPath))
            rightEarly.emplace(right, rightPath);
    } catch (const std::exception &) {
        rightEarly.reset();
    }

    // The samples are never emptied first: a missing one leaves its pane, and what it shows, as
    // it was. A stopped load leaves it empty, showing no file.
    h.step(104, [&] { path = m_platform.programDirectory + kLeftSample; });
    h.step(106, [&] { leftWhole = loadShown(io, left, path, leftShown) != LoadOutcome::Stopped; });
    h.step(108, [&] { path = m_platform.programDirectory + kRightSample; });
    h.step(110, [&] {
        rightWhole = loadShown(io, right, path, rightShown, path == rightPath && rightEarly ? &*rightEarly : nullptr)
                     != LoadOutcome::Stopped;
    });
    h.step(114, [&] { left.appendBytes(kLoadEnd); });
    h.step(116, [&] { right.appendBytes(kLoadEnd); });
    if (!leftShown.isEmpty() || !leftWhole)
        noteLoaded(left, leftShown);
    if (!rightShown.isEmpty() || !rightWhole)
        noteLoaded(right, rightShown);
    const auto askToShowFolder = [&] {
        return m_platform.messages.show({kSampleQuestion, QString(), platform::MessageIcon::None,
                                         platform::MessageButtons::YesNo, platform::MessageAnswer::Yes})
               == platform::MessageAnswer::Yes;
    };
    if (h.test(118, askToShowFolder))
        h.step(120, [&] { m_platform.shell.openFolder(m_platform.programDirectory + kSamplesFolder); });
}
