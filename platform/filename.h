#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace platform {

/// A file name as the system holds it, a string of bytes, as text and back without loss. Names
/// are UTF-8 here, but need not be: Qt's own conversion turns every byte that is not UTF-8 into
/// U+FFFD, so "caf\xE9" (Latin-1) could never be opened again. Such a byte stands instead for
/// itself as one of the lone surrogates U+DC80 to U+DCFF, which no UTF-8 text can hold.
QString decodeFileName(QByteArrayView bytes);
/// The system's bytes for a name that `decodeFileName` gave, or for any other text (as UTF-8).
QByteArray encodeFileName(const QString &name);

/// The working folder, its name decoded as above.
QString currentFolder();

} // namespace platform
