#pragma once

// parseInt32: a whole text read as a 32-bit integer, telling "not a number"
// from "out of range", for every reader of stored or typed numbers.

#include <QStringView>
#include <QtGlobal>

#include <limits>
#include <string_view>

namespace brindle {

enum class ParseStatus
{
    Ok,
    NotANumber,
    OutOfRange,
};

struct ParsedInt32
{
    ParseStatus status = ParseStatus::NotANumber;
    qint32 value = 0; // set only with Ok
};

namespace detail {

constexpr char16_t unitOf(QChar c)
{
    return c.unicode();
}
constexpr char16_t unitOf(char c)
{
    return static_cast<unsigned char>(c);
}

template<typename Text>
constexpr ParsedInt32 parseInt32(const Text &text)
{
    std::size_t i = 0;
    const std::size_t n = std::size_t(text.size());
    bool negative = false;
    if (i < n && (unitOf(text[i]) == u'+' || unitOf(text[i]) == u'-')) {
        negative = unitOf(text[i]) == u'-';
        ++i;
    }
    if (i == n)
        return {};
    constexpr qint64 kMax = std::numeric_limits<qint32>::max();
    const qint64 limit = negative ? kMax + 1 : kMax;
    qint64 magnitude = 0;
    bool tooLarge = false;
    for (; i < n; ++i) {
        const char16_t c = unitOf(text[i]);
        if (c < u'0' || c > u'9')
            return {};
        // Reads on after an overflow: a later non-digit makes it no number at all.
        if (!tooLarge) {
            magnitude = magnitude * 10 + (c - u'0');
            tooLarge = magnitude > limit;
        }
    }
    if (tooLarge)
        return {ParseStatus::OutOfRange, 0};
    return {ParseStatus::Ok, qint32(negative ? -magnitude : magnitude)};
}

} // namespace detail

// An optional "+" or "-" and one or more ASCII digits, nothing else (no
// blanks); leading zeros are fine.
constexpr ParsedInt32 parseInt32(QStringView text)
{
    return detail::parseInt32(text);
}
constexpr ParsedInt32 parseInt32(std::string_view text)
{
    return detail::parseInt32(text);
}

} // namespace brindle
