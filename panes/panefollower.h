#pragma once

#include "platform/filestamp.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class DiskChangeNotice;
class PaneControl;
class PaneFileStatus;
class QFileSystemWatcher;
namespace platform { class FileServices; class LoadProgress; }

/// Where a pane's view and caret are, by line, so that they can be found again in a new text.
struct PanePlace
{
    qint64 topLine = 0;
    int horizontalOffset = 0;
    qint64 caretLine = 0;
    qint64 caretColumn = 0; ///< in bytes from the line's start
    bool atEnd = false;     ///< the view shows the text's last line, or the last but the empty one
};
PanePlace placeOf(const PaneControl &pane);
/// Puts the view and the caret back on their lines (clamped to the lines there are); a view that
/// was at the end goes to the end.
void restorePlace(PaneControl &pane, const PanePlace &place);

/// The question asked before a save writes over a file that someone changed on disk.
QString changedOnDiskQuestion(const QString &path);

/// Keeps a pane up with the file it shows. The file and its folder are watched, so a write, a
/// rename over it, a delete and a re-create are all seen; changes are gathered before anything
/// is done. A pane without edits follows: a file that only grew, its old end unchanged, gets its
/// new bytes added (the view staying where it is, or at the end when it was there); any other
/// change reloads the pane, keeping its top line and caret line. A pane with edits is never
/// changed: it shows one notice, with Reload and Keep. Lives beside the pane, as its child.
class PaneFollower : public QObject
{
    Q_OBJECT
public:
    /// What the follower needs of the window it works in; without them it acts on its own.
    struct Window
    {
        /// Runs a reload as one of the window's actions, unless another runs; false then.
        std::function<bool(const std::function<void()> &)> run;
        /// Whether an action of the window runs now (a load, a save, a question).
        std::function<bool()> busy;
    };

    /// The first change after a quiet spell is looked at this soon, so that the steps of one
    /// write (truncate and write, write and rename) are seen together ...
    static constexpr int kSettleMs = 20;
    /// ... and while changes go on, they are gathered and looked at once in this interval.
    static constexpr int kGatherMs = 100;

    PaneFollower(PaneControl &pane, PaneFileStatus &status, platform::FileServices &files,
                 platform::LoadProgress *progress, Window window = {});
    ~PaneFollower() override;

    /// The follower that travels with `pane`, if it has one.
    static PaneFollower *of(PaneControl &pane);

    /// Whether writing to `path` would replace a change made on disk to the file the pane's text
    /// came from (or last went to): its identity, size or time differ from then, or, where those
    /// cannot tell, its bytes. A file that is gone has nothing to lose.
    bool wouldOverwriteChange(const QString &path) const;

    /// The pane's notice of a change on disk (hidden unless there is one to tell).
    DiskChangeNotice &notice();

signals:
    /// The pane shows a new document, read again from the file: views that share the old one
    /// should take this one.
    void reloaded();

private:
    struct Snapshot
    {
        platform::FileStamp stamp;
        QByteArray digest; ///< only where the stamp alone cannot tell a change
    };

    Snapshot snapshotOf(const platform::FileStamp &stamp) const;
    bool changedSince(const Snapshot &snapshot, const platform::FileStamp &now) const;
    qint64 followedLength(const platform::FileStamp &now) const;
    void settle();
    void watch(const platform::FileStamp &now);
    void noteChange();
    void check();
    void look();
    bool appendGrowth(const platform::FileStamp &now);
    void reload();
    void reloadAsked();
    bool busy() const;
    void hideNotice();

    PaneControl &m_pane;
    PaneFileStatus &m_status;
    platform::FileServices &m_files;
    platform::LoadProgress *m_progress;
    Window m_window;
    DiskChangeNotice *m_notice = nullptr;
    QFileSystemWatcher *m_watcher = nullptr;
    QTimer m_gather;
    QElapsedTimer m_sinceCheck;
    bool m_checking = false;

    QString m_path;       ///< the regular file followed; empty when none
    Snapshot m_taken;     ///< the file as the pane's text came from it (or went to it)
    Snapshot m_seen;      ///< the file when last looked at
    qint64 m_followed = -1; ///< how many of the file's first bytes begin the pane's text; -1: not its bytes
    platform::FileStamp m_watchedFile;
};
