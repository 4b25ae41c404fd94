#include "textpane/documentload.h"

#include "platform/failure.h"
#include "platform/loadprogress.h"
#include "platform/memoryroom.h"
#include "platform/regularfile.h"
#include "textpane/engineloader.h"
#include "textpane/panecontrol.h"

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>


namespace {

constexpr qint64 kChunkSize = 4 * 1024 * 1024;
constexpr qint64 kSmallestChunk = 4096;
constexpr int kChunksInFlight = 3;
constexpr int kTickMs = 50;
// How much of a file's old end is compared again when it grew while it was read.
constexpr qint64 kTailSize = 4096;

} // namespace

DocumentLoad::DocumentLoad(PaneControl &pane, const QString &path, Inspect inspect)
    : m_pane(pane), m_maker(std::make_unique<QsciScintillaBase>()), m_fileName(QFileInfo(path).fileName()),
      m_inspect(std::move(inspect))
{
    // Only a regular file or a pipe is read, and up to its end rather than its size: a file
    // under /proc says 0 and still holds text.
    m_file = std::make_unique<platform::RegularFile>(path, platform::RegularFile::Pipes::Read);
    // A file that cannot fit is refused before a byte is read, so the panes stay as they are
    // rather than the program being ended by the kernel part-way. What gives no size (a pipe, a
    // file under /proc) is measured against the memory left as it comes in.
    m_room = platform::memoryRoom(platform::SystemMemorySources());
    const qint64 needed = memoryToTake(m_file->size());
    if (m_file->size() > 0 && !m_room.allows(needed))
        throw platform::Failure(m_room.refusal(needed, QStringLiteral("Opening it")));
    // A pipe tells no size: it gets whole chunks.
    const qint64 chunk = m_file->isPipe() ? kChunkSize : std::clamp<qint64>(m_file->size(), kSmallestChunk, kChunkSize);
    for (int i = 0; i < kChunksInFlight; ++i)
        m_empty.emplace_back(chunk, Qt::Uninitialized);
    m_feeder = std::thread([this] { feed(); });
    m_reader = std::thread([this] { read(); });
}

DocumentLoad::~DocumentLoad()
{
    stop();
    if (m_loader)
        engine::release(m_loader);
}

qint64 DocumentLoad::memoryToTake(qint64 read) const
{
    // Past the room it was made with (a pipe, a file that grows), the engine's buffer grows by
    // copying itself, and holds the old copy and the new one for a moment.
    const qint64 held = PaneControl::memoryToHold(read + kChunksInFlight * kChunkSize);
    return read > m_file->size() ? 2 * held : held;
}

void DocumentLoad::keepTail(QByteArrayView chunk, qint64 at)
{
    // The bytes before the end the file had when it was opened, as they were read.
    const qint64 from = std::max<qint64>(m_file->size() - kTailSize, 0);
    const qint64 first = std::max(from, at);
    const qint64 last = std::min<qint64>(m_file->size(), at + chunk.size());
    if (first < last)
        m_tail.append(chunk.sliced(first - at, last - first));
}

void DocumentLoad::refuseIfChanged() const
{
    // A file cut short, written over or replaced while it was read gives a text that is neither
    // the old file nor the new one, so none of it reaches the pane. A file that only grew (a log
    // written to) still begins with the bytes that were read, which its old end shows.
    const platform::RegularFile::Change change = m_file->changeSinceOpened();
    const qint64 from = std::max<qint64>(m_file->size() - kTailSize, 0);
    if (change == platform::RegularFile::Change::Other
        || (change == platform::RegularFile::Change::Grew && m_file->bytesAt(from, m_tail.size()) != m_tail))
        throw platform::Failure(QStringLiteral("The file changed while it was being read, so none of it was loaded."));
}

