#pragma once

#include "compare/linefilter.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstdint>
#include <functional>
#include <vector>

/// Takes each line of a text in turn: its bytes without the line end, its hash (of its key, with a
/// filter), and whether the bytes lie in the text itself (false for a line gathered from two
/// stretches, whose bytes last only for the call).
using LineSink = std::function<void(QByteArrayView line, std::uint64_t hash, bool lasting)>;

/// Shows each line of the text these stretches make, one after the other, to `sink`, in order.
/// A line ends at an LF, a CR LF or a lone CR; a text that ends with a line end has no empty
/// line after it.
void scanLines(const QList<QByteArrayView> &stretches, const LineFilter *filter, const LineSink &sink);

/// The hash scanLines() gives a line of these bytes (without a filter).
std::uint64_t hashLineBytes(const char *bytes, qsizetype length);
