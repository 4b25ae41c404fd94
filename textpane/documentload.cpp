#include "textpane/documentload.h"

#include "platform/failure.h"
#include "platform/loadprogress.h"
#include "platform/regularfile.h"
#include "textpane/panecontrol.h"

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

namespace engine {

// The engine's document loader, as its documentation gives it: created by SCI_CREATELOADER,
// filled from any thread, then either turned into a document or released. Positions are
// ptrdiff_t in this build of the engine. Only the order of the calls matters here.
class Loader
{
public:
    virtual int Release() = 0;
    /// 0 when the bytes were taken.
    virtual int AddData(const char *data, std::ptrdiff_t length) = 0;
    virtual void *ConvertToDocument() = 0;

protected:
    ~Loader() = default;
};

} // namespace engine

namespace {

constexpr qint64 kChunkSize = 4 * 1024 * 1024;
constexpr qint64 kSmallestChunk = 4096;
constexpr int kTickMs = 50;

platform::Failure outOfMemory()
{
    return platform::Failure(QString::fromLocal8Bit(std::strerror(ENOMEM)));
}

} // namespace

DocumentLoad::DocumentLoad(PaneControl &pane, const QString &path)
    : m_pane(pane), m_fileName(QFileInfo(path).fileName())
{
    // Only a regular file is read, and up to its end rather than its size: a file under /proc
    // says 0 and still holds text.
    m_file = std::make_unique<platform::RegularFile>(path);
    m_loader = reinterpret_cast<engine::Loader *>(pane.createLoader(m_file->size()));
    if (!m_loader)
        throw platform::Failure(outOfMemory());
    m_worker = std::thread([this] { read(); });
}

DocumentLoad::~DocumentLoad()
{
    stop();
    if (m_loader)
        m_loader->Release();
}

void DocumentLoad::read()
{
    try {
        QByteArray chunk(std::clamp<qint64>(m_file->size(), kSmallestChunk, kChunkSize), Qt::Uninitialized);
        while (!m_stop) {
            const qint64 got = m_file->read(chunk.data(), chunk.size());
            if (got == 0)
                break;
            if (m_loader->AddData(chunk.constData(), got) != 0)
                throw platform::Failure(outOfMemory());
            m_done += got;
        }
    } catch (...) {
        m_failure = std::current_exception();
    }
    m_finished = true;
    m_wait.wake();
}

void DocumentLoad::stop()
{
    m_stop = true;
    if (m_worker.joinable())
        m_worker.join();
}

bool DocumentLoad::finish(platform::LoadProgress *progress)
{
    bool stopped = false;
    if (progress)
        progress->begin(m_fileName, m_file->size());
    m_wait.run([this] { return m_finished.load(); }, [&] {
        if (progress && !progress->advance(m_done))
            stopped = m_stop = true;
    }, kTickMs);
    // A last report when the read is complete: a Cancel pressed at its very end counts too.
    if (progress && !stopped && !progress->advance(m_done))
        stopped = true;
    stop();
    if (progress)
        progress->end();
    m_file.reset();

    engine::Loader *loader = std::exchange(m_loader, nullptr);
    if (stopped || m_failure) {
        loader->Release();
        m_pane.adoptDocument(nullptr);
        if (m_failure)
            std::rethrow_exception(m_failure);
        return false;
    }
    m_pane.adoptDocument(loader->ConvertToDocument());
    return true;
}
