#pragma once

// Small conversions between the catalogue's UTF-8 views and Qt strings.

#include <QByteArray>
#include <QString>

#include <string_view>

namespace brindle {

// The catalogue's tables are plain UTF-8 string_views; Qt code wants QString.
inline QString toQString(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

inline std::string_view toView(const QByteArray &bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

} // namespace brindle
