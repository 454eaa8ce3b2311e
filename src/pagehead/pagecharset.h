#pragma once

// Page charsets as byte encodings: telling names apart, decoding a page's
// bytes to UTF-8 with the way back to each source byte, and encoding lines
// to be written into such a page. glibc's iconv does the work; the two codes
// of the charset table it lacks (DOS-720 and hz-gb-2312) are done here.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <vector>

namespace brindle::pagehead {

// Item of the charset table whose code the name is, without regard to case;
// -1 for any other name.
int charsetItemOfName(QStringView name);

// Whether two charset names stand for the same bytes ("UTF8" and "utf-8",
// "iso-8859-8-i" and "ISO-8859-8", "cp1251" and "windows-1251").
bool sameCharset(QStringView a, QStringView b);
bool isUtf8Name(QStringView name);

// Whether every byte is below 0x80.
bool isAscii(QByteArrayView bytes);

// Whether bytes are valid UTF-8 (no overlong forms, surrogates or values
// past U+10FFFF). A character cut off by the end of the bytes is allowed
// when `truncated` says the bytes are only the beginning of a longer text.
bool isValidUtf8(QByteArrayView bytes, bool truncated = false);

struct DecodedText
{
    QByteArray utf8;
    // For every byte of utf8, and once more for its end: the offset in the
    // source of the character it came from.
    std::vector<std::uint32_t> sourceOffset;
};

enum class DecodeStatus
{
    Ok,
    UnknownCharset, // no decoder by that name
    Invalid,        // a byte sequence that is not valid in the charset
};

struct DecodeResult
{
    DecodeStatus status = DecodeStatus::Ok;
    qsizetype invalidOffset = -1; // first source byte that is not valid
    DecodedText text;
};

// Decodes bytes in the named charset. A character cut off by the end is
// dropped when `truncated` is set, and invalid otherwise.
DecodeResult decodeCharset(QByteArrayView bytes, QStringView charset, bool truncated);

// The text in the named charset; nullopt when a character of it has no form
// in that charset or the charset is unknown.
std::optional<QByteArray> encodeCharset(QStringView text, QStringView charset);

} // namespace brindle::pagehead
