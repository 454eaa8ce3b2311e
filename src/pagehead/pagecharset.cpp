#include "pagehead/pagecharset.h"

#include "base/encodinglabels.h"
#include "base/textutil.h"
#include "tags/tagcatalogue.h"

#include <QList>

#include <algorithm>
#include <array>
#include <cerrno>
#include <iconv.h>

using namespace Qt::StringLiterals;

namespace brindle::pagehead {

namespace {

// DOS-720 (Arabic), bytes 0x80 to 0xFF; glibc has no converter for it.
constexpr std::array<char16_t, 128> kDos720 = {
    0x0080, 0x0081, 0x00E9, 0x00E2, 0x0084, 0x00E0, 0x0086, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x008D, 0x008E, 0x008F, 0x0090, 0x0651, 0x0652, 0x00F4, 0x00A4, 0x0640, 0x00FB, 0x00F9, 0x0621, 0x0622,
    0x0623, 0x0624, 0x00A3, 0x0625, 0x0626, 0x0627, 0x0628, 0x0629, 0x062A, 0x062B, 0x062C, 0x062D, 0x062E,
    0x062F, 0x0630, 0x0631, 0x0632, 0x0633, 0x0634, 0x0635, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x0636, 0x0637, 0x0638, 0x0639, 0x063A, 0x0641, 0x00B5, 0x0642,
    0x0643, 0x0644, 0x0645, 0x0646, 0x0647, 0x0648, 0x0649, 0x064A, 0x2261, 0x064B, 0x064C, 0x064D, 0x064E,
    0x064F, 0x0650, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

enum class Codec
{
    Iconv,
    Utf8,
    Utf16Le,
    Utf16Be,
    Iso2022Jp, // stateful: its escapes switch what the bytes mean
    Dos720,
    UserDefined, // x-user-defined: bytes 0x80 to 0xFF are U+F780 to U+F7FF
    Replacement, // labels browsers never decode
};

struct Converter
{
    Codec codec = Codec::Iconv;
    QByteArray decodeName; // for iconv; empty when iconv cannot be asked
    QByteArray encodeName;
    // The windows-* charsets of the standard read the bytes 0x80 to 0x9F that
    // glibc leaves undefined as the C1 controls of the same number.
    bool c1Fallback = false;
};

// Names of the standard's encodings as glibc spells them, where it does
// otherwise or its converter of that name differs.
Converter converterOfEncoding(QLatin1StringView encoding)
{
    static const std::array<std::pair<QLatin1StringView, Codec>, 6> kOwn = {{
        {"UTF-8"_L1, Codec::Utf8},
        {"UTF-16LE"_L1, Codec::Utf16Le},
        {"UTF-16BE"_L1, Codec::Utf16Be},
        {"ISO-2022-JP"_L1, Codec::Iso2022Jp},
        {"x-user-defined"_L1, Codec::UserDefined},
        {"replacement"_L1, Codec::Replacement},
    }};
    for (const auto &[name, codec] : kOwn) {
        if (encoding == name)
            return {codec, {}, {}, false};
    }
    static const std::array<std::pair<QLatin1StringView, const char *>, 8> kIconv = {{
        {"ISO-8859-8-I"_L1, "ISO-8859-8"},
        {"KOI8-U"_L1, "KOI8-RU"}, // with the Belarusian letters at 0xAE and 0xBE
        {"macintosh"_L1, "MACINTOSH"},
        {"x-mac-cyrillic"_L1, "MAC-CYRILLIC"},
        {"GBK"_L1, "GB18030"}, // browsers decode GBK as gb18030
        {"Big5"_L1, "BIG5-HKSCS"},
        {"Shift_JIS"_L1, "WINDOWS-31J"},
        {"EUC-KR"_L1, "CP949"},
    }};
    for (const auto &[name, iconvName] : kIconv) {
        if (encoding == name)
            return {Codec::Iconv, iconvName, encoding == "GBK"_L1 ? QByteArray("GBK") : QByteArray(iconvName),
                    false};
    }
    const QByteArray name = QByteArray(encoding.data(), encoding.size()).toUpper();
    return {Codec::Iconv, name, name, name.startsWith("WINDOWS-")};
}

Converter resolve(QStringView charset)
{
    if (const std::optional<QLatin1StringView> encoding = encodingOfLabel(charset))
        return converterOfEncoding(*encoding);
    const QString lower = charset.trimmed().toString().toLower();
    if (lower == u"dos-720"_s)
        return {Codec::Dos720, {}, {}, false};
    if (lower == u"dos-862"_s)
        return {Codec::Iconv, "CP862", "CP862", false};
    // Only plain names reach iconv: its "//TRANSLIT" suffixes and the like
    // must not be switched on by a page.
    QByteArray name;
    for (QChar c : lower) {
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != u'-' && c != u'_' && c != u'.' && c != u':')
            return {};
        name += char(c.unicode());
    }
    if (name.size() > 40)
        return {};
    return {Codec::Iconv, name, name, false};
}

// Spelling-free form of a name the standard does not know, for comparisons.
QString canonical(QStringView name)
{
    QString s;
    for (QChar c : name.trimmed()) {
        if (c != u'-' && c != u'_' && c != u' ')
            s += c.toLower();
    }
    static const std::array<std::pair<const char16_t *, const char16_t *>, 4> aliases = {{
        {u"ibm852", u"cp852"},
        {u"dos862", u"cp862"},
        {u"ibm862", u"cp862"},
        {u"dos720", u"cp720"},
    }};
    for (const auto &[from, to] : aliases) {
        if (s == QStringView(from))
            return QString::fromUtf16(to);
    }
    return s;
}

class Iconv
{
public:
    Iconv(const char *to, const char *from) : m_cd(iconv_open(to, from)) {}
    ~Iconv()
    {
        if (ok())
            iconv_close(m_cd);
    }
    Iconv(const Iconv &) = delete;
    Iconv &operator=(const Iconv &) = delete;
    // (iconv_t)-1 is iconv_open's documented failure value.
    bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); } // NOLINT(performance-no-int-to-ptr)
    // One call of iconv as it is.
    std::size_t step(char **in, std::size_t *inLeft, char **out, std::size_t *outLeft)
    {
        return iconv(m_cd, in, inLeft, out, outLeft);
    }
    // Converts all of in; false on a sequence it cannot convert.
    bool convert(const char *in, std::size_t inLength, QByteArray &out, int *err = nullptr)
    {
        char *inPtr = const_cast<char *>(in);
        std::size_t inLeft = inLength;
        while (true) {
            char buffer[256];
            char *outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t r = iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft);
            const int e = errno;
            out.append(buffer, qsizetype(sizeof buffer - outLeft));
            if (r != std::size_t(-1) && inLeft == 0) {
                // Shift states end with the text.
                outPtr = buffer;
                outLeft = sizeof buffer;
                iconv(m_cd, nullptr, nullptr, &outPtr, &outLeft);
                out.append(buffer, qsizetype(sizeof buffer - outLeft));
                return true;
            }
            if (r == std::size_t(-1) && e != E2BIG) {
                if (err)
                    *err = e;
                iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
                return false;
            }
        }
    }

