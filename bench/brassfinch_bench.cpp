// One measurement per process, so every figure starts from a fresh heap and a cold program:
//
//   brassfinch_bench make-log <path> <bytes> <seed>   log-like lines with some non-ASCII text;
//                                                      the word "quokka" only in the last line
//   brassfinch_bench make-line <path> <bytes>         one line, no line end
//   brassfinch_bench make-short <path> <bytes>        two-byte lines ("a" and a line feed)
//   brassfinch_bench make-variant <from> <to> <seed>  a copy with about 1% of the lines changed,
//                                                      inserted or removed in blocks of one or two
//   brassfinch_bench baseline <file>       read in 4 MB chunks, decode to UTF-16, discard
//   brassfinch_bench open <file>           load into a shown pane until it is painted
//   brassfinch_bench long-line <file> [steps]  as open; also the paint alone and the median of
//                                          a few page steps along the line
//   brassfinch_bench type-end <file>       one character typed at the end until painted
//   brassfinch_bench sync-tick <file>      one synchroniser tick moving a follower until drawn
//   brassfinch_bench find-end <file>       the find bar finding the word in the last line
//   brassfinch_bench samples <folder>      "Load Sample/Example Files" until its question is asked
//   brassfinch_bench startup <folder>      process start until the main window is first painted
//   brassfinch_bench round-trip <file> <copy>  open, go to the last line and type a line there,
//                                          back to the top, save to <copy>, and check it is the
//                                          file plus one carriage return and the typed line
//   brassfinch_bench follow-append <file>  the file in the main window's left pane, its view at the
//                                          end; from the write of one 100-byte line to the file
//                                          until the pane is painted with it, the median of a few
//                                          such lines; the file is cut back to its size at the end
//   brassfinch_bench fullscreen <file>     the file in the main window's left pane; "Show Full
//                                          Screen" until the view is painted, then Escape until
//                                          the main window is; also the memory it grew by
//   brassfinch_bench save-in-place <file> <target>  open, then save over <target> (made a copy of
//                                          the file with a second name, so it is written in place
//                                          behind a safety copy); the save alone is timed
//   brassfinch_bench compare <left> <right> [-w] [-i] [--ignore-matching=REGEX]  compare mode
//                                          turned on (ignoring what the options say) until both
//                                          panes are painted with their marks; also the number
//                                          of differences
//   brassfinch_bench next-difference <left> <right>  compared, then going to the next difference
//                                          until both panes are painted there
//   brassfinch_bench recompare <left> <right>  compared, then one character typed in the middle
//                                          of the left text and compared again (the typing pause
//                                          left out) until both panes are painted with new marks
//
// Each prints one line "result ms=<n> rss_mb=<n> [name=<n> ...]": the figure in milliseconds and
// the process's peak resident memory. Run under QT_QPA_PLATFORM=offscreen.

#include "app/form1.h"
#include "bench/benchpane.h"
#include "compare/comparesession.h"
#include "compare/comparestate.h"
#include "find/findbar.h"
#include "fullscreen/form2.h"
#include "panepair/panepair.h"
#include "panes/panefiles.h"
#include "panes/panefollower.h"
#include "platform/qtplatform.h"
#include "sync/scrollsynchroniser.h"

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QStringDecoder>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

namespace {

constexpr qint64 kChunkSize = 4 * 1024 * 1024;
constexpr int kRepeats = 11; // in-process repeats of the short operations; their median counts
const QByteArray kNeedle = QByteArrayLiteral("quokka");

double msSince(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

long peakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024; // kilobytes on Linux
}

void report(double ms, const std::vector<std::pair<const char *, double>> &extras = {})
{
    std::printf("result ms=%.2f rss_mb=%ld", ms, peakRssMb());
    for (const auto &[name, value] : extras)
        std::printf(" %s=%.2f", name, value);
    std::printf("\n");
    std::fflush(stdout);
}

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::exit(1);
}

