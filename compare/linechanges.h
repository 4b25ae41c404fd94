#pragma once

#include <QByteArrayView>

#include <utility>
#include <vector>

/// Stretches of a line's bytes, as [start, end) offsets from its start, in order.
using ByteStretches = std::vector<std::pair<qint64, qint64>>;

/// What differs between two lines, character by character (a UTF-8 sequence, or a stray byte,
/// is one character): the fewest characters changed, where what is left between their common
/// start and end is short enough to work out at paint time; beyond that, all of it.
struct LineChanges
{
    ByteStretches left;
    ByteStretches right;
};

LineChanges lineChanges(QByteArrayView left, QByteArrayView right);
