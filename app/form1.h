#pragma once

#include "handlers/guardedhandler.h"
#include "handlers/mousepointer.h"
#include "panes/commondialog.h"
#include "platform/platform.h"

#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>

class ActionGate;
class CompareState;
class PanePair;
class Form2;
class PaneControl;
class PaneFileStatus;
enum class DropTarget;
class QCheckBox;
class QGroupBox;
class QPushButton;
class PaneActions;
class QTimer;
class SkinFramework;
class ScrollSynchroniser;
class SyncSwitch;
class WindowPointer;

/// The main window: two framed panes side by side, eight buttons in four rows, and the
/// synchronous-scrolling switch across the bottom. Its layout is fixed.
class Form1 : public QWidget
{
    Q_OBJECT
public:
    explicit Form1(const platform::Platform &platform, QWidget *parent = nullptr);
    ~Form1() override;

    /// Start-up: theme, pointer image, the occasional home page, caption, icon, title, empty
    /// panes and the switch. Runs once, before the window is first shown.
    void Form_Load();

    /// What ends the program when the window closes (the event loop's exit by default).
    void setProgramEnd(std::function<void()> endProgram) { m_endProgram = std::move(endProgram); }

    /// "Show Full Screen": hides this window and shows both texts in the full-screen view.
    void PushButton1_Click();

    PaneControl *RichTextBox1 = nullptr;
    PaneControl *RichTextBox2 = nullptr;
    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QGroupBox *Frame3 = nullptr;
    QCheckBox *Check1 = nullptr;
    QPushButton *PushButton1 = nullptr;
    QPushButton *PushButton2 = nullptr;
    QPushButton *PushButton3 = nullptr;
    QPushButton *PushButton4 = nullptr;
    QPushButton *PushButton5 = nullptr;
    QPushButton *PushButton6 = nullptr;
    QPushButton *PushButton7 = nullptr;
    QPushButton *PushButton9 = nullptr;
    QTimer *Timer1 = nullptr;
    CommonDialog CommonDialog1;
    SkinFramework *SkinFramework1 = nullptr;

    MousePointer &mousePointer() { return m_pointer; }
    SyncSwitch &syncSwitch() { return *m_switch; }
    ScrollSynchroniser &synchroniser() { return *m_synchroniser; }
    /// Compare mode and what it ignores, for this window and the full-screen view.
    CompareState &compareState() { return *m_compare; }
    /// This window's pair of panes: their synchroniser, find bar and compare mode.
    PanePair &panePair() { return *m_panePair; }
    /// The full-screen view, once it has been shown.
    Form2 *fullScreenWindow() const { return m_fullScreen.get(); }

public slots:
    void PushButton2_Click();
    // "Open File 1" and "Open File 2". Given `named` paths (from the command line or a drop),
    // they take them as the dialog's answer instead of asking.
    void PushButton3_Click(const QStringList &named = {});
    void PushButton4_Click(const QStringList &named = {});
    void PushButton5_Click();
    void PushButton6_Click();
    void PushButton7_Click();
    void PushButton9_Click();
    void Check1_Click();
    // Hover feedback: the hand over the buttons and the switch, the usual pointer elsewhere;
    // none of them replaces the busy shape.
    void PushButton1_MouseMove() { hover(__func__, PointerShape::Custom); }
    void PushButton2_MouseMove() { hover(__func__, PointerShape::Custom); }
    void PushButton3_MouseMove() { hover(__func__, PointerShape::Custom); }
    void PushButton4_MouseMove() { hover(__func__, PointerShape::Custom); }
    void PushButton5_MouseMove() { hover(__func__, PointerShape::Custom); }
    void PushButton6_MouseMove() { hover(__func__, PointerShape::Custom); }
    void PushButton7_MouseMove() { hover(__func__, PointerShape::Custom); }
    void PushButton9_MouseMove() { hover(__func__, PointerShape::Custom); }
    void Check1_MouseMove() { hover(__func__, PointerShape::Custom); }
    void Form_MouseMove() { hover(__func__, PointerShape::Default); }
    void Frame1_MouseMove() { hover(__func__, PointerShape::Default); }
    void Frame2_MouseMove() { hover(__func__, PointerShape::Default); }
    void Frame3_MouseMove() { hover(__func__, PointerShape::Default); }
    void RichTextBox_MouseMove() { hover(__func__, PointerShape::Default); }

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildLayout();
    /// The guarded handler `handler` (its `__func__`) of this window.
    GuardedHandler guarded(const char *handler);
    /// Runs a button's action as the guarded handler `handler`, unless another action is running.
    void act(const char *handler, const std::function<void(GuardedHandler &)> &action);
    void showFullScreen(GuardedHandler &h);
    void hover(const char *handler, PointerShape shape)
    {
        runUnguarded(handler, [&] { m_pointer.hover(shape); });
    }
    void Form_Unload();
    void Timer1_Timer();
    Form2 &loadedFullScreen();
    void filesDropped(const QList<QUrl> &urls, DropTarget target);
    /// The file status of pane 1 (left) or 2 (right).
    PaneFileStatus &fileStatus(int pane) const;
    void showFileStatus(QWidget *frame, PaneControl *pane, const QString &description);
    /// Keeps the pane up with its file on disk.
    void followFile(PaneControl &pane, PaneFileStatus &status);

    // Start-up steps owned by the look of the window.
    void applyVisualTheme();
    bool pointerFileExists() const;
    void loadPointerImage();
    void routeHoverFeedback();

    platform::Platform m_platform;
    MousePointer m_pointer;
    SyncSwitch *m_switch = nullptr;
    std::unique_ptr<PaneActions> m_paneActions;
    std::unique_ptr<ActionGate> m_gate;
    WindowPointer *m_windowPointer = nullptr;
    ScrollSynchroniser *m_synchroniser = nullptr;
    CompareState *m_compare = nullptr;
    PanePair *m_panePair = nullptr;
    std::unique_ptr<Form2> m_fullScreen;
    std::function<void()> m_endProgram;
    bool m_centred = false;
};
