#pragma once

#include "textpane/utf8.h"

#include <QByteArrayView>
#include <QString>

#include <vector>

/// How a stretch of one line's bytes is shown, and where each byte lands in what is shown.
/// Valid UTF-8 is decoded; a tab stays a tab; a control byte is shown as its abbreviation ("NUL",
/// "ESC", "DEL") in a box, and a byte that is not part of valid UTF-8 as "x" and its two hex
/// digits ("xE9") in a box of another look. Positions are byte offsets into the stretch and
/// indices into display().
class LineText
{
public:
    enum class BoxKind : quint8 { Control, Stray };
    /// A box in display(): [start, start + length).
    struct Box
    {
        int start = 0;
        int length = 0;
        BoxKind kind = BoxKind::Control;
    };

    LineText() = default;
    explicit LineText(QByteArrayView bytes);

    const QString &display() const { return m_display; }
    int byteCount() const { return int(m_toDisplay.size()) - 1; }
    const std::vector<Box> &boxes() const { return m_boxes; }
    /// Where the character holding `byte` starts in display(); byteCount() maps past the end.
    int displayIndex(int byte) const;
    /// The byte at which the character shown at `index` starts; inside a box or a character of
    /// two UTF-16 units, the nearer of its two edges.
    int byteOffset(int index) const;

    /// The length of the valid UTF-8 sequence at `p` (of `available` bytes), with its code point
    /// in `codePoint`; 0 when the byte at `p` does not begin one.
    static int decode(const uchar *p, qint64 available, char32_t *codePoint);
    /// Whether the byte is shown as a control box (tab and the line-end bytes are not).
    static bool isControl(uchar byte) { return (byte < 0x20 && byte != '\t') || byte == 0x7F; }
    /// What a box shows for the byte, padded by a thin space on each side.
    static QString controlText(uchar byte);
    static QString strayText(uchar byte);

private:
    void addBox(const QString &text, int byte, BoxKind kind);

    QString m_display;
    std::vector<int> m_toDisplay; ///< per byte, and one past the end
    std::vector<int> m_toByte;    ///< per display unit, and one past the end
    std::vector<Box> m_boxes;
};

inline int LineText::decode(const uchar *p, qint64 available, char32_t *codePoint)
{
    return decodeUtf8(p, available, codePoint);
}
