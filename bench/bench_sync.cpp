// What keeping two large panes in step costs: one scroll of a 100 MB pane with its caret at the
// end, with our accessible interface answering for it and with the text engine's own; and one
// tick of the scroll synchroniser that moves a 100 MB follower. Prints medians in milliseconds.
// Run under QT_QPA_PLATFORM=offscreen.

#include "bench/benchpane.h"
#include "sync/scrollsynchroniser.h"
#include "textpane/paneaccessible.h"
#include "textpane/panecontrol.h"

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr qint64 kDocumentBytes = 100LL * 1024 * 1024;
constexpr int kRuns = 21;

QByteArray largeText()
{
    QByteArray line(99, 'x');
    line += '\n';
    QByteArray text;
    text.reserve(kDocumentBytes);
    while (text.size() + line.size() <= kDocumentBytes)
        text += line;
    return text;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs `prepare` untimed and `measured` timed, kRuns times; the median in milliseconds.
double medianMs(const std::function<void(int)> &prepare, const std::function<void()> &measured)
{
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        prepare(run);
        QElapsedTimer timer;
        timer.start();
        measured();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    return median(times);
}

// A line far down on even runs and near the top on odd ones, so every run really scrolls.
QPoint target(const PaneControl &pane, int run)
{
    const int line = run % 2 ? 1000 + run : 600000 + run * 100;
    return {0, line * pane.lineHeight()};
}

struct Window : benchpane::SidePanes
{
    explicit Window(const QByteArray &text)
        : SidePanes([&](PaneControl &pane) { benchpane::setBytes(pane, text); })
    {
    }

    // One scroll as the user causes it: the view moves and the pane is drawn anew.
    double scrollMs(PaneControl *pane)
    {
        return medianMs([](int) {},
                        [pane, run = 0]() mutable {
                            pane->setScrollPosition(target(*pane, run++));
                            pane->viewport()->repaint();
                        });
    }

    // One tick with the left pane leading, the leader moved before each run. With `drawn`, the
    // follower is also drawn at its new place, as the event loop does right after the tick.
    double tickMs(bool drawn)
    {
        ScrollSynchroniser sync(left, right, [] { return SwitchState::On; });
        emit left->focusReceived();
        return medianMs(
            [this](int run) {
                left->setScrollPosition(target(*left, run));
                left->viewport()->repaint();
                right->viewport()->repaint();
            },
            [this, &sync, drawn] {
                sync.tick();
                if (drawn)
                    right->viewport()->repaint();
            });
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    // The engine reports caret moves only while accessibility is in use.
    QAccessible::setActive(true);

    const QByteArray text = largeText();
    std::printf("document: %lld bytes, caret at the end, %d runs each\n",
                static_cast<long long>(text.size()), kRuns);

    struct Figures
    {
        double scroll = 0;
        double tick = 0;
        double tickDrawn = 0;
    };
    auto measure = [&text] {
        Window window(text);
        return Figures{window.scrollMs(window.left), window.tickMs(false), window.tickMs(true)};
    };

    const Figures ours = measure();
    // With our factory gone, the engine's own interface answers for panes created from now on.
    QAccessible::removeFactory(paneAccessibleFactory);
    const Figures engine = measure();

    std::printf("%-44s %12s %18s\n", "median, ms", "our interface", "engine's interface");
    std::printf("%-44s %12.2f %18.2f\n", "one scroll (view moved and drawn)", ours.scroll, engine.scroll);
    std::printf("%-44s %12.2f %18.2f\n", "one tick moving the follower", ours.tick, engine.tick);
    std::printf("%-44s %12.2f %18.2f\n", "one tick, follower drawn at its new place", ours.tickDrawn,
                engine.tickDrawn);
    std::printf("scroll ratio, engine's / ours: %.0f x; tick target: under 5 ms\n",
                engine.scroll / std::max(ours.scroll, 1e-6));
    return 0;
}