private:
    iconv_t m_cd;
};

DecodeResult invalidAt(DecodeResult result, qsizetype offset)
{
    result.status = DecodeStatus::Invalid;
    result.invalidOffset = offset;
    return result;
}

// A character the end of the bytes cuts off: where the text ends when the
// bytes are only the beginning, else invalid.
DecodeResult cutOffAt(DecodeResult result, qsizetype offset, bool truncated)
{
    if (!truncated)
        return invalidAt(std::move(result), offset);
    result.text.finish(offset);
    return result;
}

// The characters of bytes 0x80 to 0xFF of a charset of one byte a
// character; 0 for a byte that is not valid in it.
using HighBytes = std::array<char32_t, 128>;

DecodeResult decodeHighBytes(QByteArrayView bytes, const HighBytes &high)
{
    DecodeResult result;
    result.text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const char32_t c = b < 0x80 ? char32_t(b) : high[b - 0x80];
        if (c == 0 && b >= 0x80)
            return invalidAt(std::move(result), i);
        result.text.append(c, i);
    }
    return result;
}

// The table of a charset iconv converts one byte at a time, or nullopt when
// some byte needs another after it.
std::optional<HighBytes> highBytesOf(Iconv &cd, bool c1Fallback)
{
    HighBytes high{};
    for (int b = 0x80; b <= 0xFF; ++b) {
        const char byte = char(b);
        QByteArray out;
        int err = 0;
        if (cd.convert(&byte, 1, out, &err)) {
            const QString text = QString::fromUtf8(out);
            const QList<uint> ucs4 = text.toUcs4();
            if (ucs4.size() != 1)
                return std::nullopt;
            high[std::size_t(b - 0x80)] = char32_t(ucs4.front());
        } else if (err == EINVAL) {
            return std::nullopt;
        } else if (c1Fallback && b < 0xA0) {
            high[std::size_t(b - 0x80)] = char32_t(b);
        }
    }
    return high;
}

