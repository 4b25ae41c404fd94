// Loads a 100 MB UTF-8 file into a pane with and without the encoding check, and times the
// check alone; prints the median of several runs of each.
#include "panes/panefiles.h"
#include "panes/textdecoding.h"
#include "platform/qtplatform.h"
#include "textpane/panecontrol.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kRuns = 5;
constexpr qint64 kFileSize = 100 * 1024 * 1024;

double medianMs(const std::function<void()> &work)
{
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.txt"));
    {
        // Mostly ASCII with an accented word on every line, as in ordinary European text.
        const QByteArray line = "The quick brown fox jumps over the lazy dog, caf\xC3\xA9 cr\xC3\xA8me br\xC3\xBBl\xC3\xA9" "e.\r\n";
        QByteArray block;
        while (block.size() < 1024 * 1024)
            block += line;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        for (qint64 written = 0; written < kFileSize; written += block.size())
            file.write(block);
    }

    platform::QtFileServices files;
    platform::QtMessageBoxes messages; // never shown: the file is there
    PaneControl pane;
    const PaneFiles io{files, messages};
    // What any program pays to get the text at all: read the file and decode it.
    const double read = medianMs([&] {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        volatile auto units = QString::fromUtf8(file.readAll()).size();
        (void)units;
    });
    const double loadFile = medianMs([&] { pane.loadFile(path); });
    const double loadPane = medianMs([&] { LoadPane(io, pane, path); });
    const double view = medianMs([&] {
        pane.loadFile(path);
        pane.bytesView();
    });
    const QByteArrayView text = pane.bytesView();
    const double census = medianMs([&] { countUtf8(text); });

    std::printf("file: %lld bytes, median of %d runs\n", static_cast<long long>(pane.byteCount()), kRuns);
    std::printf("read + UTF-8 decode (baseline) %8.1f ms\n", read);
    std::printf("PaneControl::loadFile          %8.1f ms\n", loadFile);
    std::printf("LoadPane (load + UTF-8 check)  %8.1f ms\n", loadPane);
    std::printf("loadFile + bytesView           %8.1f ms\n", view);
    std::printf("UTF-8 check alone              %8.1f ms\n", census);
    std::printf("LoadPane / baseline ratio      %8.2f\n", loadPane / read);
    return 0;
}
