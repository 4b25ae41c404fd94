#include "platform/filename.h"

#include <cerrno>
#include <unistd.h>

namespace platform {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// The code point of the well-formed UTF-8 sequence at `p`, and its length; 0 when none starts there.
int decodeOne(const unsigned char *p, const unsigned char *end, char32_t &c)
{
    const qsizetype left = end - p;
    const unsigned char lead = p[0];
    if (lead < 0x80) {
        c = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF && left >= 2 && isContinuation(p[1])) {
        c = char32_t(lead & 0x1F) << 6 | (p[1] & 0x3F);
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF && left >= 3 && isContinuation(p[1]) && isContinuation(p[2])) {
        if ((lead == 0xE0 && p[1] < 0xA0) || (lead == 0xED && p[1] > 0x9F))
            return 0; // overlong, or a surrogate
        c = char32_t(lead & 0x0F) << 12 | char32_t(p[1] & 0x3F) << 6 | (p[2] & 0x3F);
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4 && left >= 4 && isContinuation(p[1]) && isContinuation(p[2])
        && isContinuation(p[3])) {
        if ((lead == 0xF0 && p[1] < 0x90) || (lead == 0xF4 && p[1] > 0x8F))
            return 0;
        c = char32_t(lead & 0x07) << 18 | char32_t(p[1] & 0x3F) << 12 | char32_t(p[2] & 0x3F) << 6
            | (p[3] & 0x3F);
        return 4;
    }
    return 0;
}

} // namespace

QString decodeFileName(QByteArrayView bytes)
{
    QString name;
    name.reserve(bytes.size());
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    while (p < end) {
        char32_t c = 0;
        const int length = decodeOne(p, end, c);
        if (length == 0) {
            name += QChar(char16_t(kEscapeBase + *p));
            ++p;
            continue;
        }
        if (c >= 0x10000) {
            name += QChar(QChar::highSurrogate(c));
            name += QChar(QChar::lowSurrogate(c));
        } else {
            name += QChar(char16_t(c));
        }
        p += length;
    }
    return name;
}

QByteArray encodeFileName(const QString &name)
{
    QByteArray bytes;
    bytes.reserve(name.size());
    const auto append = [&bytes](QStringView text) { bytes += text.toUtf8(); };
    qsizetype plain = 0; // the start of a stretch with no escaped byte in it
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name.at(i).unicode();
        const bool escaped = unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF
                             && !(i > 0 && QChar::isHighSurrogate(name.at(i - 1).unicode()));
        if (!escaped)
            continue;
        append(QStringView(name).sliced(plain, i - plain));
        bytes += char(unit - kEscapeBase);
        plain = i + 1;
    }
    append(QStringView(name).sliced(plain));
    return bytes;
}

QString currentFolder()
{
    QByteArray name(4096, Qt::Uninitialized);
    while (!::getcwd(name.data(), size_t(name.size()))) {
        if (errno != ERANGE)
            return QStringLiteral("/");
        name.resize(name.size() * 2);
    }
    return decodeFileName(name.constData());
}

} // namespace platform
