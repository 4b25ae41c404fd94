#pragma once

#include "find/textsearch.h"

class PaneControl;

/// What a find in a pane did.
struct FindOutcome
{
    bool found = false;
    bool wrapped = false; // the match lies past the end (or before the start) it searched towards
};

/// Finds the next match after the pane's selection (or the previous one before it), going on
/// from the other end of the text when that end is reached. A match is selected and scrolled
/// into view, clear of the lowest `coveredHeight` pixels of the view; without one nothing
/// changes. Throws platform::Failure when there is no memory for the search.
FindOutcome findInPane(PaneControl &pane, const TextSearch &search, SearchDirection direction,
                       int coveredHeight = 0);

/// The number of lines the pane holds; a text that ends with a line end has an empty last line.
qint64 lineCount(const PaneControl &pane);

/// Puts the caret, with nothing selected, at the start of line `line` (counted from 1, at most
/// lineCount()) and scrolls it into view, clear of the lowest `coveredHeight` pixels.
void goToLine(PaneControl &pane, qint64 line, int coveredHeight = 0);
