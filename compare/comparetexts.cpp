#include "compare/comparetexts.h"

#include "compare/linehashes.h"

#include <exception>
#include <thread>

namespace {

// A text's lines as the document counts them: one more than its line ends, so a text that ends
// with a line end (or is empty) has an empty last line that the hashes leave out.
qint64 documentLines(const QList<QByteArrayView> &text, const LineHashes &hashes)
{
    for (auto stretch = text.crbegin(); stretch != text.crend(); ++stretch) {
        if (stretch->isEmpty())
            continue;
        const char last = stretch->back();
        return hashes.lineCount() + (last == '\n' || last == '\r' ? 1 : 0);
    }
    return 1;
}

void report(CompareProgress *progress, int permille)
{
    if (progress)
        progress->permille.store(permille, std::memory_order_relaxed);
}

bool stopped(const CompareProgress *progress)
{
    return progress && progress->stop.load(std::memory_order_relaxed);
}

} // namespace

std::optional<Comparison> compareTexts(const QList<QByteArrayView> &left, const QList<QByteArrayView> &right,
                                       const CompareOptions &options, CompareProgress *progress)
{
    // Each thread has its own filter, so no regular expression is shared between threads.
    const LineFilter leftFilter(options);
    const LineFilter rightFilter(options);
    std::optional<LineHashes> leftLines;
    std::exception_ptr leftFailure;
    std::thread leftWorker([&] {
        try {
            leftLines.emplace(left, &leftFilter);
        } catch (...) {
            leftFailure = std::current_exception();
        }
    });
    std::optional<LineHashes> rightLines;
    try {
        rightLines.emplace(right, &rightFilter);
    } catch (...) {
        leftWorker.join();
        throw;
    }
    leftWorker.join();
    if (leftFailure)
        std::rethrow_exception(leftFailure);
    report(progress, 400);
    if (stopped(progress))
        return std::nullopt;

    const qint64 leftCount = documentLines(left, *leftLines);
    const qint64 rightCount = documentLines(right, *rightLines);
    InternedLines ids = internLines(*leftLines, *rightLines, &leftFilter);
    // The lines' places are not needed past here; their memory goes back before the diff.
    leftLines.reset();
    rightLines.reset();
    report(progress, 700);
    if (stopped(progress))
        return std::nullopt;

    std::vector<DiffHunk> hunks = diffLines(ids.left, ids.right, progress ? &progress->stop : nullptr);
    if (stopped(progress))
        return std::nullopt;
    report(progress, 1000);
    return Comparison(std::move(hunks), leftCount, rightCount);
}
