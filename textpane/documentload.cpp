// A load, in order:
//  1. On the window's thread: the file is opened, its size measured against the memory left, and
//     a buffer mapped for the whole of it (nothing touched yet).
//  2. The faulter runs ahead of the reader and has the system give the buffer its pages: clearing
//     fresh memory costs more here than copying the file, so it runs beside the copy.
//  3. The reader reads the file straight into that buffer, stretch by stretch, up to its end (a
//     pipe or a growing file makes the buffer grow, its pages moved rather than copied).
//  4. The indexer follows behind it, indexes the lines of each stretch and shows it to the
//     inspector (the encoding scan).
//  5. On the window's thread, once all three have ended: the file is checked to be the one it was
//     (else the text is refused), and the buffer and its index become a document for the pane.
// A load given up at any point leaves the workers to end on their own; they own all they touch.

#include "textpane/documentload.h"

#include "platform/failure.h"
#include "platform/loadprogress.h"
#include "platform/memoryroom.h"
#include "platform/quietwait.h"
#include "platform/regularfile.h"
#include "textpane/bigbuffer.h"
#include "textpane/lineindex.h"
#include "textpane/panecontrol.h"
#include "textpane/textdocument.h"

#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace {

constexpr qint64 kStretch = 4 * 1024 * 1024;
// How far the faulter runs ahead of the reader, and in what steps.
constexpr qint64 kFaultAhead = 32 * 1024 * 1024;
constexpr qint64 kFaultStep = 4 * 1024 * 1024;
// Room a pipe's buffer starts with; it doubles as it fills.
constexpr qint64 kPipeRoom = 16 * 1024 * 1024;
// Room beyond a file's size, so that one that grew a little while it was read needs no regrowth.
constexpr qint64 kGrowthRoom = 64 * 1024;
constexpr int kTickMs = 50;
// How much of a file's old end is compared again when it grew while it was read.
constexpr qint64 kTailSize = 4096;

} // namespace

struct DocumentLoad::Work
{
    std::unique_ptr<platform::RegularFile> file;
    platform::MemoryRoom room; ///< what the text may take, as the load began
    BigBuffer text;
    LineIndex index;
    QByteArray tail; ///< by the reader: the bytes before the end as opened

    std::mutex inspecting; ///< held while the inspector runs, so a load given up can drop it
    Inspect inspect;

    std::mutex lock; // everything below, bar the atomics
    std::condition_variable changed;
    qint64 read = 0;    ///< bytes in the buffer
    qint64 indexed = 0; ///< bytes in the index
    qint64 faulted = 0; ///< bytes given their pages ahead of the reader
    bool readEnded = false;
    bool faulting = true; ///< the faulter still works on the buffer, which must not move meanwhile
    int running = 3;
    std::exception_ptr failure;
    platform::QuietWait *waiter = nullptr; ///< the window's thread, while it waits

    std::atomic<bool> stop{false};
    std::atomic<qint64> done{0};
    std::atomic<bool> finished{false};

    void readAll();
    void indexAll();
    void faultAll();
    void fail();
    void ended();
    void giveUp();
    void keepTail(QByteArrayView stretch, qint64 at);
    void refuseIfChanged() const;
};

void DocumentLoad::Work::readAll()
{
    try {
        for (;;) {
            const qint64 at = read; // only this thread moves it
            if (text.capacity() == at) {
                // The buffer may move as it grows: the indexer must be between two stretches, and
                // the faulter done.
                std::unique_lock held(lock);
                changed.wait(held, [this] { return stop || (indexed == read && !faulting); });
                if (stop)
                    break;
                if (!text.reserve(std::max(2 * text.capacity(), at + kStretch)))
                    throw platform::outOfMemory();
            }
            const qint64 got = file->read(text.data() + at, std::min(kStretch, text.capacity() - at), &stop);
            if (stop)
                break;
            if (got == 0)
                break;
            keepTail(QByteArrayView(text.data() + at, got), at);
            const qint64 needed = PaneControl::memoryToHold(at + got);
            if (!room.allows(needed))
                throw platform::Failure(room.refusal(needed, QStringLiteral("Reading it")));
            std::lock_guard held(lock);
            read = at + got;
            done = read;
            changed.notify_all();
        }
    } catch (...) {
        fail();
    }
    std::lock_guard held(lock);
    readEnded = true;
    changed.notify_all();
}

void DocumentLoad::Work::indexAll()
{
    try {
        for (;;) {
            qint64 from = 0, to = 0;
            {
                std::unique_lock held(lock);
                changed.wait(held, [this] { return stop || readEnded || read > indexed; });
                if (stop || (readEnded && read == indexed))
                    break;
                from = indexed;
                to = read;
            }
            const QByteArrayView stretch(text.data() + from, to - from);
            index.add(stretch);
            {
                std::lock_guard held(inspecting);
                if (inspect && !stop)
                    inspect(stretch);
            }
            std::lock_guard held(lock);
            indexed = to;
            changed.notify_all();
        }
    } catch (...) {
        fail();
    }
}

