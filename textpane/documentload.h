#pragma once

#include "platform/quietwait.h"

#include <QString>

#include <atomic>
#include <exception>
#include <memory>
#include <thread>

class PaneControl;
namespace platform { class LoadProgress; class RegularFile; }
namespace engine { class Loader; }

/// A file read into a new engine document on a worker thread, while the user-interface thread
/// goes on. The file is opened at once, so a file that cannot be opened fails here and leaves
/// every pane as it was; the document reaches a pane only through `finish`.
class DocumentLoad
{
public:
    /// Opens the file and starts reading it. Throws platform::Failure when it cannot be opened
    /// or is no regular file.
    DocumentLoad(PaneControl &pane, const QString &path);
    /// A load never finished is stopped and its document dropped.
    ~DocumentLoad();
    DocumentLoad(const DocumentLoad &) = delete;
    DocumentLoad &operator=(const DocumentLoad &) = delete;

    /// Waits for the read, showing its progress once it takes a while, and gives the pane the
    /// document. Returns false, with the pane emptied, when the user stopped the load; throws
    /// platform::Failure, with the pane emptied, when a read failed part-way.
    bool finish(platform::LoadProgress *progress);

private:
    void read();
    void stop();

    PaneControl &m_pane;
    QString m_fileName;
    std::unique_ptr<platform::RegularFile> m_file;
    engine::Loader *m_loader = nullptr;
    std::thread m_worker;
    std::atomic<qint64> m_done{0};
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_stop{false};
    std::exception_ptr m_failure;
    platform::QuietWait m_wait;
};
