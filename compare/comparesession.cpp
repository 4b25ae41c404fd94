#include "compare/comparesession.h"

#include "compare/comparestate.h"
#include "compare/textcomparer.h"
#include "compare/linechanges.h"
#include "textpane/panecontrol.h"

#include <QEvent>

#include <algorithm>
#include <limits>
#include <mutex>
#include <new>
#include <thread>
#include <unordered_map>

namespace {

// Lines longer than this get no character marks: their pair is compared at paint time.
constexpr qint64 kMaxMarkedLine = 64 * 1024;
// Character marks worked out are kept for lines painted again, up to this many lines.
constexpr size_t kKeptLineChanges = 4096;

// The character marks of one pane: for a line inside a changed block, the line at the same
// place in the other pane's block is its pair.
class CharacterMarks
{
public:
    CharacterMarks(std::shared_ptr<const Comparison> comparison, Side side, std::weak_ptr<TextDocument> own,
                   std::weak_ptr<TextDocument> other)
        : m_comparison(std::move(comparison)), m_side(side), m_own(std::move(own)), m_other(std::move(other))
    {
    }

    ByteStretches operator()(qint64 line)
    {
        if (const auto kept = m_kept.find(line); kept != m_kept.end())
            return kept->second;
        ByteStretches stretches = work(line);
        if (m_kept.size() >= kKeptLineChanges)
            m_kept.clear();
        m_kept.emplace(line, stretches);
        return stretches;
    }

private:
    ByteStretches work(qint64 line) const
    {
        const auto own = m_own.lock();
        const auto other = m_other.lock();
        const qsizetype next = m_comparison->nextDifference(m_side, line);
        const qsizetype index = (next < 0 ? m_comparison->differenceCount() : next) - 1;
        if (!own || !other || index < 0)
            return {};
        const Side otherSide = ::otherSide(m_side);
        const qint64 offset = line - m_comparison->startOf(index, m_side);
        if (offset >= m_comparison->countOf(index, m_side) || offset >= m_comparison->countOf(index, otherSide))
            return {};
        const qint64 pair = m_comparison->startOf(index, otherSide) + offset;
        auto bytesOf = [](const TextDocument &document, qint64 line) {
            const qint64 start = document.lineStart(line);
            const qint64 length = document.lineEnd(line) - start;
            return length > kMaxMarkedLine ? QByteArray() : document.bytes(start, length);
        };
        try {
            const QByteArray mine = bytesOf(*own, line);
            const QByteArray theirs = bytesOf(*other, pair);
            if (mine.isNull() || theirs.isNull())
                return {};
            LineChanges changes = m_side == Side::Left ? lineChanges(mine, theirs) : lineChanges(theirs, mine);
            return m_side == Side::Left ? std::move(changes.left) : std::move(changes.right);
        } catch (const std::bad_alloc &) {
            return {};
        }
    }

    std::shared_ptr<const Comparison> m_comparison;
    Side m_side;
    std::weak_ptr<TextDocument> m_own;
    std::weak_ptr<TextDocument> m_other;
    std::unordered_map<qint64, ByteStretches> m_kept;
};

} // namespace

// A comparison on its worker. The worker owns it with the session; the session lets go of a
// run it gives up, and the worker then ends on its own and tells no one.
struct CompareSession::Run
{
    std::shared_ptr<TextComparer> comparer;
    CompareProgress progress;
    std::mutex mutex;
    CompareSession *receiver = nullptr; // under the mutex
    std::optional<Comparison> result;
    bool noMemory = false;
};

void CompareSession::Changes::add(const Changes &later)
{
    // Lines unchanged at the start through both rounds of change are those unchanged in each.
    all = all || later.all;
    head = std::min(head, later.head);
    tail = std::min(tail, later.tail);
}

CompareSession::CompareSession(PaneControl *left, PaneControl *right, CompareState &state,
                               std::function<PaneControl *()> leader, QObject *parent)
    : QObject(parent), m_left(left), m_right(right), m_state(state), m_leader(std::move(leader))
{
    m_pause.setSingleShot(true);
    m_pause.setInterval(kTypingPause);
    connect(&m_pause, &QTimer::timeout, this, &CompareSession::start);
    m_progressPoll.setInterval(100);
    connect(&m_progressPoll, &QTimer::timeout, this, [this] {
        if (m_runTime.elapsed() >= kQuietRun.count())
            emit statusChanged();
    });
    connect(&m_state, &CompareState::changed, this, &CompareSession::stateChanged);
    watch(m_left, Side::Left);
    watch(m_right, Side::Right);
    QWidget *window = m_left->window();
    m_paused = !window->isVisible();
    window->installEventFilter(this);
    if (m_state.isOn())
        compareNow();
}

CompareSession::~CompareSession()
{
    stopRun();
}

