#include "panes/panefiles.h"

#include "panes/fileexists.h"
#include "platform/failure.h"
#include "platform/memoryroom.h"
#include "platform/fileservices.h"
#include "platform/messageboxes.h"
#include "platform/quietwait.h"
#include "textpane/documentload.h"
#include "textpane/panecontrol.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>
#include <exception>
#include <thread>

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;

namespace {

/// Runs `work` on a worker thread while the window goes on painting; its failure is rethrown here.
template<typename Work>
void runAside(Work work)
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
    wait.run([&] { return done.load(); }, [] {}, 1000);
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}

QString outOfMemoryMessage()
{
    return QString::fromLocal8Bit(std::strerror(ENOMEM));
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
    try {
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
        const QByteArrayView raw = pane.bytesView();
        std::optional<QByteArray> text;
        runAside([&] { text = paneTextFromFile(raw, encoding); });
        if (text)
            pane.setBytes(*text);
        return LoadOutcome::Loaded;
    } catch (const platform::Failure &failure) {
        throw platform::Failure(platform::aboutFile(path, failure.message()));
    } catch (const std::bad_alloc &) {
        throw platform::Failure(platform::aboutFile(path, outOfMemoryMessage()));
    }
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
    // is written.
    const QByteArrayView text = pane.bytesView();
    io.files.writeAtomically(path, QByteArray::fromRawData(text.data(), text.size()));
    return true;
}
