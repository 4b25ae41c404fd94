// Following a file, in order:
//  1. Once the pane's text is a file's (loaded, or saved there), the file is stamped (identity,
//     size, time; its bytes too where the time cannot tell), and it and its folder are watched.
//     How many of the file's first bytes begin the pane's text is found from its old end: all of
//     them after a save, all but the open's carriage return after a load, none of them where the
//     text was converted.
//  2. A change seen on disk waits a little, so that one write's steps are seen together; more
//     changes meanwhile are gathered, and looked at once an interval.
//  3. While an action of the window runs (a load, a save, a question), the look waits for it.
//  4. The file is stamped again. Nothing new: nothing to do. A new file under the name is
//     watched in place of the old one.
//  5. A pane with edits keeps them: its notice tells of the change, once, however many follow.
//  6. A pane without edits follows: a file that only grew, whose old end is as the pane has it,
//     gets its new bytes put before the open's carriage return, as no step to undo; any other
//     change reads it again through the loader, the view and caret kept on their lines.

#include "panes/panefollower.h"

#include "panes/diskchangenotice.h"
#include "panes/panefiles.h"
#include "panes/panefilestatus.h"
#include "platform/failure.h"
#include "platform/messageboxes.h"
#include "platform/regularfile.h"
#include "textpane/panecontrol.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QScopedValueRollback>

#include <algorithm>

using platform::FileStamp;
using OnDisk = PaneFileStatus::OnDisk;
using Kind = DiskChangeNotice::Kind;

namespace {

// How much of the file's old end must be as the pane has it for new bytes to be only added.
constexpr qint64 kOldEndSize = 4096;
// Growth up to this is read on the window's thread (a log's lines); more goes through the loader,
// which reads on its workers while the window paints.
constexpr qint64 kLargestAppend = 4 * 1024 * 1024;

/// A follower asks nothing: a file gone by the time it is read is told in the pane's notice.
class Unasked final : public platform::MessageBoxes
{
public:
    platform::MessageAnswer show(const platform::MessageRequest &request) override { return request.defaultButton; }
};

// Whether the pane's text begins with the file's first `length` bytes, judged by their end.
bool paneBeginsWith(const PaneControl &pane, const platform::RegularFile &file, qint64 length)
{
    if (length < 0 || length > pane.byteCount())
        return false;
    const qint64 from = std::max<qint64>(0, length - kOldEndSize);
    return file.bytesAt(from, length - from) == pane.document().bytes(from, length - from);
}

} // namespace

PanePlace placeOf(const PaneControl &pane)
{
    const TextDocument &text = pane.document();
    const qint64 caret = pane.editor().caret();
    const qint64 line = text.lineOf(caret);
    // The last line is the empty one after the open's carriage return: a view that shows the
    // line before it shows the end of the text.
    return {pane.firstVisibleLine(), pane.scrollPosition().x(), line, caret - text.lineStart(line),
            pane.firstVisibleLine() + std::max<qint64>(1, pane.visibleLineCount()) >= text.lineCount() - 1};
}

void restorePlace(PaneControl &pane, const PanePlace &place)
{
    const TextDocument &text = pane.document();
    const qint64 line = std::min(place.caretLine, text.lineCount() - 1);
    const qint64 caret = std::min(text.lineStart(line) + place.caretColumn, text.lineEnd(line));
    pane.select(caret, caret);
    pane.setFirstVisibleLine(place.atEnd ? text.lineCount() : place.topLine);
    pane.setScrollPosition({place.horizontalOffset, pane.scrollPosition().y()});
}

QString changedOnDiskQuestion(const QString &path)
{
    return path + QStringLiteral(" was changed on disk since this pane's text was loaded from it or saved to it.\n\n"
                                 "Write this text over it, losing that change?");
}

PaneFollower::PaneFollower(PaneControl &pane, PaneFileStatus &status, platform::FileServices &files,
                           platform::LoadProgress *progress, Window window)
    : QObject(&pane), m_pane(pane), m_status(status), m_files(files), m_progress(progress), m_window(std::move(window)),
      m_watcher(new QFileSystemWatcher(this))
{
    m_gather.setSingleShot(true);
    connect(&m_gather, &QTimer::timeout, this, &PaneFollower::check);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &PaneFollower::noteChange);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &PaneFollower::noteChange);
    connect(&status, &PaneFileStatus::settled, this, &PaneFollower::settle);
    settle();
}

