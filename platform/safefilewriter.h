#pragma once

#include "platform/systemcalls.h"
#include "platform/writeprogress.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

namespace platform {

/// Writes a whole text to a file so that a failure never costs the old text and is never
/// reported as success. Normally a temporary file in the target's folder, written, given the
/// target's owner and mode, synced and renamed over it. Where renaming would change the file
/// (other hard links, an owner or group we cannot give, a folder we may not write) the file is
/// written in place instead, after a synced safety copy of its old bytes in the first folder of
/// ours alone that can take it; a folder others may read is never used, and with none the save
/// fails before the file is touched. Every failure throws `Failure` with the system's own message;
/// a save the caller stopped in time returns `WriteOutcome::Stopped` and leaves the file as it was.
/// One writer serves one thread.
class SafeFileWriter
{
public:
    /// The most bytes read or written in one call, and so between two progress calls. The safety
    /// copy goes through one buffer of this size, so a large file needs no more memory than a
    /// small one.
    static constexpr qsizetype kPieceSize = 4 * 1024 * 1024;

    /// The name of the last folder the safety copy may take, in the target's own folder.
    static constexpr const char *kFolderBesideTarget = ".brassfinch-safety";

    /// `safetyFolders` are tried in turn for the safety copy: each is made (mode 0700) if missing,
    /// with the folder above it, and taken only when it is a real folder, ours, closed to everyone
    /// else and writable. A name without a leading slash is taken in the target's folder, and
    /// removed there again once the save has emptied it.
    explicit SafeFileWriter(SystemCalls &calls, QList<QByteArray> safetyFolders = defaultSafetyFolders(),
                            qsizetype pieceSize = kPieceSize);

    /// Writes `data` to the file at `path`, telling `progress` after each piece, and once more just
    /// before the rename or the cut, when the bytes so far are synced: a sync can take long, and a
    /// stop asked for meanwhile still costs nothing. In place, `done` counts the safety copy of the
    /// old bytes first, then the new text. Should the system refuse the owner only once the text
    /// is written, the save starts over in place, and so does `done`.
    WriteOutcome write(const QByteArray &path, TextPieces pieces, const WriteProgress &progress = {});
    WriteOutcome write(const QByteArray &path, QByteArrayView data, const WriteProgress &progress = {})
    {
        return write(path, TextPieces(&data, 1), progress);
    }

    /// `$XDG_CACHE_HOME/brassfinch` (or `~/.cache/brassfinch`), `$XDG_RUNTIME_DIR/brassfinch` where
    /// that is set, and `kFolderBesideTarget`. The cache outlives a restart, should a copy have to
    /// stay; the runtime folder is private but goes at logout; beside the target only the
    /// target's own disk is needed.
    static QList<QByteArray> defaultSafetyFolders();

private:
    class Descriptor;
    class CreatedFile;
    class EmptiedFolder;
    class Progress;

    std::optional<WriteOutcome> replace(const QByteArray &target, const struct stat *old, TextPieces data,
                                        const WriteProgress &told);
    WriteOutcome writeInPlace(const QByteArray &target, TextPieces data, const WriteProgress &told);
    bool keepSafetyCopy(const QByteArray &target, int from, qint64 size, Progress &progress, EmptiedFolder &beside,
                        CreatedFile &copy);
    QByteArray safetyFolderFor(const QByteArray &target, EmptiedFolder &beside);
    QString whyNotPrivate(const QByteArray &folder);
    void restore(int fd, const QByteArray &copy, qint64 size);
    bool mayReplace(const QByteArray &target, const struct stat &info);
    int openRetrying(const QByteArray &path, int flags, mode_t mode);
    void createUnique(const QByteArray &stem, mode_t mode, CreatedFile &created);
    bool writePieces(int fd, TextPieces data, Progress &progress, qint64 before);
    void writeAll(int fd, QByteArrayView data);
    bool copyAll(int from, int to, qint64 size, Progress *progress);
    void syncFolder(const QByteArray &folder);

    SystemCalls &m_calls;
    QList<QByteArray> m_safetyFolders;
    qsizetype m_pieceSize;
};

} // namespace platform
