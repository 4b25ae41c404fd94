#pragma once

#include "sync/switchstate.h"

#include <QWidget>

#include <functional>

class CompareState;
class PaneControl;
class QLabel;
class QScreen;
class QTimer;
class ScrollSynchroniser;
namespace platform { class MessageBoxes; }

/// The full-screen view: both texts side by side on a black, borderless window over the whole screen.
/// Created once; every entry loads it anew, and closing it puts its texts back into the main
/// window's panes. Escape, from wherever the focus is, leaves it.
class Form2 : public QWidget
{
    Q_OBJECT
public:
    /// What the full-screen view reaches of the main window.
    struct MainWindow
    {
        QWidget *window;
        PaneControl *left;
        PaneControl *right;
        std::function<SwitchState()> switchState; ///< the synchronous-scrolling switch
        CompareState *compare = nullptr; ///< compare mode, shared with the main window; own one when null
    };

    Form2(platform::MessageBoxes &messages, MainWindow main);
    ~Form2() override;

    /// Loads the window unless it is loaded already: icon, timer, focus in the left pane.
    void load();
    bool isLoaded() const { return m_loaded; }

    /// Shows the window full screen on the given screen, covering its panels too.
    void showOn(QScreen *screen);

    /// Closes the window without putting its texts back: the program is ending.
    void discard();

    ScrollSynchroniser &synchroniser() { return *m_synchroniser; }

    PaneControl *RichTextBox1 = nullptr;
    PaneControl *RichTextBox2 = nullptr;
    QLabel *Label1 = nullptr;
    QTimer *Timer1 = nullptr;

signals:
    /// The texts went back into the main window's panes; each flag tells whether that text had
    /// changes not on disk, from before the view opened or made in it.
    void textsGivenBack(bool leftEdited, bool rightEdited);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildLayout();
    void Form_Load();
    void Form_KeyPress(int keyAscii);
    void Form_Resize();
    /// Returns false when the view must stay open: its texts could not go back.
    bool Form_Unload();
    /// Throws when a text cannot go back; those that went back stay there.
    void giveTextsBack();
    void placePanes();
    void Timer1_Timer();

    platform::MessageBoxes &m_messages;
    MainWindow m_main;
    ScrollSynchroniser *m_synchroniser = nullptr;
    bool m_loaded = false;
    bool m_discarding = false;
    bool m_givenBack[2] = {false, false}; ///< per pane, this visit
    bool m_edited[2] = {false, false};
};