PaneFollower::~PaneFollower() = default;

DiskChangeNotice &PaneFollower::notice()
{
    // Made when first needed: a pane whose file never changes has none.
    if (!m_notice) {
        m_notice = new DiskChangeNotice(&m_pane);
        connect(m_notice, &DiskChangeNotice::reloadAsked, this, &PaneFollower::reloadAsked);
    }
    return *m_notice;
}

void PaneFollower::hideNotice()
{
    if (m_notice)
        m_notice->hide();
}

PaneFollower *PaneFollower::of(PaneControl &pane)
{
    return pane.findChild<PaneFollower *>(QString(), Qt::FindDirectChildrenOnly);
}

bool PaneFollower::wouldOverwriteChange(const QString &path) const
{
    if (m_path.isEmpty())
        return false;
    const FileStamp target = platform::stampOf(path);
    if (!target.exists)
        return false;
    const bool followed = QFileInfo(path).absoluteFilePath() == QFileInfo(m_path).absoluteFilePath()
                          || target.sameFileAs(m_taken.stamp);
    return followed && changedSince(m_taken, target);
}

PaneFollower::Snapshot PaneFollower::snapshotOf(const FileStamp &stamp) const
{
    return {stamp, stamp.isRacy() ? platform::contentDigest(m_path) : QByteArray()};
}

bool PaneFollower::changedSince(const Snapshot &snapshot, const FileStamp &now) const
{
    if (!(now == snapshot.stamp))
        return true;
    // Written within the time's grain of the stamp: a rewrite of the same length would look the same.
    return snapshot.stamp.isRacy() && platform::contentDigest(m_path) != snapshot.digest;
}

qint64 PaneFollower::followedLength(const FileStamp &now) const
{
    try {
        const platform::RegularFile file(m_path);
        const qint64 count = m_pane.byteCount();
        // After a save the text is the whole file; after an open, all of it but the open's
        // carriage return.
        if (count <= now.size && paneBeginsWith(m_pane, file, count))
            return count;
        if (count > 0 && count - 1 <= now.size && m_pane.document().at(count - 1) == '\r'
            && paneBeginsWith(m_pane, file, count - 1))
            return count - 1;
    } catch (const platform::Failure &) {
    } catch (const std::bad_alloc &) {
    }
    return -1;
}

void PaneFollower::settle()
{
    m_gather.stop();
    hideNotice();
    m_path.clear();
    m_followed = -1;
    m_taken = m_seen = {};
    const QString path = m_status.path();
    const FileStamp now = path.isEmpty() ? FileStamp() : platform::stampOf(path);
    // Only a regular file is followed: a pipe's text came once, and a device's never ends.
    if (!now.regular) {
        watch(now);
        return;
    }
    m_path = path;
    m_followed = followedLength(now);
    m_taken = snapshotOf(now);
    watch(now);
    if (m_followed >= 0 && m_followed != now.size) {
        // The file grew after it was read, as a log does: the text has only its first bytes.
        m_taken.stamp.size = m_followed;
        noteChange();
    } else {
        m_seen = m_taken;
    }
}

void PaneFollower::watch(const FileStamp &now)
{
    const QStringList watched = m_watcher->files() + m_watcher->directories();
    if (!watched.isEmpty())
        m_watcher->removePaths(watched);
    m_watchedFile = now;
    if (m_path.isEmpty())
        return;
    // The folder shows a rename over the file, a delete and a re-create; the file, its writes.
    if (now.exists)
        m_watcher->addPath(m_path);
    m_watcher->addPath(QFileInfo(m_path).absolutePath());
}

void PaneFollower::noteChange()
{
    if (m_path.isEmpty() || m_gather.isActive())
        return;
    const qint64 since = m_sinceCheck.isValid() ? m_sinceCheck.elapsed() : kGatherMs;
    m_gather.start(int(std::clamp<qint64>(kGatherMs - since, kSettleMs, kGatherMs)));
}

