#pragma once

#include <QByteArray>
#include <QCursor>
#include <QImage>
#include <QPoint>

/// The largest cursor file that is read: it holds a few small images, a few kilobytes each.
constexpr qint64 kCursorFileSizeLimit = 1024 * 1024;

/// The first image of a cursor file and the hotspot that its header names.
struct CursorImage
{
    QImage image;
    QPoint hotspot;
};

/// Reads the bytes of a cursor file (.cur; an icon file serves too, its hotspot at the centre).
/// Throws platform::Failure when they do not hold a whole, readable image.
CursorImage readCursorImage(const QByteArray &bytes);

QCursor toCursor(const CursorImage &image);
