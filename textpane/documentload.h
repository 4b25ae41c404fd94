#pragma once

#include "platform/memoryroom.h"
#include "platform/quietwait.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class PaneControl;
class QsciScintillaBase;
namespace platform { class LoadProgress; class RegularFile; }
namespace engine { class Loader; }

/// A file read into a new engine document off the user-interface thread, which goes on meanwhile.
/// Two workers share the work: one reads the file in chunks (and shows each to `inspect`), the
/// other feeds them to the engine, which indexes the lines. The file is opened at once, so one
/// that cannot be opened fails here and leaves every pane as it was; the document reaches its
/// pane only through `finish`.
class DocumentLoad
{
public:
    using Inspect = std::function<void(QByteArrayView)>;

    /// Opens the file and starts reading it; `inspect`, when given, sees every chunk in order, on
    /// a worker. Throws platform::Failure when the file cannot be opened or is no regular file.
    DocumentLoad(PaneControl &pane, const QString &path, Inspect inspect = {});
    /// A load never finished is stopped and its document dropped.
    ~DocumentLoad();
    DocumentLoad(const DocumentLoad &) = delete;
    DocumentLoad &operator=(const DocumentLoad &) = delete;

    /// Waits for the read, showing its progress once it takes a while, and gives the pane the
    /// document. Returns false, with the pane emptied, when the user stopped the load; throws
    /// platform::Failure, with the pane's text as it was, when a read failed part-way. `vet`,
    /// when given, runs once the whole file is read, before the pane gets it; what it throws
    /// counts as a failed read.
    bool finish(platform::LoadProgress *progress, const std::function<void()> &vet = {});

    /// The bytes read so far; all of them once `finish` has waited for the read.
    qint64 bytesRead() const { return m_done; }

private:
    /// What the text takes in memory once `read` bytes are in.
    qint64 memoryToTake(qint64 read) const;
    /// Keeps what of `chunk`, read from offset `at`, lies just before the file's end as opened.
    void keepTail(QByteArrayView chunk, qint64 at);
    /// Throws when the file changed while it was read, other than by growing.
    void refuseIfChanged() const;
    void read();
    void feed();
    void fail();
    void stop();

    PaneControl &m_pane;
    std::unique_ptr<QsciScintillaBase> m_maker; ///< the hidden view the engine's loader is made through
    QString m_fileName;
    Inspect m_inspect;
    std::unique_ptr<platform::RegularFile> m_file;
    platform::MemoryRoom m_room; ///< what the text may take, as the load began
    qint64 m_read = 0;           ///< by the reader
    QByteArray m_tail;           ///< by the reader: the bytes before the end as opened
    engine::Loader *m_loader = nullptr;

    // Chunks pass from the reader to the feeder and back; all of it under m_lock.
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<QByteArray> m_empty;
    std::deque<QByteArray> m_full;
    bool m_readEnded = false;
    std::exception_ptr m_failure;

    std::atomic<qint64> m_done{0};
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_stop{false};
    std::thread m_reader;
    std::thread m_feeder;
    platform::QuietWait m_wait;
};
