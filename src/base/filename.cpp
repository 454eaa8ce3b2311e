#include "base/filename.h"

namespace brindle {

namespace {

constexpr char16_t kEscapedByte = 0xDC00;

bool isEscapedByte(QChar c)
{
    return c.unicode() >= kEscapedByte + 0x80 && c.unicode() <= kEscapedByte + 0xFF;
}

// The length of the UTF-8 sequence a byte leads, 0 when it leads none.
qsizetype sequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

} // namespace

QString fileNameFromBytes(QByteArrayView bytes)
{
    if (bytes.isValidUtf8())
        return QString::fromUtf8(bytes);
    QString name;
    name.reserve(bytes.size());
    qsizetype valid = 0; // start of the run of valid sequences not yet decoded
    qsizetype i = 0;
    while (i < bytes.size()) {
        const qsizetype length = sequenceLength(static_cast<unsigned char>(bytes[i]));
        if (length > 0 && i + length <= bytes.size() && bytes.sliced(i, length).isValidUtf8()) {
            i += length;
            continue;
        }
        name += QString::fromUtf8(bytes.sliced(valid, i - valid));
        name += QChar(char16_t(kEscapedByte + static_cast<unsigned char>(bytes[i])));
        valid = ++i;
    }
    name += QString::fromUtf8(bytes.sliced(valid));
    return name;
}

QByteArray fileNameBytes(QStringView name)
{
    qsizetype escaped = 0;
    for (QChar c : name)
        escaped += isEscapedByte(c);
    if (escaped == 0)
        return name.toUtf8();
    QByteArray bytes;
    bytes.reserve(name.size() + 2 * (name.size() - escaped));
    qsizetype run = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!isEscapedByte(name[i]))
            continue;
        bytes += name.sliced(run, i - run).toUtf8();
        bytes += char(name[i].unicode() - kEscapedByte);
        run = i + 1;
    }
    bytes += name.sliced(run).toUtf8();
    return bytes;
}

QString displayFileName(QStringView name)
{
    QString shown;
    shown.reserve(name.size());
    for (QChar c : name) {
        const char16_t u = c.unicode();
        if (isEscapedByte(c) || u < 0x20 || u == 0x7F)
            shown += QStringLiteral("\\x%1").arg(uint(isEscapedByte(c) ? u - kEscapedByte : u), 2, 16,
                                                 QChar(u'0'));
        else
            shown += c;
    }
    return shown;
}

} // namespace brindle