void DocumentLoad::Work::faultAll()
{
    for (;;) {
        qint64 from = 0;
        {
            std::unique_lock held(lock);
            changed.wait(held, [this] { return stop || readEnded || faulted < read + kFaultAhead; });
            if (stop || readEnded || faulted >= text.capacity())
                break;
            from = faulted;
        }
        // Where the system cannot, the reader's writes take the pages as they go.
        const qint64 length = std::min(kFaultStep, text.capacity() - from);
        if (!text.populate(from, length))
            break;
        std::lock_guard held(lock);
        faulted = from + length;
    }
    std::lock_guard held(lock);
    faulting = false;
    changed.notify_all();
}

void DocumentLoad::Work::fail()
{
    std::lock_guard held(lock);
    if (!failure)
        failure = std::current_exception();
    stop = true;
    changed.notify_all();
}

void DocumentLoad::Work::ended()
{
    std::lock_guard held(lock);
    if (--running > 0)
        return;
    finished = true;
    if (waiter)
        waiter->wake();
}

void DocumentLoad::Work::giveUp()
{
    {
        std::lock_guard held(lock);
        stop = true;
        waiter = nullptr;
        changed.notify_all();
    }
    // What the inspector looks at belongs to the caller: once this returns it is never called.
    std::lock_guard held(inspecting);
    inspect = nullptr;
}

void DocumentLoad::Work::keepTail(QByteArrayView stretch, qint64 at)
{
    // The bytes before the end the file had when it was opened, as they were read.
    const qint64 from = std::max<qint64>(file->size() - kTailSize, 0);
    const qint64 first = std::max(from, at);
    const qint64 last = std::min<qint64>(file->size(), at + stretch.size());
    if (first < last)
        tail.append(stretch.sliced(first - at, last - first));
}

void DocumentLoad::Work::refuseIfChanged() const
{
    // A file cut short, written over or replaced while it was read gives a text that is neither
    // the old file nor the new one, so none of it reaches the pane. A file that only grew (a log
    // written to) still begins with the bytes that were read, which its old end shows.
    const platform::RegularFile::Change change = file->changeSinceOpened();
    const qint64 from = std::max<qint64>(file->size() - kTailSize, 0);
    if (change == platform::RegularFile::Change::Other
        || (change == platform::RegularFile::Change::Grew && file->bytesAt(from, tail.size()) != tail))
        throw platform::Failure(QStringLiteral("The file changed while it was being read, so none of it was loaded."));
}

DocumentLoad::DocumentLoad(PaneControl &pane, const QString &path, Inspect inspect)
    : m_pane(pane), m_fileName(QFileInfo(path).fileName()), m_work(std::make_shared<Work>())
{
    Work &work = *m_work;
    // Only a regular file or a pipe is read, and up to its end rather than its size: a file
    // under /proc says 0 and still holds text.
    work.file = std::make_unique<platform::RegularFile>(path, platform::RegularFile::Pipes::Read);
    // A file that cannot fit is refused before a byte is read, so the panes stay as they are
    // rather than the program being ended by the kernel part-way. What gives no size (a pipe, a
    // file under /proc) is measured against the memory left as it comes in.
    work.room = platform::memoryRoom(platform::SystemMemorySources());
    const qint64 size = work.file->size();
    const qint64 needed = PaneControl::memoryToHold(size);
    if (size > 0 && !work.room.allows(needed))
        throw platform::Failure(work.room.refusal(needed, QStringLiteral("Opening it")));
    work.text = BigBuffer(work.file->isPipe() || size == 0 ? kPipeRoom : size + kGrowthRoom);
    if (work.text.isNull())
        throw platform::outOfMemory();
    work.inspect = std::move(inspect);
    std::thread([work = m_work] {
        work->faultAll();
        work->ended();
    }).detach();
    std::thread([work = m_work] {
        work->indexAll();
        work->ended();
    }).detach();
    std::thread([work = m_work] {
        work->readAll();
        work->ended();
    }).detach();
}

DocumentLoad::~DocumentLoad()
{
    m_work->giveUp();
}

qint64 DocumentLoad::bytesRead() const
{
    return m_work->done;
}

bool DocumentLoad::finish(platform::LoadProgress *progress, const std::function<void()> &vet)
{
    Work &work = *m_work;
    bool stopped = false;
    if (progress)
        progress->begin(m_fileName, work.file->size());
    platform::QuietWait wait;
    {
        std::lock_guard held(work.lock);
        work.waiter = &wait;
    }
    wait.run([&] { return stopped || work.finished.load(); }, [&] {
        if (progress && !progress->advance(work.done))
            stopped = true;
    }, kTickMs);
    // A last report when the read is complete: a Cancel pressed at its very end counts too.
    if (progress && !stopped && !progress->advance(work.done))
        stopped = true;
    {
        std::lock_guard held(work.lock);
        work.waiter = nullptr;
    }
    if (progress)
        progress->end();
    if (stopped) {
        work.giveUp();
        m_pane.adoptDocument(nullptr);
        return false;
    }
    // The workers have ended: what they held is the window's thread's now.
    if (!work.failure && !work.stop) {
        try {
            work.refuseIfChanged();
        } catch (...) {
            work.failure = std::current_exception();
        }
    }
    if (vet && !work.failure) {
        try {
            vet();
        } catch (...) {
            work.failure = std::current_exception();
        }
    }
    if (work.failure)
        std::rethrow_exception(work.failure);
    work.file.reset();
    work.text.setSize(work.read);
    m_pane.adoptDocument(std::make_shared<TextDocument>(std::move(work.text), std::move(work.index)));
    return true;
}
