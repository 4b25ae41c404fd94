#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>
#include <memory>

class PaneControl;
namespace platform { class LoadProgress; }

/// A file read into a new document off the user-interface thread, which goes on meanwhile.
/// Two workers share the work: one reads the file straight into the document's buffer (and
/// shows each stretch to `inspect`), the other indexes its lines as they arrive. The file is
/// opened at once, so one that cannot be opened fails here and leaves every pane as it was; the
/// document reaches its pane only through `finish`, on the window's thread.
///
/// The workers own what they work on: a load given up (stopped, failed, or dropped unfinished)
/// returns at once and leaves them to end on their own, so a read stuck on a hung mount never
/// holds the window.
class DocumentLoad
{
public:
    using Inspect = std::function<void(QByteArrayView)>;

    /// Opens the file and starts reading it; `inspect`, when given, sees every stretch in order,
    /// on a worker, never after this load is gone. Throws platform::Failure when the file cannot
    /// be opened, is no regular file, or cannot fit in memory.
    DocumentLoad(PaneControl &pane, const QString &path, Inspect inspect = {});
    /// A load never finished is stopped and its document dropped.
    ~DocumentLoad();
    DocumentLoad(const DocumentLoad &) = delete;
    DocumentLoad &operator=(const DocumentLoad &) = delete;

    /// Waits for the read, showing its progress once it takes a while, and gives the pane the
    /// document. Returns false, with the pane emptied, when the user stopped the load; throws
    /// platform::Failure, with the pane's text as it was, when a read failed part-way or the file
    /// changed while it was read. `vet`, when given, runs once the whole file is read, before the
    /// pane gets it; what it throws counts as a failed read.
    bool finish(platform::LoadProgress *progress, const std::function<void()> &vet = {});

    /// The bytes read so far; all of them once `finish` has waited for the read.
    qint64 bytesRead() const;

    struct Work;

private:
    PaneControl &m_pane;
    QString m_fileName;
    std::shared_ptr<Work> m_work;
};
