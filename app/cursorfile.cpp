#include "app/cursorfile.h"

#include "platform/failure.h"

#include <QBuffer>
#include <QImageReader>
#include <QPixmap>

#include <algorithm>

namespace {

// Directory header: reserved, type (1 icon, 2 cursor), image count; then one 16-byte entry per
// image: width, height, colours, reserved, then for a cursor the hotspot x and y, then the
// image's size and offset in the file. Qt's reader gives the image but not the hotspot.
constexpr int kHeaderSize = 6;
constexpr int kEntrySize = 16;
constexpr quint16 kIconType = 1;
constexpr quint16 kCursorType = 2;

quint16 word(const QByteArray &bytes, qsizetype at)
{
    return quint16(quint8(bytes[at]) | quint8(bytes[at + 1]) << 8);
}

quint32 dword(const QByteArray &bytes, qsizetype at)
{
    return quint32(word(bytes, at)) | quint32(word(bytes, at + 2)) << 16;
}

[[noreturn]] void fail(const char *message)
{
    throw platform::Failure(QString::fromUtf8(message));
}

} // namespace

CursorImage readCursorImage(const QByteArray &bytes)
{
    if (bytes.size() < kHeaderSize + kEntrySize)
        fail("The cursor file is too short to hold an image.");
    const quint16 type = word(bytes, 2);
    const quint16 count = word(bytes, 4);
    if (word(bytes, 0) != 0 || (type != kIconType && type != kCursorType) || count == 0)
        fail("The file is not a cursor file.");
    // A cut-off file is named as such, whichever part of the image is missing.
    const qint64 imageSize = dword(bytes, kHeaderSize + 8);
    const qint64 imageOffset = dword(bytes, kHeaderSize + 12);
    if (imageOffset + imageSize > bytes.size()
        || kHeaderSize + qint64(count) * kEntrySize > bytes.size())
        fail("The cursor file is cut short.");

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    CursorImage result;
    result.image = reader.read();
    if (result.image.isNull())
        throw platform::Failure(reader.errorString());

    const QRect area = result.image.rect();
    if (type == kCursorType) {
        // A hotspot outside the picture would point nowhere the user can see.
        result.hotspot = QPoint(std::min<int>(word(bytes, kHeaderSize + 4), area.right()),
                                std::min<int>(word(bytes, kHeaderSize + 6), area.bottom()));
    } else {
        result.hotspot = area.center();
    }
    return result;
}

QCursor toCursor(const CursorImage &image)
{
    return QCursor(QPixmap::fromImage(image.image), image.hotspot.x(), image.hotspot.y());
}