// Counts the paint events a widget receives, so a measurement can be sure the paint happened.
class PaintProbe : public QObject
{
public:
    explicit PaintProbe(QWidget *widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Paints the pane now and checks that it really was painted.
void paintNow(PaneControl &pane, PaintProbe &probe)
{
    const int before = probe.paints;
    pane.viewport()->repaint();
    if (probe.paints == before)
        fail("the pane was not painted");
}

// ---- files ----

class FileWriter
{
public:
    explicit FileWriter(const char *path)
        : m_file(std::fopen(path, "wb"))
    {
        if (!m_file)
            fail(std::strerror(errno));
    }
    ~FileWriter()
    {
        flush();
        if (std::fclose(m_file) != 0)
            fail(std::strerror(errno));
    }
    void add(const char *data, std::size_t size)
    {
        m_buffer.insert(m_buffer.end(), data, data + size);
        if (m_buffer.size() >= kChunkSize)
            flush();
    }

private:
    void flush()
    {
        if (!m_buffer.empty() && std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file) != m_buffer.size())
            fail(std::strerror(errno));
        m_buffer.clear();
    }
    std::FILE *m_file;
    std::vector<char> m_buffer;
};

// Lines of about 80 bytes, as a server log with some accented and symbol text would have.
int makeLog(const char *path, qint64 bytes, unsigned seed)
{
    FileWriter out(path);
    static const char *const levels[] = {"INFO ", "DEBUG", "WARN ", "INFO "};
    static const char *const notes[] = {"café crème ✓", "naïve façade", "Grüße aus Köln", "déjà vu → ok"};
    char line[160];
    unsigned state = seed * 2654435761u + 1;
    qint64 written = 0;
    for (qint64 number = 0;; ++number) {
        state = state * 1664525u + 1013904223u;
        const int size = std::snprintf(line, sizeof line,
                                       "2026-12-08 %02lld:%02lld:%02lld.%03u %s [worker-%02u] req %07lld in %3u ms %s\n",
                                       (number / 3600000) % 24, (number / 60000) % 60, (number / 1000) % 60,
                                       state % 1000, levels[(state >> 10) % 4], (state >> 12) % 64,
                                       number % 10000000, (state >> 16) % 1000, notes[(state >> 20) % 4]);
        if (written + size + 80 > bytes)
            break;
        out.add(line, size);
        written += size;
    }
    const int size = std::snprintf(line, sizeof line, "2026-12-08 23:59:59.999 INFO  [worker-00] last line: %s\n",
                                   kNeedle.constData());
    out.add(line, size);
    return 0;
}

int makeLongLine(const char *path, qint64 bytes)
{
    FileWriter out(path);
    const char piece[] = "a long line without end, with déjà vu and Grüße; ";
    for (qint64 written = 0; written + qint64(sizeof piece) - 1 <= bytes; written += sizeof piece - 1)
        out.add(piece, sizeof piece - 1);
    return 0;
}

int makeShortLines(const char *path, qint64 bytes)
{
    FileWriter out(path);
    const QByteArray block = QByteArrayLiteral("a\n").repeated(4096);
    qint64 written = 0;
    for (; written + block.size() <= bytes; written += block.size())
        out.add(block.constData(), block.size());
    out.add(block.constData(), (bytes - written) & ~qint64(1));
    return 0;
}

// A copy of a text with about one line in a hundred changed, inserted or removed, in blocks of one
// or two lines, as two versions of a log would differ.
int makeVariant(const char *from, const char *to, unsigned seed)
{
    QFile in(QString::fromLocal8Bit(from));
    if (!in.open(QIODevice::ReadOnly))
        fail("cannot open the text to vary");
    FileWriter out(to);
    unsigned state = seed * 2654435761u + 7;
    auto next = [&state] { return state = state * 1664525u + 1013904223u; };
    qint64 number = 0;
    for (QByteArray line; !(line = in.readLine()).isEmpty(); ++number) {
        if (next() % 150 != 0) {
            out.add(line.constData(), size_t(line.size()));
            continue;
        }
        const unsigned block = 1 + (next() >> 8) % 2;
        switch ((next() >> 12) % 3) {
        case 0: // changed: this line and the next altered
            for (unsigned n = 0; n < block && !line.isEmpty(); ++n) {
                line.replace(0, 4, "1999");
                out.add(line.constData(), size_t(line.size()));
                if (n + 1 < block)
                    line = in.readLine();
            }
            break;
        case 1: // inserted before this line
            for (unsigned n = 0; n < block; ++n) {
                const QByteArray added = QByteArray("inserted line ") + QByteArray::number(number) + '.'
                                         + QByteArray::number(n) + '\n';
                out.add(added.constData(), size_t(added.size()));
            }
            out.add(line.constData(), size_t(line.size()));
            break;
        default: // removed, with the next one when the block has two
            if (block == 2)
                in.readLine();
            break;
        }
    }
    return 0;
}

// ---- the cases ----

// What any program pays to get the text at all: read the file in chunks and decode it to UTF-16.
int baseline(const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail("cannot open the file");
    QStringDecoder decoder(QStringDecoder::Utf8);
    QByteArray chunk(kChunkSize, Qt::Uninitialized);
    qint64 units = 0;
    for (qint64 got; (got = file.read(chunk.data(), chunk.size())) > 0;) {
        const QString text = decoder.decode(QByteArrayView(chunk.constData(), got));
        units += text.size();
    }
    const double ms = msSince(timer);
    if (units == 0)
        fail("nothing decoded");
    report(ms);
    return 0;
}

// A lone pane of a usual window's size, shown and painted empty.
struct ShownPane
{
    ShownPane()
        : probe(pane.viewport())
    {
        pane.resize(900, 700);
        pane.show();
        QCoreApplication::processEvents();
        paintNow(pane, probe);
    }
    PaneControl pane;
    PaintProbe probe;
};

int open(const QString &path)
{
    ShownPane shown;
    QElapsedTimer timer;
    timer.start();
    benchpane::open(shown.pane, path);
    paintNow(shown.pane, shown.probe);
    report(msSince(timer));
    return 0;
}

int longLine(const QString &path, int steps)
{
    ShownPane shown;
    PaneControl &pane = shown.pane;
    QElapsedTimer timer;
    timer.start();
    benchpane::open(pane, path);
    const double loaded = msSince(timer);
    paintNow(pane, shown.probe);
    const double total = msSince(timer);

    // One page to the right along the line, as a user scrolling it with the scroll bar would.
    std::vector<double> times;
    const int page = pane.viewport()->width();
    for (int step = 1; step <= steps; ++step) {
        QElapsedTimer stepTimer;
        stepTimer.start();
        pane.setScrollPosition({step * page, 0});
        paintNow(pane, shown.probe);
        times.push_back(msSince(stepTimer));
    }
    if (pane.scrollPosition().x() == 0)
        fail("the view did not move along the line");
    report(total, {{"paint_ms", total - loaded}, {"scroll_ms", median(times)}});
    return 0;
}

int typeEnd(const QString &path)
{
    ShownPane shown;
    PaneControl &pane = shown.pane;
    benchpane::open(pane, path);
    pane.select(pane.byteCount(), pane.byteCount());
    pane.ensureCaretVisible();
    pane.setFocus();
    paintNow(pane, shown.probe);
    const qint64 before = benchpane::byteCount(pane);
    std::vector<double> times;
    double first = 0;
    for (int key = 0; key < kRepeats; ++key) {
        QElapsedTimer timer;
        timer.start();
        QTest::keyClick(&pane, Qt::Key_X);
        paintNow(pane, shown.probe);
        times.push_back(msSince(timer));
        if (key == 0)
            first = times.back();
    }
    if (benchpane::byteCount(pane) != before + kRepeats)
        fail("the typed characters did not reach the pane");
    report(median(times), {{"first_ms", first}});
    return 0;
}

// Two panes side by side, both holding the file with the caret at the end, left leading.
int syncTick(const QString &path)
{
    // The engine reports caret moves only while accessibility is in use, which is where a large
    // document's scrolls used to cost the most.
    QAccessible::setActive(true);
    benchpane::SidePanes panes([&](PaneControl &pane) { benchpane::open(pane, path); });
    PaneControl *left = panes.left;
    PaneControl *right = panes.right;
    PaintProbe probe(right->viewport());

    ScrollSynchroniser sync(left, right, [] { return SwitchState::On; });
    emit left->focusReceived();
    const int lines = static_cast<int>(left->document().lineCount());
    std::vector<double> times;
    for (int run = 0; run < kRepeats; ++run) {
        // Far down on even runs, near the top on odd ones, so every tick really moves the follower.
        const int line = run % 2 ? 1000 + run : std::max(0, lines - 2000 - run * 100);
        left->setScrollPosition({0, line * left->lineHeight()});
        left->viewport()->repaint();
        paintNow(*right, probe);
        QElapsedTimer timer;
        timer.start();
        sync.tick();
        paintNow(*right, probe);
        times.push_back(msSince(timer));
        if (right->scrollPosition() != left->scrollPosition())
            fail("the follower did not follow");
    }
    report(median(times));
    return 0;
}

// The find bar's find for the word that only the last line holds, caret at the start: from the
// request until the match is selected, scrolled into view and painted.
int findEnd(const QString &path)
{
    QWidget window;
    window.resize(900, 700);
    auto *pane = new PaneControl(&window);
    pane->setGeometry(window.rect());
    auto *bar = new FindBar(&window);
    bar->addPane(pane);
    PaintProbe probe(pane->viewport());
    benchpane::open(*pane, path);
    window.show();
    QCoreApplication::processEvents();
    const qint64 length = benchpane::byteCount(*pane);
    const auto search = [&](SearchOptions options) {
        bar->setQuery(QString::fromUtf8(kNeedle), options);
        std::vector<double> times;
        for (int run = 0; run < kRepeats; ++run) {
            pane->select(0, 0);
            paintNow(*pane, probe);
            QElapsedTimer timer;
            timer.start();
            bar->findNext();
            paintNow(*pane, probe);
            times.push_back(msSince(timer));
            const qint64 found = pane->editor().selection().start;
            if (found + 200 < length || !bar->message().isEmpty()) // the last line is far shorter
                fail("the word was not found in the last line");
        }
        return median(times);
    };
    // A find box usually starts ignoring case.
    const double anyCase = search({});
    report(anyCase, {{"matchcase_ms", search({.matchCase = true})}});
    return 0;
}

// ---- the main window ----

class NoShell final : public platform::Shell
{
public:
    void openFolder(const QString &) override {}
    void openUrl(const QUrl &) override {}
};

// The main window on the system's own platform, but with no one to answer a box and no shell.
struct QuietMainWindow
{
    platform::QtPlatform real;
    const platform::Platform fromQt = real.platform();
    benchpane::NoBoxes noBox;
    NoShell shell;
    Form1 window{{fromQt.dialogs, noBox, fromQt.settings, fromQt.files, shell, fromQt.random, fromQt.clock,
                  QCoreApplication::applicationDirPath(), fromQt.progress}};
};

// Notes when it is first asked, answers No, and ends the benchmark on any box but the expected one.
class TimedQuestion final : public platform::MessageBoxes
{
public:
    explicit TimedQuestion(const QElapsedTimer &timer)
        : m_timer(timer) {}
    platform::MessageAnswer show(const platform::MessageRequest &request) override
    {
        if (request.buttons != platform::MessageButtons::YesNo || askedAtMs)
            return benchpane::NoBoxes().show(request);
        askedAtMs = msSince(m_timer);
        return platform::MessageAnswer::No;
    }
    std::optional<double> askedAtMs;

private:
    const QElapsedTimer &m_timer;
};

// `folder` stands in for the program's folder and holds Samples/sample1.txt and sample2.txt.
int samples(const QString &folder)
{
    QElapsedTimer timer;
    platform::QtPlatform real;
    const platform::Platform fromQt = real.platform();
    TimedQuestion question(timer);
    NoShell shell;
    Form1 window({fromQt.dialogs, question, fromQt.settings, fromQt.files, shell, fromQt.random, fromQt.clock, folder, fromQt.progress});
    window.show();
    QCoreApplication::processEvents();

    timer.start();
    QTest::mouseClick(window.PushButton9, Qt::LeftButton);
    if (!question.askedAtMs)
        fail("the question was never asked");
    report(*question.askedAtMs);
    return 0;
}

// Milliseconds since this process was started: from the launcher's clock reading when it passes
// one (BRASSFINCH_BENCH_LAUNCH_NS, wall-clock nanoseconds), else from the kernel's start time,
// which counts in clock ticks.
double msSinceProcessStart()
{
    timespec now{};
    if (const QByteArray launch = qgetenv("BRASSFINCH_BENCH_LAUNCH_NS"); !launch.isEmpty()) {
        clock_gettime(CLOCK_REALTIME, &now);
        return (now.tv_sec * 1e9 + now.tv_nsec - launch.toDouble()) / 1e6;
    }
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        fail("cannot read the process start time");
    const QByteArray line = stat.readAll();
    // The fields after the command name (which may hold spaces) start at its closing parenthesis;
    // the start time is field 22, the 20th after it.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double startTicks = fields.value(19).toDouble();
    clock_gettime(CLOCK_BOOTTIME, &now);
    return (now.tv_sec * 1e3 + now.tv_nsec / 1e6) - startTicks * 1000.0 / sysconf(_SC_CLK_TCK);
}

// The program's own start path, with a shell that opens nothing and no one to answer a box; `folder` is the program's folder (theme, pointer image, samples).
int startup(QApplication &application, const QString &folder)
{
    QApplication::setApplicationName(QStringLiteral("brassfinch"));
    QApplication::setDesktopFileName(QStringLiteral("org.tarnhollow.Brassfinch"));
    platform::QtPlatform real;
    const platform::Platform fromQt = real.platform();
    benchpane::NoBoxes noBox;
    NoShell shell;
    Form1 window({fromQt.dialogs, noBox, fromQt.settings, fromQt.files, shell, fromQt.random, fromQt.clock, folder, fromQt.progress});
    window.Form_Load();

    struct FirstPaint : QObject
    {
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint && !seenMs) {
                seenMs = msSinceProcessStart();
                QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            }
            return false;
        }
        std::optional<double> seenMs;
    } firstPaint;
    window.installEventFilter(&firstPaint);
    window.show();
    QTimer::singleShot(10000, &application, &QCoreApplication::quit);
    QApplication::exec();
    if (!firstPaint.seenMs)
        fail("the main window was never painted");
    report(*firstPaint.seenMs);
    return 0;
}