void CompareSession::watch(PaneControl *pane, Side side)
{
    auto follow = std::make_shared<QMetaObject::Connection>();
    auto attach = [this, pane, side, follow] {
        disconnect(*follow);
        *follow = connect(&pane->document(), &TextDocument::changed, this,
                          [this, side](qint64 from, qint64, qint64 inserted) { textChanged(side, from, inserted); });
        // Another text: nothing of the last ids is of use.
        m_changes[size_t(side)] = Changes{};
        m_comparer.reset();
    };
    attach();
    // Marks are one per difference, so a mark's index is the difference's.
    connect(pane, &TextView::overviewClicked, this, &CompareSession::goTo);
    connect(pane, &TextView::documentReplaced, this, [this, attach] {
        attach();
        // A new text (a load) is compared at once; there is no typing to wait for.
        if (m_state.isOn())
            compareNow();
    });
}

bool CompareSession::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show) {
        m_paused = false;
        if (m_pending && m_state.isOn())
            compareNow();
    } else if (event->type() == QEvent::Hide) {
        m_paused = true;
    }
    return QObject::eventFilter(watched, event);
}

void CompareSession::stateChanged()
{
    // Other options make other ids: the next comparison starts afresh.
    m_comparer.reset();
    if (m_state.isOn()) {
        compareNow();
        return;
    }
    stopRun();
    m_pause.stop();
    m_pending = false;
    clearMarks();
    emit statusChanged();
}

void CompareSession::textChanged(Side side, qint64 from, qint64 inserted)
{
    // A line of slack on each side: an edit next to a line end may join or part the lines there.
    const TextDocument &document = pane(side)->document();
    const qint64 first = document.lineOf(from);
    const qint64 last = document.lineOf(from + inserted);
    m_changes[size_t(side)].add(Changes{false, std::max<qint64>(0, first - 1),
                                        std::max<qint64>(0, document.lineCount() - last - 2)});
    if (m_state.isOn())
        m_pause.start();
}

void CompareSession::compareNow()
{
    m_pause.stop();
    start();
}

void CompareSession::start()
{
    if (!m_state.isOn())
        return;
    if (m_paused) {
        m_pending = true;
        return;
    }
    m_pending = false;
    if (m_run) {
        // One comparison at a time works on the kept ids: this one ends soon, and the next
        // starts from what it leaves.
        m_run->progress.stop = true;
        m_again = true;
        return;
    }
    m_again = false;
    CompareText texts[2];
    std::shared_ptr<Run> run;
    try {
        if (!m_comparer)
            m_comparer = std::make_shared<TextComparer>(m_state.options());
        for (const Side side : {Side::Left, Side::Right}) {
            const TextDocument &document = pane(side)->document();
            const Changes &changes = m_changes[size_t(side)];
            CompareText &text = texts[size_t(side)];
            text.text = document.snapshot();
            text.lines = document.lineCount();
            text.sinceLast = !changes.all;
            text.head = std::clamp<qint64>(changes.head, 0, text.lines);
            text.tail = std::clamp<qint64>(changes.tail, 0, text.lines - text.head);
            text.middleFrom = text.head >= text.lines ? document.size() : document.lineStart(text.head);
            text.middleTo = text.tail > 0 ? document.lineStart(text.lines - text.tail) : document.size();
        }
        run = std::make_shared<Run>();
    } catch (const std::bad_alloc &) {
        m_outcome = Outcome::NoMemory;
        clearMarks();
        emit statusChanged();
        return;
    }
    for (const Side side : {Side::Left, Side::Right}) {
        m_inFlight[size_t(side)] = m_changes[size_t(side)];
        m_changes[size_t(side)] = Changes{false, std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::max()};
    }
    run->comparer = m_comparer;
    run->receiver = this;
    m_run = run;
    m_outcome = Outcome::None;
    m_runTime.start();
    m_progressPoll.start();
    std::thread([run, left = texts[0], right = texts[1]] {
        try {
            run->result = run->comparer->compare(left, right, &run->progress);
        } catch (const std::bad_alloc &) {
            run->noMemory = true;
        }
        const std::lock_guard<std::mutex> lock(run->mutex);
        if (run->receiver)
            QMetaObject::invokeMethod(run->receiver, [receiver = run->receiver, run] { receiver->finished(run); },
                                      Qt::QueuedConnection);
    }).detach();
    emit statusChanged();
}

void CompareSession::stopRun()
{
    m_progressPoll.stop();
    m_again = false;
    if (!m_run)
        return;
    m_run->progress.stop = true;
    {
        const std::lock_guard<std::mutex> lock(m_run->mutex);
        m_run->receiver = nullptr;
    }
    m_run.reset();
    // The run given up may still be using the comparer; the next one starts afresh.
    m_comparer.reset();
    m_changes[0] = m_changes[1] = Changes{};
}

void CompareSession::cancel()
{
    if (!m_run)
        return;
    stopRun();
    m_outcome = Outcome::Stopped;
    clearMarks();
    emit statusChanged();
}