DecodeResult decodeIconv(QByteArrayView bytes, const Converter &converter, bool truncated)
{
    DecodeResult result;
    if (converter.decodeName.isEmpty()) {
        result.status = DecodeStatus::UnknownCharset;
        return result;
    }
    Iconv cd("UTF-8", converter.decodeName.constData());
    if (!cd.ok()) {
        result.status = DecodeStatus::UnknownCharset;
        return result;
    }
    // Only charsets that keep ASCII as it is get here (the others have
    // decoders of their own), so runs of ASCII go through in one go.
    if (const std::optional<HighBytes> high = highBytesOf(cd, converter.c1Fallback)) {
        result = decodeHighBytes(bytes, *high);
        if (result.status == DecodeStatus::Ok)
            result.text.finish(bytes.size());
        return result;
    }
    DecodedText &text = result.text;
    text.reserve(bytes.size());
    // One character at a time, so that each knows its source: with room
    // for one UTF-32 character iconv stops after one, and how far it read
    // says where the character ended.
    Iconv wide("UTF-32LE", converter.decodeName.constData());
    qsizetype i = 0;
    while (i < bytes.size()) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            text.append(char32_t(bytes[i]), i);
            ++i;
            continue;
        }
        if (wide.ok()) {
            const char *from = bytes.data() + i;
            char *in = const_cast<char *>(from);
            // No character takes more than four bytes; offering iconv more
            // makes it convert (and throw away) more than the one asked for.
            std::size_t inLeft = std::size_t(std::min<qsizetype>(bytes.size() - i, 4));
            unsigned char unit[4];
            char *out = reinterpret_cast<char *>(unit);
            std::size_t outLeft = sizeof unit;
            const std::size_t r = wide.step(&in, &inLeft, &out, &outLeft);
            const int err = errno;
            if (outLeft == 0) {
                text.append(char32_t(unit[0] | (unit[1] << 8) | (unit[2] << 16) | (unit[3] << 24)), i);
                i += in - from;
                continue;
            }
            if (r == std::size_t(-1) && err == EINVAL)
                return cutOffAt(std::move(result), i, truncated);
            if (r == std::size_t(-1) && err == EILSEQ)
                return invalidAt(std::move(result), i);
            // Else one sequence reads as more than one character.
        }
        qsizetype length = 1;
        QByteArray out;
        while (true) {
            int err = 0;
            out.clear();
            if (cd.convert(bytes.data() + i, std::size_t(length), out, &err))
                break;
            if (err == EINVAL && length < 4 && i + length < bytes.size()) {
                ++length;
                continue;
            }
            if (err == EINVAL && truncated && i + length == bytes.size()) {
                text.finish(i);
                return result;
            }
            return invalidAt(std::move(result), i);
        }
        text.append(out, i);
        i += length;
    }
    text.finish(bytes.size());
    return result;
}

