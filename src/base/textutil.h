#pragma once

// Small conversions between the catalogue's UTF-8 views and Qt strings, and
// the one digit test of the byte scanners.

#include <QByteArray>
#include <QString>

#include <string_view>

namespace brindle {

// The catalogue's tables are plain UTF-8 string_views; Qt code wants QString.
inline QString toQString(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Texts written as u"..." literals in tables.
inline QString toQString(std::u16string_view s)
{
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

// '0' to '9' only, whatever the locale says.
constexpr bool isAsciiDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

inline std::string_view toView(const QByteArray &bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

} // namespace brindle