// Compares two files in chunks; `extra` is what the second one must hold beyond the first.
bool sameBytesPlus(const QString &first, const QString &second, const QByteArray &extra)
{
    QFile a(first), b(second);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || b.size() != a.size() + extra.size())
        return false;
    while (!a.atEnd()) {
        const QByteArray chunk = a.read(kChunkSize);
        if (b.read(chunk.size()) != chunk)
            return false;
    }
    return b.readAll() == extra;
}

int roundTrip(const QString &path, const QString &copy)
{
    ShownPane shown;
    PaneControl &pane = shown.pane;
    QElapsedTimer timer;
    timer.start();
    benchpane::open(pane, path);
    paintNow(pane, shown.probe);
    const double opened = msSince(timer);
    pane.select(pane.byteCount(), pane.byteCount());
    pane.ensureCaretVisible();
    paintNow(pane, shown.probe);
    const QPoint end = pane.scrollPosition();
    const qint64 lastLine = pane.firstVisibleLine();
    // A line typed there, as a user would.
    QTest::keyClicks(&pane, QStringLiteral("typed line"));
    QTest::keyClick(&pane, Qt::Key_Return);
    pane.setScrollPosition({0, 0});
    paintNow(pane, shown.probe);
    if (end.y() <= 0 || lastLine <= 0 || pane.scrollPosition() != QPoint(0, 0))
        fail("the view did not reach the last line and come back");
    platform::QtFileServices files;
    benchpane::NoBoxes boxes;
    QFile::remove(copy);
    SavePane({files, boxes}, pane, copy);
    if (!sameBytesPlus(path, copy, QByteArrayLiteral("\rtyped line") + pane.editor().lineEnd()))
        fail("the saved copy is not the file plus one carriage return and the typed line");
    report(msSince(timer), {{"open_ms", opened}, {"last_line", double(lastLine)}});
    return 0;
}

