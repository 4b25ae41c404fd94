#include "panes/paneactions.h"

#include "panes/commondialog.h"
#include "handlers/errorreport.h"
#include "handlers/guardedhandler.h"
#include "panes/panefiles.h"
#include "handlers/mousepointer.h"
#include "textpane/panecontrol.h"

namespace {

const QString kWindow = QStringLiteral("Form1");

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

// Every open or sample action leaves exactly one carriage return after the loaded text.
const QByteArray kLoadEnd = QByteArrayLiteral("\r");

} // namespace

/// The line numbers of the open action's steps, which differ between the two buttons. A zero
/// marks a step that the action does not have.
struct PaneActions::OpenLines
{
    QString handler;
    int cancelTest;
    int busyBeforeSplit;
    int split;
    int empty;
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

namespace {

// Open File 2 checks for a cancelled dialog without a line of its own; a failure there would
// report the line before it.
const PaneActions::OpenLines kOpenFile1{QStringLiteral("PushButton3_Click"),
                                        110, 112, 114, 116, 0, 118, 120, 122, 124, 134, 138, 144, 146};
const PaneActions::OpenLines kOpenFile2{QStringLiteral("PushButton4_Click"),
                                        108, 0, 110, 112, 114, 116, 118, 120, 122, 130, 132, 136, 138};

} // namespace

PaneActions::PaneActions(const platform::Platform &platform, PaneControl &left, PaneControl &right,
                         MousePointer &pointer, CommonDialog &dialog)
    : m_platform(platform), m_left(left), m_right(right), m_pointer(pointer), m_dialog(dialog)
{
}

void PaneActions::PushButton3_Click() { open(m_left, kOpenFile1); }
void PaneActions::PushButton4_Click() { open(m_right, kOpenFile2); }
void PaneActions::PushButton2_Click() { save(m_left, QStringLiteral("PushButton2_Click")); }
void PaneActions::PushButton5_Click() { save(m_right, QStringLiteral("PushButton5_Click")); }
void PaneActions::PushButton7_Click() { clear(m_left, QStringLiteral("PushButton7_Click")); }
void PaneActions::PushButton6_Click() { clear(m_right, QStringLiteral("PushButton6_Click")); }

void PaneActions::open(PaneControl &pane, const OpenLines &n)
{
    GuardedHandler h(m_platform.messages, locationText(kWindow, n.handler));
    const PaneFiles io{m_platform.files, m_platform.messages};
    const auto busy = [&] { m_pointer.setValue(PointerShape::Busy); };

    h.step(100, [&] { m_dialog.FileName.clear(); });
    h.step(102, [&] { m_dialog.Flags = kDialogFlags; });
    h.step(104, [&] { m_dialog.DialogTitle = kOpenTitle; });
    h.step(106, [&] { m_dialog.Filter = kOpenFilter; });
    h.step(108, [&] { m_dialog.ShowOpen(); });
    if (h.test(n.cancelTest, [&] { return m_dialog.FileName.isEmpty(); }))
        return;
    if (n.busyBeforeSplit)
        h.step(n.busyBeforeSplit, busy);
    // The dialog gives full paths in its own order. They are taken as they are: on this platform
    // a backslash is part of a file name, never a separator to tidy.
    QStringList paths;
    h.step(n.split, [&] { paths = m_dialog.FileNames(); });
    h.step(n.empty, [&] { pane.setBytes({}); });
    if (n.busyAfterEmpty)
        h.step(n.busyAfterEmpty, busy);
    if (h.test(n.oneTest, [&] { return paths.size() == 1; })) {
        QString path;
        h.step(n.takeOne, [&] { path = paths.value(0); });
        h.step(n.loadOne, [&] { LoadPane(io, pane, path); });
    } else if (h.test(n.manyTest, [&] { return paths.size() >= 2; })) {
        // Each load replaces the last, so the pane ends with the last file; a missing or
        // unreadable one is reported and the rest still load.
        for (const QString &chosen : std::as_const(paths)) {
            QString path;
            h.step(n.buildPath, [&] { path = chosen; });
            h.step(n.loadMany, [&] { LoadPane(io, pane, path); });
        }
    }
    h.step(n.append, [&] { pane.appendBytes(kLoadEnd); });
    h.step(n.done, [&] { m_pointer.setValue(PointerShape::Default); });
}

void PaneActions::save(PaneControl &pane, const QString &handler)
{
    GuardedHandler h(m_platform.messages, locationText(kWindow, handler));
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
    h.step(114, [&] { SavePane({m_platform.files, m_platform.messages}, pane, path); });
    h.step(116, [&] { m_pointer.setValue(PointerShape::Default); });
}

void PaneActions::clear(PaneControl &pane, const QString &handler)
{
    GuardedHandler h(m_platform.messages, locationText(kWindow, handler));
    h.step(100, [&] { pane.setBytes({}); });
}

void PaneActions::PushButton9_Click()
{
    GuardedHandler h(m_platform.messages, locationText(kWindow, QStringLiteral("PushButton9_Click")));
    const PaneFiles io{m_platform.files, m_platform.messages};
    QString path;

    // The samples are never emptied first: a missing one leaves its pane as it was.
    h.step(104, [&] { path = m_platform.programDirectory + kLeftSample; });
    h.step(106, [&] { LoadPane(io, m_left, path); });
    h.step(108, [&] { path = m_platform.programDirectory + kRightSample; });
    h.step(110, [&] { LoadPane(io, m_right, path); });
    h.step(114, [&] { m_left.appendBytes(kLoadEnd); });
    h.step(116, [&] { m_right.appendBytes(kLoadEnd); });
    const auto askToShowFolder = [&] {
        return m_platform.messages.show({kSampleQuestion, QString(), platform::MessageIcon::None,
                                         platform::MessageButtons::YesNo, platform::MessageAnswer::Yes})
               == platform::MessageAnswer::Yes;
    };
    if (h.test(118, askToShowFolder))
        h.step(120, [&] { m_platform.shell.openFolder(m_platform.programDirectory + kSamplesFolder); });
}
