#pragma once

#include "compare/comparison.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

class CompareState;
class PaneControl;
class TextComparer;

/// Compare mode for the two panes of one window: compares their texts on a worker whenever
/// they change (at once after a load, a short pause after typing), shows the differences as
/// marks in both panes, goes from one difference to the next, and tells which lines stand
/// side by side. Does nothing while compare mode is off, and pauses while its window is hidden.
class CompareSession : public QObject
{
    Q_OBJECT
public:
    /// How long typing must pause before the texts are compared again.
    static constexpr std::chrono::milliseconds kTypingPause{300};
    /// How long a comparison runs before it shows its progress and can be cancelled.
    static constexpr std::chrono::milliseconds kQuietRun{500};
    /// Lines of context shown above a difference gone to.
    static constexpr qint64 kContextLines = 3;

    /// `leader` names the pane a move starts from (the one the user works in).
    CompareSession(PaneControl *left, PaneControl *right, CompareState &state,
                   std::function<PaneControl *()> leader, QObject *parent = nullptr);
    ~CompareSession() override;

    /// The comparison the panes show, or null (mode off, or none finished yet).
    const Comparison *comparison() const { return m_comparison.get(); }
    bool isRunning() const { return m_run != nullptr; }
    /// The thousandths a running comparison has done.
    int progress() const;
    /// What the window tells the user: "Difference 4 of 18", "The texts are identical", progress,
    /// or nothing while compare mode is off.
    QString status() const;
    /// Whether the status has a running comparison that can be cancelled in it.
    bool isCancellable() const;

    /// The line of the other pane that stands beside `line` of `pane`, or -1 while no comparison
    /// is shown.
    qint64 correspondingLine(const PaneControl *pane, qint64 line) const;

    void goToNext();
    void goToPrevious();
    /// Shows difference `index` in both panes, a few lines below their tops, with the caret at its
    /// start.
    void goTo(qsizetype index);
    /// Stops a running comparison; the marks go until the texts next change.
    void cancel();
    /// Starts a comparison now rather than after the typing pause.
    void compareNow();

signals:
    /// status() changed.
    void statusChanged();
    /// A comparison finished and its marks are shown.
    void compared();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Run;
    enum class Outcome { None, Stopped, NoMemory };
    // Which lines of a pane's text changed since the texts last compared: all of them, or
    // those between an unchanged head and tail (both empty of changes while nothing changed).
    struct Changes
    {
        bool all = true;
        qint64 head = 0;
        qint64 tail = 0;
        void add(const Changes &later);
    };

    void stateChanged();
    void watch(PaneControl *pane, Side side);
    void textChanged(Side side, qint64 from, qint64 inserted);
    void start();
    // Gives up the running comparison: nothing of it is shown, and the next starts afresh.
    void stopRun();
    void finished(const std::shared_ptr<Run> &run);
    void showMarks();
    void clearMarks();
    PaneControl *pane(Side side) const { return side == Side::Left ? m_left : m_right; }
    Side sideOf(const PaneControl *pane) const { return pane == m_right ? Side::Right : Side::Left; }
    // Where a move from the leading pane starts: its caret line while the caret is in view,
    // else the line above its first one.
    qint64 moveOrigin(const PaneControl *leader) const;

    PaneControl *m_left;
    PaneControl *m_right;
    CompareState &m_state;
    std::function<PaneControl *()> m_leader;
    std::shared_ptr<const Comparison> m_comparison;
    qsizetype m_current = -1;
    std::shared_ptr<Run> m_run;
    bool m_again = false; // the texts changed again while the run went on
    std::shared_ptr<TextComparer> m_comparer; // the next run's, with the last ids
    Changes m_changes[2];  // since the running comparison began, or the last one
    Changes m_inFlight[2]; // what the running comparison takes in
    QElapsedTimer m_runTime;
    QTimer m_pause;
    QTimer m_progressPoll;
    bool m_paused = false;
    bool m_pending = false; // the texts changed while paused
    Outcome m_outcome = Outcome::None;
};