/// Says yes to the overwrite question, and to nothing else.
class YesToOverwrite final : public platform::MessageBoxes
{
public:
    platform::MessageAnswer show(const platform::MessageRequest &request) override
    {
        if (request.text == overwriteQuestion(m_target))
            return platform::MessageAnswer::Yes;
        return benchpane::NoBoxes().show(request);
    }
    explicit YesToOverwrite(QString target) : m_target(std::move(target)) {}

private:
    QString m_target;
};

int saveInPlace(const QString &path, const QString &target)
{
    ShownPane shown;
    benchpane::open(shown.pane, path);
    QFile::remove(target);
    QFile::remove(target + QStringLiteral(".link"));
    if (!QFile::copy(path, target) || ::link(QFile::encodeName(target).constData(),
                                             QFile::encodeName(target + QStringLiteral(".link")).constData()) != 0)
        fail("the target and its second name could not be made");
    platform::QtFileServices files;
    YesToOverwrite boxes(target);
    QElapsedTimer timer;
    timer.start();
    SavePane({files, boxes}, shown.pane, target);
    const double saved = msSince(timer);
    if (!sameBytesPlus(path, target + QStringLiteral(".link"), QByteArrayLiteral("\r")))
        fail("the file saved in place is not the text plus one carriage return");
    QFile::remove(target);
    QFile::remove(target + QStringLiteral(".link"));
    report(saved);
    return 0;
}

