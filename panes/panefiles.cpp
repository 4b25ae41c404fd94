#include "panes/panefiles.h"

#include "panes/fileexists.h"
#include "platform/failure.h"
#include "platform/fileservices.h"
#include "platform/loadprogress.h"
#include "platform/memoryroom.h"
#include "platform/messageboxes.h"
#include "platform/quietwait.h"
#include "textpane/documentload.h"
#include "textpane/panecontrol.h"

#include <QFileInfo>
#include <QScopeGuard>

#include <atomic>
#include <exception>
#include <thread>

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;

namespace {

constexpr int kTickMs = 50;

/// Runs `work` on a worker thread while the window goes on painting, with `tick` every so often
/// meanwhile; its failure is rethrown here.
template<typename Work>
void runAside(Work work, const std::function<void()> &tick = [] {})
{
    platform::QuietWait wait;
    std::atomic<bool> done{false};
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
        wait.wake();
    });
    wait.run([&] { return done.load(); }, tick, kTickMs);
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace

PaneLoad::PaneLoad(PaneControl &pane, const QString &path)
    : load(pane, path, [this](QByteArrayView piece) { scan.add(piece); })
{
}

LoadOutcome LoadPane(PaneFiles io, PaneControl &pane, const QString &path, PaneLoad *started)
{
    if (!FileExists(io.files, path)) {
        io.messages.show({QStringLiteral("File not found"), QString(), MessageIcon::None,
                          MessageButtons::Ok, MessageAnswer::Ok});
        return LoadOutcome::Missing;
    }
    return platform::namingFile(path, [&] {
        // The bytes go straight into the pane; only text that is not UTF-8 is converted
        // afterwards, from the pane's own copy, so a UTF-8 file is read once and never copied.
        std::optional<PaneLoad> own;
        PaneLoad &load = started ? *started : own.emplace(pane, path);
        // The decoded text is made beside the raw one (through UTF-16 for some encodings): a
        // text without room for that is refused before it takes the pane's place.
        const auto roomToConvert = [&] {
            if (load.scan.encoding() != TextEncoding::Utf8)
                platform::ensureMemoryFor(3 * load.load.bytesRead() + PaneControl::memoryToHold(load.load.bytesRead()),
                                          QStringLiteral("Converting it to UTF-8"));
        };
        if (!load.load.finish(io.progress, roomToConvert))
            return LoadOutcome::Stopped;
        const TextEncoding encoding = load.scan.encoding();
        if (encoding == TextEncoding::Utf8)
            return LoadOutcome::Loaded;
        std::optional<QByteArray> text;
        pane.withBytes([&](QByteArrayView raw) { runAside([&] { text = paneTextFromFile(raw, encoding); }); });
        if (text)
            pane.setBytes(*text);
        return LoadOutcome::Loaded;
    });
}

QString overwriteQuestion(const QString &path)
{
    return QStringLiteral("Are you sure you wish to overwrite ") + path + QStringLiteral(" ?");
}

bool SavePane(PaneFiles io, PaneControl &pane, const QString &path)
{
    MessageAnswer answer = MessageAnswer::Yes;
    if (FileExists(io.files, path))
        answer = io.messages.show({overwriteQuestion(path), QString(), MessageIcon::None,
                                   MessageButtons::YesNo, MessageAnswer::Yes});
    if (answer != MessageAnswer::Yes)
        return false;
    // The pane's own bytes, unconverted and without a line end of ours: what was loaded is what
    // is written. They are written on a worker while the window paints; no input reaches the
    // window meanwhile, so the text stays as it is. A long save shows its progress, and Cancel
    // stops it while the old file is still whole. The text goes out in the pieces it is kept in.
    const std::vector<QByteArrayView> pieces = pane.pieces();
    const qint64 size = pane.byteCount();
    std::atomic<qint64> shown{0};
    std::atomic<bool> stop{false};
    platform::WriteOutcome outcome = platform::WriteOutcome::Written;
    if (io.progress)
        io.progress->begin(QFileInfo(path).fileName(), size, platform::LoadProgress::Task::Saving);
    const auto ended = qScopeGuard([&] {
        if (io.progress)
            io.progress->end();
    });
    // A stop asked for before the first tick counts too.
    if (io.progress && !io.progress->advance(0))
        stop = true;
    platform::namingFile(path, [&] {
        runAside([&] {
            outcome = io.files.writePiecesAtomically(path, pieces, [&](qint64 done, qint64 total) {
                // Writing in place copies the old text first: the bar shows the whole of the work.
                shown = total > 0 ? qint64(double(done) / double(total) * double(size)) : done;
                return !stop;
            });
        }, [&] {
            if (io.progress && !io.progress->advance(shown))
                stop = true;
        });
    });
    return outcome == platform::WriteOutcome::Written;
}