bool PaneFollower::busy() const
{
    return m_checking || (m_window.busy && m_window.busy());
}

void PaneFollower::check()
{
    m_sinceCheck.start();
    if (m_path.isEmpty())
        return;
    if (busy()) {
        m_gather.start(kGatherMs);
        return;
    }
    const QScopedValueRollback checking(m_checking, true);
    look();
}

void PaneFollower::look()
{
    const FileStamp now = platform::stampOf(m_path);
    // A new file under the name (renamed over it, or made again) is watched in place of the old.
    if (now.exists && !now.sameFileAs(m_watchedFile))
        watch(now);
    if (!changedSince(m_seen, now))
        return;
    m_seen = snapshotOf(now);
    if (!now.exists) {
        m_status.setOnDisk(OnDisk::Deleted);
        notice().tell(Kind::Deleted);
        return;
    }
    if (!changedSince(m_taken, now)) {
        m_status.setOnDisk(OnDisk::Same);
        hideNotice();
        return;
    }
    if (!now.regular) {
        m_status.setOnDisk(OnDisk::Changed);
        notice().tell(Kind::Failed, QStringLiteral("It is no longer a regular file."));
        return;
    }
    if (m_status.isEdited()) {
        m_status.setOnDisk(OnDisk::Changed);
        notice().tell(Kind::Changed);
        return;
    }
    if (appendGrowth(now))
        return;
    const bool ran = m_window.run ? m_window.run([this] { reload(); }) : (reload(), true);
    if (!ran) {
        m_seen = {};
        m_gather.start(kGatherMs);
    }
}

bool PaneFollower::appendGrowth(const FileStamp &now)
{
    if (m_followed < 0 || !now.sameFileAs(m_taken.stamp) || now.size <= m_followed
        || now.size - m_followed > kLargestAppend)
        return false;
    try {
        const platform::RegularFile file(m_path);
        const FileStamp opened = file.stamp();
        if (!opened.sameFileAs(m_taken.stamp) || opened.size <= m_followed || opened.size - m_followed > kLargestAppend
            || !paneBeginsWith(m_pane, file, m_followed))
            return false;
        const QByteArray added = file.bytesAt(m_followed, opened.size - m_followed);
        if (added.size() != opened.size - m_followed)
            return false; // cut short meanwhile: read again
        const bool atEnd = placeOf(m_pane).atEnd;
        // Before the open's carriage return, so the text stays the file's bytes and that one.
        m_pane.insertBytes(m_followed, added);
        if (atEnd)
            m_pane.setFirstVisibleLine(m_pane.document().lineCount());
        m_followed = opened.size;
        m_taken = m_seen = snapshotOf(opened);
    } catch (const platform::Failure &) {
        return false;
    } catch (const std::bad_alloc &) {
        return false;
    }
    m_status.setOnDisk(OnDisk::Same);
    hideNotice();
    return true;
}

void PaneFollower::reload()
{
    const PanePlace place = placeOf(m_pane);
    const QString path = m_path;
    Unasked unasked;
    LoadOutcome outcome = LoadOutcome::Missing;
    try {
        outcome = LoadPane({m_files, unasked, m_progress}, m_pane, path);
        if (outcome == LoadOutcome::Loaded)
            m_pane.appendBytes(kLoadEnd);
    } catch (const platform::Failure &failure) {
        // The pane is as it was; the next change, or Reload, tries again.
        m_status.setOnDisk(OnDisk::Changed);
        notice().tell(Kind::Failed, failure.message());
        return;
    }
    switch (outcome) {
    case LoadOutcome::Missing:
        m_status.setOnDisk(OnDisk::Deleted);
        notice().tell(Kind::Deleted);
        return;
    case LoadOutcome::Loaded:
        m_status.loaded(path);
        restorePlace(m_pane, place);
        break;
    case LoadOutcome::Stopped:
        // As with an open the user stopped: the pane is empty and shows no file.
        m_status.cleared();
        break;
    }
    emit reloaded();
}

void PaneFollower::reloadAsked()
{
    if (m_path.isEmpty() || busy())
        return;
    const QScopedValueRollback checking(m_checking, true);
    if (m_window.run)
        m_window.run([this] { reload(); });
    else
        reload();
}
