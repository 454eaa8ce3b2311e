#pragma once

// The one UTF-8 validation of the program: the colourer, the page reader and
// the checker all ask it, so that they agree on what counts as UTF-8.
// Overlong forms, surrogates and values past U+10FFFF are not valid.

#include <QByteArrayView>

#include <cstdint>
#include <cstring>

namespace brindle {

// The UTF-8 sequence at the start of p[0..n), n >= 1: its length and code
// point; 0 when the bytes there are not valid UTF-8, and -1 when they begin a
// valid sequence that n cuts off.
inline int utf8Sequence(const unsigned char *p, qsizetype n, char32_t &codePoint)
{
    const unsigned char b0 = p[0];
    if (b0 < 0x80) {
        codePoint = b0;
        return 1;
    }
    int length;
    unsigned char low = 0x80, high = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        codePoint = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        codePoint = b0 & 0x0F;
        if (b0 == 0xE0)
            low = 0xA0; // overlong
        else if (b0 == 0xED)
            high = 0x9F; // surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        codePoint = b0 & 0x07;
        if (b0 == 0xF0)
            low = 0x90; // overlong
        else if (b0 == 0xF4)
            high = 0x8F; // past U+10FFFF
    } else {
        return 0;
    }
    for (int i = 1; i < length; ++i) {
        if (i == n)
            return -1;
        const unsigned char b = p[i];
        if (b < low || b > high)
            return 0;
        low = 0x80;
        high = 0xBF;
        codePoint = (codePoint << 6) | (b & 0x3F);
    }
    return length;
}

// Length of the valid UTF-8 sequence at the start of p[0..n) and its code
// point; 0 when the bytes there are not a whole valid sequence.
inline int decodeUtf8(const unsigned char *p, qsizetype n, char32_t &codePoint)
{
    const int length = utf8Sequence(p, n, codePoint);
    return length < 0 ? 0 : length;
}

struct Utf8Scan
{
    qsizetype valid = 0;  // bytes of whole valid sequences from the start
    bool invalid = false; // what stops there is invalid, not merely cut off by the end
};

// How far bytes are valid UTF-8; runs of ASCII go eight bytes at a time.
inline Utf8Scan scanUtf8(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        if (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, p + i, 8);
            if (!(word & 0x8080808080808080u)) {
                i += 8;
                continue;
            }
        }
        char32_t codePoint = 0;
        const int length = utf8Sequence(p + i, n - i, codePoint);
        if (length <= 0)
            return {i, length == 0};
        i += length;
    }
    return {n, false};
}

// Whether bytes are valid UTF-8. A character cut off by the end is allowed
// when `truncated` says the bytes are only the beginning of a longer text.
inline bool isValidUtf8(QByteArrayView bytes, bool truncated = false)
{
    const Utf8Scan scan = scanUtf8(bytes);
    return scan.valid == bytes.size() || (truncated && !scan.invalid);
}

} // namespace brindle