void CompareSession::finished(const std::shared_ptr<Run> &run)
{
    if (run != m_run)
        return;
    m_run.reset();
    m_progressPoll.stop();
    if (!run->comparer->hasFinished() || !run->result) {
        // The changes it took in are still to be compared.
        for (const Side side : {Side::Left, Side::Right}) {
            m_inFlight[size_t(side)].add(m_changes[size_t(side)]);
            m_changes[size_t(side)] = m_inFlight[size_t(side)];
        }
    }
    if (run->noMemory)
        m_comparer.reset();
    if (m_again) {
        start();
        return;
    }
    if (run->noMemory || !run->result) {
        m_outcome = run->noMemory ? Outcome::NoMemory : Outcome::Stopped;
        clearMarks();
        emit statusChanged();
        return;
    }
    try {
        m_comparison = std::make_shared<const Comparison>(std::move(*run->result));
        m_current = std::min(m_current, m_comparison->differenceCount() - 1);
        showMarks();
    } catch (const std::bad_alloc &) {
        // No marks rather than half of them; the texts are as they were.
        m_outcome = Outcome::NoMemory;
        clearMarks();
        emit statusChanged();
        return;
    }
    emit statusChanged();
    emit compared();
}

void CompareSession::showMarks()
{
    for (const Side side : {Side::Left, Side::Right}) {
        PaneControl *own = pane(side);
        PaneControl *other = pane(otherSide(side));
        auto marks = std::make_shared<LineMarks>();
        marks->marks = m_comparison->marks(side);
        marks->changedBytes = CharacterMarks(m_comparison, side, own->sharedDocument(), other->sharedDocument());
        own->setLineMarks(std::move(marks));
    }
}

void CompareSession::clearMarks()
{
    m_comparison.reset();
    m_current = -1;
    m_left->setLineMarks(nullptr);
    m_right->setLineMarks(nullptr);
}

int CompareSession::progress() const
{
    if (!m_run)
        return 0;
    // Reading the lines is most of the work; the diff after it is quick.
    const qint64 total = m_run->progress.total.load(std::memory_order_relaxed);
    const qint64 done = m_run->progress.done.load(std::memory_order_relaxed);
    return total > 0 ? int(std::min<qint64>(990, 990 * done / total)) : 0;
}

bool CompareSession::isCancellable() const
{
    return m_run && m_runTime.elapsed() >= kQuietRun.count();
}

QString CompareSession::status() const
{
    if (!m_state.isOn())
        return {};
    if (isCancellable())
        return tr("Comparing\u2026 %1%").arg(progress() / 10);
    if (m_outcome == Outcome::NoMemory)
        return tr("Not enough memory to compare the texts");
    if (m_outcome == Outcome::Stopped)
        return tr("Comparison stopped");
    if (!m_comparison)
        return m_run ? tr("Comparing\u2026") : QString();
    if (m_comparison->isIdentical())
        return tr("The texts are identical");
    const qsizetype count = m_comparison->differenceCount();
    if (m_current >= 0)
        return tr("Difference %1 of %2").arg(m_current + 1).arg(count);
    return count == 1 ? tr("1 difference") : tr("%1 differences").arg(count);
}

qint64 CompareSession::correspondingLine(const PaneControl *pane, qint64 line) const
{
    if (!m_comparison)
        return -1;
    return m_comparison->correspondingLine(sideOf(pane), line);
}

qint64 CompareSession::moveOrigin(const PaneControl *leader) const
{
    const qint64 first = leader->firstVisibleLine();
    const qint64 caretLine = leader->document().lineOf(leader->editor().caret());
    if (caretLine >= first && caretLine < first + std::max<qint64>(1, leader->visibleLineCount()))
        return caretLine;
    return first - 1;
}

void CompareSession::goToNext()
{
    if (!m_comparison)
        return;
    PaneControl *leader = m_leader ? m_leader() : m_left;
    const Side side = sideOf(leader);
    const qint64 origin = moveOrigin(leader);
    // A difference that starts where the caret is counts as the next one, unless it is the one
    // gone to last: the caret at the very top goes to a difference on the first line.
    qsizetype next = m_comparison->nextDifference(side, origin - 1);
    if (next >= 0 && next == m_current && m_comparison->startOf(next, side) == origin)
        next = m_comparison->nextDifference(side, origin);
    if (next >= 0)
        goTo(next);
}

void CompareSession::goToPrevious()
{
    if (!m_comparison)
        return;
    PaneControl *leader = m_leader ? m_leader() : m_left;
    const qint64 origin = moveOrigin(leader);
    // From above the view, the previous one is any that starts above its first line.
    const qsizetype previous = m_comparison->previousDifference(sideOf(leader), origin < leader->firstVisibleLine() ? origin + 1 : origin);
    if (previous >= 0)
        goTo(previous);
}

void CompareSession::goTo(qsizetype index)
{
    if (!m_comparison || index < 0 || index >= m_comparison->differenceCount())
        return;
    m_current = index;
    for (const Side side : {Side::Left, Side::Right}) {
        PaneControl *shown = pane(side);
        const qint64 line = m_comparison->startOf(index, side);
        shown->setFirstVisibleLine(std::max<qint64>(0, line - kContextLines));
        const qint64 at = shown->document().lineStart(line);
        shown->select(at, at);
    }
    emit statusChanged();
}
