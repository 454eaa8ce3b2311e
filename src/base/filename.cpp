#include "base/filename.h"

#include "base/utf8.h"

namespace brindle {

namespace {

constexpr char16_t kEscapedByte = 0xDC00;

bool isEscapedByte(QChar c)
{
    return c.unicode() >= kEscapedByte + 0x80 && c.unicode() <= kEscapedByte + 0xFF;
}

} // namespace

QString fileNameFromBytes(QByteArrayView bytes)
{
    QString name;
    qsizetype i = 0;
    for (;;) {
        const qsizetype valid = scanUtf8(bytes.sliced(i)).valid;
        name += QString::fromUtf8(bytes.sliced(i, valid));
        i += valid;
        if (i == bytes.size())
            return name;
        // A byte that begins no valid sequence, or one that the end cuts off.
        name += QChar(char16_t(kEscapedByte + static_cast<unsigned char>(bytes[i])));
        ++i;
    }
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
