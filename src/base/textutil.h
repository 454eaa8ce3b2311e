#pragma once

// Small conversions between the catalogue's UTF-8 views and Qt strings, and
// the one digit, blank and letter tests of the byte scanners.

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

// ASCII whitespace as HTML and the Encoding Standard know it: TAB, LF, FF,
// CR and space.
constexpr bool isAsciiBlank(char c)
{
    return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

constexpr bool isAsciiLetter(char c)
{
    const char lower = char(c | 0x20);
    return lower >= 'a' && lower <= 'z';
}

constexpr char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

inline std::string_view toView(const QByteArray &bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

} // namespace brindle