DecodeResult decodeUtf16(QByteArrayView bytes, bool littleEndian, bool truncated)
{
    DecodeResult result;
    result.text.reserve(bytes.size() / 2);
    const auto unitAt = [&](qsizetype i) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return littleEndian ? char32_t(a | (b << 8)) : char32_t((a << 8) | b);
    };
    qsizetype i = 0;
    while (i < bytes.size()) {
        if (i + 2 > bytes.size())
            return cutOffAt(std::move(result), i, truncated);
        char32_t c = unitAt(i);
        qsizetype length = 2;
        if (c >= 0xDC00 && c <= 0xDFFF)
            return invalidAt(std::move(result), i);
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 4 > bytes.size())
                return cutOffAt(std::move(result), i, truncated);
            const char32_t low = unitAt(i + 2);
            if (low < 0xDC00 || low > 0xDFFF)
                return invalidAt(std::move(result), i);
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            length = 4;
        }
        result.text.append(c, i);
        i += length;
    }
    result.text.finish(bytes.size());
    return result;
}

// ISO-2022-JP: escapes switch between ASCII, JIS-Roman, half-width katakana
// and JIS X 0208 in pairs of bytes, which read as in EUC-JP with the high bits set.
DecodeResult decodeIso2022Jp(QByteArrayView bytes, bool truncated)
{
    enum class Mode
    {
        Ascii,
        Roman,
        Katakana,
        Jis,
    };
    DecodeResult result;
    Iconv eucJp("UTF-8", "EUC-JP");
    Mode mode = Mode::Ascii;
    qsizetype i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b == 0x1B) {
            if (i + 3 > bytes.size())
                return cutOffAt(std::move(result), i, truncated);
            const QByteArrayView escape = bytes.sliced(i + 1, 2);
            if (escape == "(B")
                mode = Mode::Ascii;
            else if (escape == "(J")
                mode = Mode::Roman;
            else if (escape == "(I")
                mode = Mode::Katakana;
            else if (escape == "$@" || escape == "$B")
                mode = Mode::Jis;
            else
                return invalidAt(std::move(result), i);
            i += 3;
            continue;
        }
        if (b >= 0x80 || b == 0x0E || b == 0x0F)
            return invalidAt(std::move(result), i);
        switch (mode) {
        case Mode::Ascii:
            result.text.append(b, i);
            ++i;
            continue;
        case Mode::Roman:
            result.text.append(b == 0x5C ? U'\u00A5' : b == 0x7E ? U'\u203E' : char32_t(b), i);
            ++i;
            continue;
        case Mode::Katakana:
            if (b < 0x21 || b > 0x5F)
                return invalidAt(std::move(result), i);
            result.text.append(0xFF61 + (b - 0x21), i);
            ++i;
            continue;
        case Mode::Jis:
            break;
        }
        if (i + 2 > bytes.size())
            return cutOffAt(std::move(result), i, truncated);
        const auto trail = static_cast<unsigned char>(bytes[i + 1]);
        const char pair[2] = {char(b | 0x80), char(trail | 0x80)};
        QByteArray utf8;
        if (b < 0x21 || b > 0x7E || trail < 0x21 || trail > 0x7E || !eucJp.ok() ||
            !eucJp.convert(pair, 2, utf8))
            return invalidAt(std::move(result), i);
        result.text.append(utf8, i);
        i += 2;
    }
    result.text.finish(bytes.size());
    return result;
}

DecodeResult decodeUtf8Bytes(QByteArrayView bytes, bool truncated)
{
    DecodeResult result;
    const Utf8Scan scan = scanUtf8(bytes);
    if (scan.valid < bytes.size() && (scan.invalid || !truncated))
        return invalidAt(std::move(result), scan.valid);
    result.text.reserve(scan.valid);
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    for (qsizetype i = 0; i < scan.valid;) {
        char32_t c = 0;
        const int length = decodeUtf8(p + i, scan.valid - i, c);
        result.text.append(bytes.sliced(i, length), i);
        i += length;
    }
    result.text.finish(scan.valid);
    return result;
}

HighBytes dos720Bytes()
{
    HighBytes high{};
    std::copy(kDos720.begin(), kDos720.end(), high.begin());
    return high;
}