int followAppend(const QString &path)
{
    QuietMainWindow quiet;
    Form1 &window = quiet.window;
    window.setProgramEnd([] {});
    window.show();
    PaneControl &pane = *window.RichTextBox1;
    window.PushButton3_Click({path});
    if (pane.byteCount() == 0)
        fail("the file did not open");
    QCoreApplication::processEvents();
    pane.select(pane.byteCount(), pane.byteCount());
    pane.ensureCaretVisible();
    QCoreApplication::processEvents();
    PaintProbe probe(pane.viewport());
    paintNow(pane, probe);

    const QByteArray name = QFile::encodeName(path);
    const int file = ::open(name.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (file < 0)
        fail("cannot open the file to append to it");
    const off_t size = ::lseek(file, 0, SEEK_END);
    // A line as a log writer would add it: 99 bytes and its line feed.
    QByteArray line = QByteArrayLiteral("2026-12-09 08:00:00.000 INFO  [worker-07] appended while followed");
    line = line.leftJustified(99, '.') + '\n';
    std::vector<double> times;
    for (int i = 0; i < kRepeats; ++i) {
        // A quiet spell first, as between the lines of a log that is not flooded.
        QTest::qWait(3 * PaneFollower::kGatherMs);
        const qint64 expected = pane.byteCount() + line.size();
        const int paints = probe.paints;
        QElapsedTimer timer;
        timer.start();
        if (::write(file, line.constData(), size_t(line.size())) != line.size())
            fail("the line could not be written");
        while (!(pane.byteCount() == expected && probe.paints > paints) && timer.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (pane.byteCount() != expected || probe.paints == paints)
            fail("the appended line did not reach the pane");
        times.push_back(msSince(timer));
    }
    const bool atEnd = pane.firstVisibleLine() + pane.visibleLineCount() >= pane.document().lineCount();
    if (::ftruncate(file, size) != 0 || ::close(file) != 0)
        fail("the file could not be cut back to its size");
    if (!atEnd || pane.isModified())
        fail("the pane did not stay at the end, unedited");
    report(median(times), {{"first_ms", times.front()}});
    return 0;
}

// The resident memory now, in megabytes.
double rssMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        fail("cannot read the process status");
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

int fullScreen(const QString &path)
{
    QuietMainWindow quiet;
    Form1 &window = quiet.window;
    window.show();
    benchpane::open(*window.RichTextBox1, path);
    QCoreApplication::processEvents();
    PaintProbe mainProbe(window.RichTextBox1->viewport());
    paintNow(*window.RichTextBox1, mainProbe);
    const double before = rssMb();

    QElapsedTimer timer;
    timer.start();
    window.PushButton1_Click();
    Form2 *view = window.fullScreenWindow();
    if (!view || !view->isVisible() || view->RichTextBox1->byteCount() != window.RichTextBox1->byteCount())
        fail("the full-screen view did not show the text");
    QCoreApplication::processEvents();
    PaintProbe viewProbe(view->RichTextBox1->viewport());
    paintNow(*view->RichTextBox1, viewProbe);
    const double entered = msSince(timer);
    timer.start();
    QTest::keyClick(view->RichTextBox1, Qt::Key_Escape);
    if (view->isVisible() || !window.isVisible())
        fail("Escape did not bring the main window back");
    QCoreApplication::processEvents();
    paintNow(*window.RichTextBox1, mainProbe);
    const double left = msSince(timer);
    report(entered + left, {{"enter_ms", entered}, {"leave_ms", left}, {"grew_mb", rssMb() - before}});
    return 0;
}

// Two panes in a shown window, holding the two files, as a window's pair with compare mode off.
struct ComparedPanes
{
    ComparedPanes(const QString &left, const QString &right)
        : panes([&, first = true](PaneControl &pane) mutable {
              benchpane::open(pane, first ? left : right);
              first = false;
          }),
          pair(&panes.window, panes.left, panes.right, [] { return SwitchState::On; }, state),
          leftProbe(panes.left->viewport()), rightProbe(panes.right->viewport())
    {
        for (PaneControl *pane : {panes.left, panes.right}) {
            pane->select(0, 0);
            pane->setFirstVisibleLine(0);
        }
        emit panes.left->focusReceived();
        QCoreApplication::processEvents();
    }
    // Waits until the running comparison has shown its marks, then paints both panes.
    void waitAndPaint()
    {
        QSignalSpy compared(&pair.compareSession(), &CompareSession::compared);
        if (!compared.wait(60000))
            fail("the comparison did not finish");
        paintNow(*panes.left, leftProbe);
        paintNow(*panes.right, rightProbe);
    }

    CompareState state;
    benchpane::SidePanes panes;
    PanePair pair;
    PaintProbe leftProbe;
    PaintProbe rightProbe;
};

// From turning compare mode on until both panes are painted with their marks.
int compare(const QString &left, const QString &right, const CompareOptions &options)
{
    ComparedPanes compared(left, right);
    compared.state.setOptions(options);
    QElapsedTimer timer;
    timer.start();
    compared.state.setOn(true);
    compared.waitAndPaint();
    const double ms = msSince(timer);
    const Comparison *result = compared.pair.compareSession().comparison();
    report(ms, {{"differences", double(result ? result->differenceCount() : -1)}});
    return 0;
}

// Going to the next difference, each time until both panes are painted there.
int nextDifference(const QString &left, const QString &right)
{
    ComparedPanes compared(left, right);
    compared.state.setOn(true);
    compared.waitAndPaint();
    CompareSession &session = compared.pair.compareSession();
    std::vector<double> times;
    for (int run = 0; run < kRepeats; ++run) {
        const qint64 before = compared.panes.left->firstVisibleLine();
        QElapsedTimer timer;
        timer.start();
        session.goToNext();
        paintNow(*compared.panes.left, compared.leftProbe);
        paintNow(*compared.panes.right, compared.rightProbe);
        times.push_back(msSince(timer));
        if (compared.panes.left->firstVisibleLine() <= before && run > 0)
            fail("the next difference was not gone to");
    }
    report(median(times));
    return 0;
}

// One character typed in the middle of the left text, then compared again (without the typing
// pause) until both panes are painted with the new marks.
int recompare(const QString &left, const QString &right)
{
    ComparedPanes compared(left, right);
    compared.state.setOn(true);
    compared.waitAndPaint();
    PaneControl &pane = *compared.panes.left;
    const qint64 middle = pane.document().lineStart(pane.document().lineCount() / 2);
    pane.setFocus();
    std::vector<double> times;
    const qsizetype before = compared.pair.compareSession().comparison()->differenceCount();
    for (int run = 0; run < 5; ++run) {
        pane.select(middle, middle);
        QElapsedTimer timer;
        timer.start();
        QTest::keyClick(&pane, Qt::Key_X);
        compared.pair.compareSession().compareNow();
        compared.waitAndPaint();
        times.push_back(msSince(timer));
    }
    if (compared.pair.compareSession().comparison()->differenceCount() == before)
        fail("the typed line made no difference");
    report(median(times));
    return 0;
}

int usage()
{
    std::fprintf(stderr, "usage: brassfinch_bench <case> <file or folder> [...]; see the source's first lines\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3)
        return usage();
    const QByteArray mode = argv[1];
    if (mode == "make-log" && argc == 5)
        return makeLog(argv[2], QByteArray(argv[3]).toLongLong(), QByteArray(argv[4]).toUInt());
    if (mode == "make-line" && argc == 4)
        return makeLongLine(argv[2], QByteArray(argv[3]).toLongLong());
    if (mode == "make-short" && argc == 4)
        return makeShortLines(argv[2], QByteArray(argv[3]).toLongLong());
    if (mode == "make-variant" && argc == 5)
        return makeVariant(argv[2], argv[3], QByteArray(argv[4]).toUInt());

    QApplication application(argc, argv);
    const QString path = QString::fromLocal8Bit(argv[2]);
    const std::vector<std::pair<QByteArray, std::function<int()>>> cases{
        {"baseline", [&] { return baseline(path); }},
        {"open", [&] { return open(path); }},
        {"long-line", [&] { return longLine(path, argc > 3 ? std::max(1, std::atoi(argv[3])) : 3); }},
        {"type-end", [&] { return typeEnd(path); }},
        {"sync-tick", [&] { return syncTick(path); }},
        {"find-end", [&] { return findEnd(path); }},
        {"samples", [&] { return samples(path); }},
        {"follow-append", [&] { return followAppend(path); }},
        {"startup", [&] { return startup(application, path); }},
        {"round-trip", [&] { return argc > 3 ? roundTrip(path, QString::fromLocal8Bit(argv[3])) : usage(); }},
        {"fullscreen", [&] { return fullScreen(path); }},
        {"save-in-place", [&] { return argc > 3 ? saveInPlace(path, QString::fromLocal8Bit(argv[3])) : usage(); }},
        {"compare", [&] {
             CompareOptions options;
             for (int i = 4; i < argc; ++i) {
                 const QByteArray option = argv[i];
                 options.ignoreWhiteSpace |= option == "-w";
                 options.ignoreCase |= option == "-i";
                 if (option.startsWith("--ignore-matching="))
                     options.ignorePattern = QString::fromLocal8Bit(option.mid(18));
             }
             return argc > 3 ? compare(path, QString::fromLocal8Bit(argv[3]), options) : usage();
         }},
        {"next-difference", [&] { return argc > 3 ? nextDifference(path, QString::fromLocal8Bit(argv[3])) : usage(); }},
        {"recompare", [&] { return argc > 3 ? recompare(path, QString::fromLocal8Bit(argv[3])) : usage(); }},
    };
    for (const auto &[name, run] : cases) {
        if (name == mode)
            return run();
    }
    return usage();
}
