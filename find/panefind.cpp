#include "find/panefind.h"

#include "platform/failure.h"
#include "textpane/panecontrol.h"

#include <algorithm>
#include <new>
#include <vector>

namespace {

// After the view scrolled the match into view: a line that sits behind the covered bottom of
// the view, or outside it, comes to the middle of what stays visible.
void keepLineClear(PaneControl &pane, qint64 line, int coveredHeight)
{
    const int visibleHeight = pane.viewport()->height() - std::max(0, coveredHeight);
    const qint64 visible = std::max<qint64>(1, visibleHeight / std::max(1, pane.lineHeight()));
    const qint64 first = pane.firstVisibleLine();
    if (line < first || line >= first + visible)
        pane.setFirstVisibleLine(std::max<qint64>(0, line - visible / 2));
}

} // namespace

FindOutcome findInPane(PaneControl &pane, const TextSearch &search, SearchDirection direction, int coveredHeight)
{
    const qint64 selectionStart = pane.editor().selection().start;
    const qint64 selectionEnd = pane.editor().selection().end;

    FindOutcome outcome;
    // The second pass covers only the matches the first could not reach.
    const qint64 overlap = std::max<qint64>(0, search.byteLength() - 1);
    TextMatch match;
    try {
        // The text as it is kept: an edited one is searched in its pieces, not gathered first.
        const std::vector<QByteArrayView> text = pane.pieces();
        const qint64 size = pane.byteCount();
        if (direction == SearchDirection::Forward) {
            match = search.find(text, selectionEnd, size, direction);
            if (!match.found()) {
                match = search.find(text, 0, selectionEnd + overlap, direction);
                outcome.wrapped = match.found();
            }
        } else {
            match = search.find(text, 0, selectionStart, direction);
            if (!match.found()) {
                match = search.find(text, selectionStart - overlap, size, direction);
                outcome.wrapped = match.found();
            }
        }
    } catch (const std::bad_alloc &) {
        throw platform::outOfMemory();
    }
    if (!match.found())
        return outcome;
    outcome.found = true;
    pane.select(match.start, match.end());
    pane.ensureVisible(match.end());
    pane.ensureVisible(match.start);
    keepLineClear(pane, pane.document().lineOf(match.start), coveredHeight);
    return outcome;
}

qint64 lineCount(const PaneControl &pane)
{
    return pane.document().lineCount();
}

void goToLine(PaneControl &pane, qint64 line, int coveredHeight)
{
    const qint64 index = std::clamp<qint64>(line, 1, lineCount(pane)) - 1;
    pane.select(pane.document().lineStart(index), pane.document().lineStart(index));
    pane.ensureCaretVisible();
    keepLineClear(pane, index, coveredHeight);
}
