// Loading a large file into a pane against merely reading it: prints medians and the ratio.
// usage: bench_paneload [megabytes=100] [runs=7]
#include "panecontrol.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template<typename Action>
double medianMs(int runs, Action &&action)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        action();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return median(times);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 100;
    const int runs = argc > 2 ? QByteArray(argv[2]).toInt() : 7;

    QTemporaryDir dir;
    const QString path = dir.filePath("big.txt");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        QByteArray line;
        for (int i = 0; i < 20000; ++i)
            line += "line " + QByteArray::number(i) + " of a large plain-text file, \xc3\xa9t\xc3\xa9 \xe2\x82\xac\r\n";
        while (file.size() < megabytes * 1024 * 1024)
            file.write(line);
    }

    const double read = medianMs(runs, [&] {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        volatile auto decoded = QString::fromUtf8(bytes).size();
        (void)decoded;
    });

    PaneControl pane;
    pane.resize(224, 289);
    pane.show();
    const double load = medianMs(runs, [&] {
        pane.LoadFile(path);
        pane.grab(); // the first paint belongs to the load
    });
    const double text = medianMs(runs, [&] { volatile auto size = pane.Text().size(); (void)size; });

    std::printf("file: %lld MB, runs: %d\n", static_cast<long long>(megabytes), runs);
    std::printf("read + UTF-8 decode (median): %8.1f ms\n", read);
    std::printf("LoadFile + first paint (median): %8.1f ms\n", load);
    std::printf("Text() copy (median):          %8.1f ms\n", text);
    std::printf("load / read ratio: %.2f\n", load / read);
    return 0;
}
