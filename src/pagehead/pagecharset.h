#pragma once

// Page charsets as browsers know them: the labels of the Encoding Standard
// (base/encodinglabels), the byte-order mark and the charset a page's first
// bytes declare, and converters between a page's bytes and UTF-8 that keep
// the way back to each source byte. glibc's iconv does most of the work; what
// it lacks or does otherwise (UTF-16 and ISO-2022-JP with their offsets, the
// C1 bytes of the windows-* charsets, DOS-720) is done here.

#include "base/utf8.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QLatin1StringView>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <vector>

namespace brindle::pagehead {

// Item of the charset table whose code the name is, without regard to case;
// -1 for any other name.
int charsetItemOfName(QStringView name);

// The encoding a charset declared in a page names, by the Encoding
// Standard's name for it, as browsers take such a declaration: labels of
// UTF-16 mean UTF-8 there, and x-user-defined windows-1252. Empty for a label
// the standard does not know ("utf-7", "DOS-720"); "replacement" for labels
// browsers refuse to decode ("hz-gb-2312", "iso-2022-kr").
QString declaredEncoding(QStringView label);

// Whether two charset names stand for the same bytes ("UTF8" and "utf-8",
// "latin1" and "windows-1252", "iso-8859-8-i" and "ISO-8859-8").
bool sameCharset(QStringView a, QStringView b);
bool isUtf8Name(QStringView name);

// Whether text in the charset keeps the bytes below 0x80 as the ASCII
// characters they are, so that markup can be read and written as bytes:
// false for UTF-16, ISO-2022-JP and "replacement", and for names such as
// utf-7 or utf-32; nullopt for a name no converter here knows.
std::optional<bool> keepsAscii(QStringView charset);

// Whether every byte is below 0x80.
bool isAscii(QByteArrayView bytes);

struct ByteOrderMark
{
    QLatin1StringView encoding; // "UTF-8", "UTF-16LE" or "UTF-16BE"; empty for none
    int length = 0;
};

// The byte-order mark a page starts with, which browsers let decide the
// encoding before anything the page declares.
ByteOrderMark byteOrderMarkOf(QByteArrayView bytes);

// How far browsers look for a charset declaration before they parse.
inline constexpr qsizetype kPrescanBytes = 1024;

// The charset of a content-type value ("text/html; charset=X"), extracted
// as browsers do; nullopt when it names none.
std::optional<QString> charsetOfContentType(const QString &content);

struct Prescan
{
    QString label;         // the declared label as written, a label the standard knows; empty for none
    bool needMore = false; // the bytes stop before the answer is known
};

// The charset a <meta> in the page's first kPrescanBytes bytes declares,
// found as browsers find it before parsing: comments are skipped, other
// markup is not understood, and labels the standard does not know are
// passed over. `complete` says the bytes are all there are.
Prescan prescanCharset(QByteArrayView bytes, bool complete);

// Text decoded to UTF-8 with the way back to the source bytes: for every
// character the number of source bytes up to the next one, in a byte, and
// where every 64th character starts in both, so that the way back costs a
// byte a character rather than an offset a byte.
class DecodedText
{
public:
    QByteArray utf8;

    void reserve(qsizetype sourceBytes);
    // Appends a character that came from the source bytes from `source` on.
    void append(char32_t c, qsizetype source);
    void append(QByteArrayView utf8Character, qsizetype source);
    // Ends the text where the source's decoded bytes end.
    void finish(qsizetype sourceEnd);

    // The source offset of the character that starts at (or holds) the
    // UTF-8 offset; the source's end for the text's end.
    qsizetype sourceOffset(qsizetype utf8Offset) const;
    // The source's end; where a decoding that stopped early stopped.
    qsizetype sourceEnd() const { return m_sourceEnd; }

private:
    static constexpr std::size_t kCheckpointEvery = 64;
    struct Checkpoint
    {
        qsizetype utf8 = 0;
        qsizetype source = 0;
    };
    void startCharacter(qsizetype source);

    std::vector<std::uint8_t> m_spans;
    std::vector<std::pair<qsizetype, qsizetype>> m_longSpans; // character, span; for spans of 255 and more
    std::vector<Checkpoint> m_checkpoints;
    qsizetype m_lastSource = -1;
    qsizetype m_sourceEnd = 0;
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

// Decodes bytes in the named charset (a label of the standard, or a name
// iconv knows). A character cut off by the end is dropped when `truncated`
// is set, and invalid otherwise.
DecodeResult decodeCharset(QByteArrayView bytes, QStringView charset, bool truncated);

// The text in the named charset; nullopt when a character of it has no form
// in that charset or the charset is unknown.
std::optional<QByteArray> encodeCharset(QStringView text, QStringView charset);

} // namespace brindle::pagehead