void DocumentLoad::read()
{
    try {
        for (;;) {
            QByteArray chunk;
            {
                std::unique_lock lock(m_lock);
                m_changed.wait(lock, [this] { return m_stop || !m_empty.empty(); });
                if (m_stop)
                    break;
                chunk = std::move(m_empty.back());
                m_empty.pop_back();
            }
            chunk.resize(chunk.capacity());
            // A pipe gives at most its buffer at a time: the chunk is filled, so the engine is
            // fed, and the memory measured, in whole chunks.
            qint64 got = 0;
            for (qint64 last = -1; got < chunk.size() && last != 0 && (got == 0 || m_file->isPipe());) {
                last = m_file->read(chunk.data() + got, chunk.size() - got, &m_stop);
                got += last;
            }
            if (got == 0) {
                refuseIfChanged();
                break;
            }
            keepTail(QByteArrayView(chunk).first(got), m_read);
            m_read += got;
            const qint64 needed = memoryToTake(m_read);
            if (!m_room.allows(needed))
                throw platform::Failure(m_room.refusal(needed, QStringLiteral("Reading it")));
            chunk.resize(got);
            if (m_inspect)
                m_inspect(chunk);
            std::lock_guard lock(m_lock);
            m_full.push_back(std::move(chunk));
            m_changed.notify_all();
        }
    } catch (...) {
        fail();
    }
    std::lock_guard lock(m_lock);
    m_readEnded = true;
    m_changed.notify_all();
}

void DocumentLoad::feed()
{
    try {
        // Created here, so that the engine's clearing of the room for the whole text overlaps the
        // first reads. The engine resets the map of shown lines of the view a loader is made
        // through, so it is made through a view of its own that is never shown, never the pane:
        // the window goes on painting the pane meanwhile.
        m_loader = reinterpret_cast<engine::Loader *>(PaneControl::createLoader(*m_maker, m_file->size()));
        if (!m_loader)
            throw platform::outOfMemory();
        for (;;) {
            QByteArray chunk;
            {
                std::unique_lock lock(m_lock);
                m_changed.wait(lock, [this] { return m_stop || m_readEnded || !m_full.empty(); });
                if (m_stop || m_full.empty())
                    break;
                chunk = std::move(m_full.front());
                m_full.pop_front();
            }
            if (engine::addData(m_loader, chunk.constData(), chunk.size()) != 0)
                throw platform::outOfMemory();
            m_done += chunk.size();
            std::lock_guard lock(m_lock);
            m_empty.push_back(std::move(chunk));
            m_changed.notify_all();
        }
    } catch (...) {
        fail();
    }
    m_finished = true;
    m_wait.wake();
}

void DocumentLoad::fail()
{
    std::lock_guard lock(m_lock);
    if (!m_failure)
        m_failure = std::current_exception();
    m_stop = true;
    m_changed.notify_all();
}

void DocumentLoad::stop()
{
    {
        std::lock_guard lock(m_lock);
        m_stop = true;
        m_changed.notify_all();
    }
    if (m_reader.joinable())
        m_reader.join();
    if (m_feeder.joinable())
        m_feeder.join();
}

bool DocumentLoad::finish(platform::LoadProgress *progress, const std::function<void()> &vet)
{
    bool stopped = false;
    if (progress)
        progress->begin(m_fileName, m_file->size());
    m_wait.run([this] { return m_finished.load(); }, [&] {
        if (progress && !progress->advance(m_done)) {
            stopped = true;
            stop();
        }
    }, kTickMs);
    // A last report when the read is complete: a Cancel pressed at its very end counts too.
    if (progress && !stopped && !progress->advance(m_done))
        stopped = true;
    stop();
    if (progress)
        progress->end();
    m_file.reset();
    if (vet && !stopped && !m_failure) {
        try {
            vet();
        } catch (...) {
            m_failure = std::current_exception();
        }
    }

    engine::Loader *loader = std::exchange(m_loader, nullptr);
    if (stopped || m_failure) {
        if (loader)
            engine::release(loader);
        // A failed read leaves the text the pane had; only a load the user stopped empties it.
        if (m_failure)
            std::rethrow_exception(m_failure);
        m_pane.adoptDocument(nullptr);
        return false;
    }
    m_pane.adoptDocument(engine::toDocument(loader));
    return true;
}