HighBytes userDefinedBytes()
{
    HighBytes high{};
    for (std::size_t b = 0; b < high.size(); ++b)
        high[b] = char32_t(0xF780 + b);
    return high;
}

} // namespace

void DecodedText::reserve(qsizetype sourceBytes)
{
    utf8.reserve(sourceBytes + sourceBytes / 4);
    m_spans.reserve(std::size_t(sourceBytes));
    m_checkpoints.reserve(std::size_t(sourceBytes / kCheckpointEvery) + 1);
}

void DecodedText::startCharacter(qsizetype source)
{
    // The span of the character before, now that this one's start is known.
    if (m_lastSource >= 0) {
        const qsizetype span = source - m_lastSource;
        if (span >= 255) {
            m_longSpans.emplace_back(qsizetype(m_spans.size()), span);
            m_spans.push_back(255);
        } else {
            m_spans.push_back(std::uint8_t(span));
        }
    }
    const std::size_t index = m_lastSource >= 0 ? m_spans.size() : 0;
    if (index % kCheckpointEvery == 0)
        m_checkpoints.push_back({utf8.size(), source});
    m_lastSource = source;
}

void DecodedText::append(char32_t c, qsizetype source)
{
    startCharacter(source);
    char bytes[4];
    int n;
    if (c < 0x80) {
        bytes[0] = char(c);
        n = 1;
    } else if (c < 0x800) {
        bytes[0] = char(0xC0 | (c >> 6));
        bytes[1] = char(0x80 | (c & 0x3F));
        n = 2;
    } else if (c < 0x10000) {
        bytes[0] = char(0xE0 | (c >> 12));
        bytes[1] = char(0x80 | ((c >> 6) & 0x3F));
        bytes[2] = char(0x80 | (c & 0x3F));
        n = 3;
    } else {
        bytes[0] = char(0xF0 | (c >> 18));
        bytes[1] = char(0x80 | ((c >> 12) & 0x3F));
        bytes[2] = char(0x80 | ((c >> 6) & 0x3F));
        bytes[3] = char(0x80 | (c & 0x3F));
        n = 4;
    }
    utf8.append(bytes, n);
}

void DecodedText::append(QByteArrayView utf8Character, qsizetype source)
{
    startCharacter(source);
    utf8.append(utf8Character);
}

void DecodedText::finish(qsizetype sourceEnd)
{
    m_sourceEnd = sourceEnd;
}

qsizetype DecodedText::sourceOffset(qsizetype utf8Offset) const
{
    if (utf8Offset >= utf8.size() || m_checkpoints.empty())
        return m_sourceEnd;
    const auto after =
        std::upper_bound(m_checkpoints.begin(), m_checkpoints.end(), utf8Offset,
                         [](qsizetype offset, const Checkpoint &c) { return offset < c.utf8; });
    const auto checkpoint = after - 1;
    std::size_t character = std::size_t(checkpoint - m_checkpoints.begin()) * kCheckpointEvery;
    qsizetype at = checkpoint->utf8;
    qsizetype source = checkpoint->source;
    const auto *p = reinterpret_cast<const unsigned char *>(utf8.constData());
    while (true) {
        const unsigned char lead = p[at];
        const qsizetype length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if (at + length > utf8Offset || character >= m_spans.size())
            return source;
        qsizetype span = m_spans[character];
        if (span == 255) {
            const auto found = std::lower_bound(
                m_longSpans.begin(), m_longSpans.end(), qsizetype(character),
                [](const std::pair<qsizetype, qsizetype> &l, qsizetype c) { return l.first < c; });
            span = found->second;
        }
        source += span;
        at += length;
        ++character;
    }
}

int charsetItemOfName(QStringView name)
{
    const QString trimmed = name.trimmed().toString();
    for (std::size_t i = 0; i < tags::CharsetCodes.size(); ++i) {
        if (trimmed.compare(toQString(tags::CharsetCodes[i]), Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

QString declaredEncoding(QStringView label)
{
    const std::optional<QLatin1StringView> encoding = encodingOfLabel(label);
    if (!encoding)
        return {};
    if (*encoding == "UTF-16LE"_L1 || *encoding == "UTF-16BE"_L1)
        return u"UTF-8"_s;
    if (*encoding == "x-user-defined"_L1)
        return u"windows-1252"_s;
    return QString(*encoding);
}

bool sameCharset(QStringView a, QStringView b)
{
    const auto sameBytes = [](const QString &encoding) {
        return encoding == u"ISO-8859-8-I"_s ? u"ISO-8859-8"_s : encoding;
    };
    const QString first = declaredEncoding(a);
    const QString second = declaredEncoding(b);
    if (!first.isEmpty() && !second.isEmpty())
        return sameBytes(first) == sameBytes(second);
    return canonical(a) == canonical(b);
}

bool isUtf8Name(QStringView name)
{
    return declaredEncoding(name) == u"UTF-8"_s;
}

std::optional<bool> keepsAscii(QStringView charset)
{
    const Converter converter = resolve(charset);
    switch (converter.codec) {
    case Codec::Utf8:
    case Codec::Dos720:
    case Codec::UserDefined:
        return true;
    case Codec::Utf16Le:
    case Codec::Utf16Be:
    case Codec::Iso2022Jp:
    case Codec::Replacement:
        return false;
    case Codec::Iconv:
        break;
    }
    if (converter.decodeName.isEmpty())
        return std::nullopt;
    Iconv in("UTF-8", converter.decodeName.constData());
    Iconv out(converter.encodeName.constData(), "UTF-8");
    if (!in.ok() || !out.ok())
        return std::nullopt;
    for (char c = 0x01; c <= 0x7E; ++c) {
        QByteArray there;
        QByteArray back;
        if (!in.convert(&c, 1, there) || there != QByteArrayView(&c, 1) || !out.convert(&c, 1, back) ||
            back != QByteArrayView(&c, 1))
            return false;
    }
    return true;
}

bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

ByteOrderMark byteOrderMarkOf(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return {"UTF-8"_L1, 3};
    if (bytes.startsWith("\xFE\xFF"))
        return {"UTF-16BE"_L1, 2};
    if (bytes.startsWith("\xFF\xFE"))
        return {"UTF-16LE"_L1, 2};
    return {};
}

namespace {

// The attribute reading of the prescan: names and values in lower case.
class PrescanAttributes
{
public:
    enum class Result
    {
        Found,
        None,   // the tag ends
        CutOff, // the bytes end
    };

    PrescanAttributes(QByteArrayView bytes, qsizetype &pos) : m_b(bytes), m_pos(pos) {}

    Result next(QByteArray &name, QByteArray &value)
    {
        name.clear();
        value.clear();
        while (m_pos < m_b.size() && (isAsciiBlank(m_b[m_pos]) || m_b[m_pos] == '/'))
            ++m_pos;
        if (m_pos == m_b.size())
            return Result::CutOff;
        if (m_b[m_pos] == '>')
            return Result::None;
        while (true) {
            if (m_pos == m_b.size())
                return Result::CutOff;
            const char c = m_b[m_pos];
            if (c == '=' && !name.isEmpty()) {
                ++m_pos;
                return readValue(value);
            }
            if (isAsciiBlank(c))
                break;
            if (c == '/' || c == '>')
                return Result::Found;
            name += asciiLower(c);
            ++m_pos;
        }
        while (m_pos < m_b.size() && isAsciiBlank(m_b[m_pos]))
            ++m_pos;
        if (m_pos == m_b.size())
            return Result::CutOff;
        if (m_b[m_pos] != '=')
            return Result::Found;
        ++m_pos;
        return readValue(value);
    }

private:
    Result readValue(QByteArray &value)
    {
        while (m_pos < m_b.size() && isAsciiBlank(m_b[m_pos]))
            ++m_pos;
        if (m_pos == m_b.size())
            return Result::CutOff;
        const char first = m_b[m_pos];
        if (first == '"' || first == '\'') {
            ++m_pos;
            while (true) {
                if (m_pos == m_b.size())
                    return Result::CutOff;
                if (m_b[m_pos] == first) {
                    ++m_pos;
                    return Result::Found;
                }
                value += asciiLower(m_b[m_pos++]);
            }
        }
        if (first == '>')
            return Result::Found;
        while (true) {
            if (m_pos == m_b.size())
                return Result::CutOff;
            const char c = m_b[m_pos];
            if (isAsciiBlank(c) || c == '>')
                return Result::Found;
            value += asciiLower(c);
            ++m_pos;
        }
    }

    QByteArrayView m_b;
    qsizetype &m_pos;
};

} // namespace

Prescan prescanCharset(QByteArrayView bytes, bool complete)
{
    const QByteArrayView b = bytes.first(std::min(bytes.size(), kPrescanBytes));
    complete = complete || bytes.size() >= kPrescanBytes;
    // What the prescan answers when it finds no declaration.
    const auto nothing = [complete] { return Prescan{{}, !complete}; };
    const auto startsWithNoCase = [b](qsizetype at, QByteArrayView lower) {
        if (b.size() - at < lower.size())
            return false;
        for (qsizetype k = 0; k < lower.size(); ++k) {
            if (asciiLower(b[at + k]) != lower[k])
                return false;
        }
        return true;
    };
    qsizetype pos = 0;
    QByteArray name;
    QByteArray value;
    while (pos < b.size()) {
        if (b.sliced(pos).startsWith("<!--")) {
            // The "-->" may share its dashes with the "<!--".
            const qsizetype end = b.indexOf("-->", pos + 2);
            if (end < 0)
                return nothing();
            pos = end + 3;
            continue;
        }
        if (startsWithNoCase(pos, "<meta") && pos + 5 < b.size() &&
            (isAsciiBlank(b[pos + 5]) || b[pos + 5] == '/')) {
            pos += 6;
            PrescanAttributes attributes(b, pos);
            std::vector<QByteArray> seen;
            bool gotPragma = false;
            enum class Pragma
            {
                Unset,
                Needed,
                NotNeeded
            } needPragma = Pragma::Unset;
            QString charset; // a label the standard knows, as found
            bool charsetFailed = false;
            while (true) {
                const PrescanAttributes::Result r = attributes.next(name, value);
                if (r == PrescanAttributes::Result::CutOff)
                    return nothing();
                if (r == PrescanAttributes::Result::None)
                    break;
                if (std::find(seen.begin(), seen.end(), name) != seen.end())
                    continue;
                seen.push_back(name);
                if (name == "http-equiv") {
                    gotPragma = gotPragma || value == "content-type";
                } else if (name == "content") {
                    if (charset.isEmpty() && !charsetFailed) {
                        if (const std::optional<QString> label =
                                charsetOfContentType(QString::fromLatin1(value));
                            label && encodingOfLabel(*label)) {
                            charset = *label;
                            needPragma = Pragma::Needed;
                        }
                    }
                } else if (name == "charset") {
                    charset = QString::fromLatin1(value);
                    charsetFailed = !encodingOfLabel(charset);
                    if (charsetFailed)
                        charset.clear();
                    needPragma = Pragma::NotNeeded;
                }
            }
            if (needPragma != Pragma::Unset && (needPragma != Pragma::Needed || gotPragma) &&
                !charset.isEmpty())
                return {charset, false};
            ++pos;
            continue;
        }
        if (b[pos] == '<' && pos + 1 < b.size() &&
            (isAsciiLetter(b[pos + 1]) ||
             (b[pos + 1] == '/' && pos + 2 < b.size() && isAsciiLetter(b[pos + 2])))) {
            while (pos < b.size() && !isAsciiBlank(b[pos]) && b[pos] != '>')
                ++pos;
            PrescanAttributes attributes(b, pos);
            PrescanAttributes::Result r;
            while ((r = attributes.next(name, value)) == PrescanAttributes::Result::Found) {
            }
            if (r == PrescanAttributes::Result::CutOff)
                return nothing();
            ++pos;
            continue;
        }
        if (b.sliced(pos).startsWith("<!") || b.sliced(pos).startsWith("</") ||
            b.sliced(pos).startsWith("<?")) {
            const qsizetype end = b.indexOf('>', pos + 1);
            if (end < 0)
                return nothing();
            pos = end + 1;
            continue;
        }
        ++pos;
    }
    return nothing();
}

std::optional<QString> charsetOfContentType(const QString &content)
{
    qsizetype i = 0;
    while (true) {
        i = content.indexOf(u"charset"_s, i, Qt::CaseInsensitive);
        if (i < 0)
            return std::nullopt;
        i += 7;
        qsizetype k = i;
        while (k < content.size() &&
               isAsciiBlank(char(content[k].unicode() < 0x80 ? content[k].unicode() : 0)))
            ++k;
        if (k < content.size() && content[k] == u'=') {
            ++k;
            while (k < content.size() &&
                   isAsciiBlank(char(content[k].unicode() < 0x80 ? content[k].unicode() : 0)))
                ++k;
            if (k < content.size() && (content[k] == u'"' || content[k] == u'\'')) {
                const QChar quote = content[k];
                const qsizetype close = content.indexOf(quote, k + 1);
                if (close < 0)
                    return std::nullopt;
                return content.mid(k + 1, close - k - 1);
            }
            qsizetype e = k;
            while (e < content.size() &&
                   !isAsciiBlank(char(content[e].unicode() < 0x80 ? content[e].unicode() : 0)) &&
                   content[e] != u';')
                ++e;
            if (e == k)
                return std::nullopt;
            return content.mid(k, e - k);
        }
        i = k;
    }
}

DecodeResult decodeCharset(QByteArrayView bytes, QStringView charset, bool truncated)
{
    const Converter converter = resolve(charset);
    DecodeResult result;
    switch (converter.codec) {
    case Codec::Utf8:
        return decodeUtf8Bytes(bytes, truncated);
    case Codec::Utf16Le:
    case Codec::Utf16Be:
        return decodeUtf16(bytes, converter.codec == Codec::Utf16Le, truncated);
    case Codec::Iso2022Jp:
        return decodeIso2022Jp(bytes, truncated);
    case Codec::Dos720:
        result = decodeHighBytes(bytes, dos720Bytes());
        break;
    case Codec::UserDefined:
        result = decodeHighBytes(bytes, userDefinedBytes());
        break;
    case Codec::Replacement:
        result.status = DecodeStatus::UnknownCharset;
        return result;
    case Codec::Iconv:
        return decodeIconv(bytes, converter, truncated);
    }
    if (result.status == DecodeStatus::Ok)
        result.text.finish(bytes.size());
    return result;
}

std::optional<QByteArray> encodeCharset(QStringView text, QStringView charset)
{
    const Converter converter = resolve(charset);
    switch (converter.codec) {
    case Codec::Utf8:
        return text.toUtf8();
    case Codec::Dos720: {
        QByteArray out;
        for (QChar c : text) {
            if (c.unicode() < 0x80) {
                out += char(c.unicode());
                continue;
            }
            const auto *found = std::find(kDos720.begin(), kDos720.end(), c.unicode());
            if (found == kDos720.end())
                return std::nullopt;
            out += char(0x80 + (found - kDos720.begin()));
        }
        return out;
    }
    case Codec::Utf16Le:
    case Codec::Utf16Be:
    case Codec::Iso2022Jp:
    case Codec::UserDefined:
    case Codec::Replacement:
        // Never written into: they do not keep ASCII, or browsers never read them.
        return std::nullopt;
    case Codec::Iconv:
        break;
    }
    if (converter.encodeName.isEmpty())
        return std::nullopt;
    Iconv cd(converter.encodeName.constData(), "UTF-8");
    if (!cd.ok())
        return std::nullopt;
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    if (!cd.convert(utf8.constData(), std::size_t(utf8.size()), out))
        return std::nullopt;
    return out;
}

} // namespace brindle::pagehead
