#include "pagehead/pagecharset.h"

#include "base/textutil.h"
#include "tags/tagcatalogue.h"

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
    Dos720,
    Hz, // hz-gb-2312: GB2312 in 7 bits between "~{" and "~}"
};

struct CharsetName
{
    Codec codec = Codec::Iconv;
    QByteArray iconvName;
};

// Names that glibc spells differently from the charset table.
CharsetName resolve(QStringView charset)
{
    const QString lower = charset.trimmed().toString().toLower();
    if (lower == u"dos-720"_s)
        return {Codec::Dos720, {}};
    if (lower == u"hz-gb-2312"_s)
        return {Codec::Hz, {}};
    if (lower == u"dos-862"_s)
        return {Codec::Iconv, "CP862"};
    if (lower == u"iso-8859-8-i"_s)
        return {Codec::Iconv, "ISO-8859-8"};
    // Only plain names reach iconv: its "//TRANSLIT" suffixes and the like
    // must not be switched on by a page.
    QByteArray name;
    for (QChar c : lower) {
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != u'-' && c != u'_' && c != u'.' && c != u':')
            return {Codec::Iconv, {}};
        name += char(c.unicode());
    }
    if (name.size() > 40)
        name.clear();
    return {Codec::Iconv, name};
}

// Spelling-free form of a name for comparisons.
QString canonical(QStringView name)
{
    QString s;
    for (QChar c : name.trimmed()) {
        if (c != u'-' && c != u'_' && c != u' ')
            s += c.toLower();
    }
    static const std::array<std::pair<const char16_t *, const char16_t *>, 17> aliases = {{
        {u"iso88598i", u"iso88598"},
        {u"latin1", u"iso88591"},
        {u"l1", u"iso88591"},
        {u"sjis", u"shiftjis"},
        {u"xsjis", u"shiftjis"},
        {u"ibm852", u"cp852"},
        {u"ibm866", u"cp866"},
        {u"dos862", u"cp862"},
        {u"ibm862", u"cp862"},
        {u"xeucjp", u"eucjp"},
        {u"asmo708", u"iso88596"},
        {u"koi8u", u"koi8u"},
        {u"cp874", u"windows874"},
        {u"gb2312", u"gb2312"},
        {u"euccn", u"gb2312"},
        {u"ksc5601", u"euckr"},
        {u"utf8", u"utf8"},
    }};
    for (const auto &[from, to] : aliases) {
        if (s == QStringView(from))
            return QString::fromUtf16(to);
    }
    if (s.size() == 6 && s.startsWith(u"cp125"_s))
        return u"windows"_s + s.mid(2);
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
                return false;
            }
        }
    }

private:
    iconv_t m_cd;
};

void appendUtf8(DecodedText &text, char32_t c, std::uint32_t source)
{
    const QByteArray bytes = QString::fromUcs4(&c, 1).toUtf8();
    text.utf8 += bytes;
    text.sourceOffset.insert(text.sourceOffset.end(), std::size_t(bytes.size()), source);
}

DecodeResult decodeDos720(QByteArrayView bytes)
{
    DecodeResult result;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        appendUtf8(result.text, b < 0x80 ? char32_t(b) : char32_t(kDos720[b - 0x80]), std::uint32_t(i));
    }
    return result;
}

DecodeResult decodeHz(QByteArrayView bytes, bool truncated)
{
    DecodeResult result;
    Iconv gb("UTF-8", "GB2312");
    bool gbMode = false;
    const auto fail = [&result](qsizetype at) {
        result.status = DecodeStatus::Invalid;
        result.invalidOffset = at;
        return result;
    };
    qsizetype i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b >= 0x80)
            return fail(i);
        if (b == '~') {
            if (i + 1 == bytes.size())
                return truncated ? result : fail(i);
            const char next = bytes[i + 1];
            if (!gbMode && next == '~')
                appendUtf8(result.text, U'~', std::uint32_t(i));
            else if (next == '{' || next == '}')
                gbMode = next == '{';
            else if (next != '\n')
                return fail(i);
            i += 2;
            continue;
        }
        if (!gbMode || b == '\n' || b == '\r') {
            // A line break also ends a GB run.
            if (b == '\n')
                gbMode = false;
            appendUtf8(result.text, char32_t(b), std::uint32_t(i));
            ++i;
            continue;
        }
        if (i + 1 == bytes.size())
            return truncated ? result : fail(i);
        const char pair[2] = {char(b | 0x80), char(bytes[i + 1] | 0x80)};
        QByteArray utf8;
        if (!gb.ok() || !gb.convert(pair, 2, utf8))
            return fail(i);
        result.text.utf8 += utf8;
        result.text.sourceOffset.insert(result.text.sourceOffset.end(), std::size_t(utf8.size()),
                                        std::uint32_t(i));
        i += 2;
    }
    return result;
}

DecodeResult decodeIconv(QByteArrayView bytes, const QByteArray &name, bool truncated)
{
    DecodeResult result;
    if (name.isEmpty()) {
        result.status = DecodeStatus::UnknownCharset;
        return result;
    }
    Iconv cd("UTF-8", name.constData());
    if (!cd.ok()) {
        result.status = DecodeStatus::UnknownCharset;
        return result;
    }
    // A charset that keeps ASCII as it is lets runs of ASCII through in one go.
    bool asciiKept = true;
    for (char c = 0x01; c < 0x7F && asciiKept; ++c) {
        QByteArray out;
        asciiKept = cd.convert(&c, 1, out) && out.size() == 1 && out[0] == c;
    }
    DecodedText &text = result.text;
    text.utf8.reserve(bytes.size() + bytes.size() / 4);
    text.sourceOffset.reserve(std::size_t(bytes.size()) + 1);
    qsizetype i = 0;
    while (i < bytes.size()) {
        if (asciiKept && static_cast<unsigned char>(bytes[i]) < 0x80) {
            text.utf8 += bytes[i];
            text.sourceOffset.push_back(std::uint32_t(i));
            ++i;
            continue;
        }
        // One character at a time, so that each output byte knows its source.
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
                text.sourceOffset.push_back(std::uint32_t(i));
                return result;
            }
            result.status = DecodeStatus::Invalid;
            result.invalidOffset = i;
            return result;
        }
        text.utf8 += out;
        text.sourceOffset.insert(text.sourceOffset.end(), std::size_t(out.size()), std::uint32_t(i));
        i += length;
    }
    text.sourceOffset.push_back(std::uint32_t(bytes.size()));
    return result;
}

} // namespace

int charsetItemOfName(QStringView name)
{
    const QString trimmed = name.trimmed().toString();
    for (std::size_t i = 0; i < tags::CharsetCodes.size(); ++i) {
        if (trimmed.compare(toQString(tags::CharsetCodes[i]), Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

bool sameCharset(QStringView a, QStringView b)
{
    return canonical(a) == canonical(b);
}

bool isUtf8Name(QStringView name)
{
    return canonical(name) == u"utf8"_s;
}

bool isAscii(QByteArrayView bytes)
{
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

bool isValidUtf8(QByteArrayView bytes, bool truncated)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            if (b == 0xE0)
                low = 0xA0; // overlong
            else if (b == 0xED)
                high = 0x9F; // surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            if (b == 0xF0)
                low = 0x90;
            else if (b == 0xF4)
                high = 0x8F; // past U+10FFFF
        } else {
            return false;
        }
        for (int k = 1; k < length; ++k) {
            if (i + k == n)
                return truncated;
            const unsigned char c = p[i + k];
            if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF))
                return false;
        }
        i += length;
    }
    return true;
}

DecodeResult decodeCharset(QByteArrayView bytes, QStringView charset, bool truncated)
{
    const CharsetName name = resolve(charset);
    DecodeResult result;
    switch (name.codec) {
    case Codec::Dos720:
        result = decodeDos720(bytes);
        break;
    case Codec::Hz:
        result = decodeHz(bytes, truncated);
        break;
    case Codec::Iconv:
        return decodeIconv(bytes, name.iconvName, truncated);
    }
    if (result.status == DecodeStatus::Ok)
        result.text.sourceOffset.push_back(std::uint32_t(bytes.size()));
    return result;
}

std::optional<QByteArray> encodeCharset(QStringView text, QStringView charset)
{
    const CharsetName name = resolve(charset);
    if (name.codec == Codec::Dos720) {
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
    if (name.codec == Codec::Hz) {
        Iconv gb("GB2312", "UTF-8");
        QByteArray out;
        bool gbMode = false;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (c.unicode() < 0x80) {
                if (gbMode)
                    out += "~}";
                gbMode = false;
                out += c == u'~' ? QByteArray("~~") : QByteArray(1, char(c.unicode()));
                continue;
            }
            QByteArray pair;
            const QByteArray utf8 = text.mid(i, 1).toUtf8();
            if (!gb.ok() || !gb.convert(utf8.constData(), std::size_t(utf8.size()), pair) || pair.size() != 2)
                return std::nullopt;
            if (!gbMode)
                out += "~{";
            gbMode = true;
            out += char(pair[0] & 0x7F);
            out += char(pair[1] & 0x7F);
        }
        if (gbMode)
            out += "~}";
        return out;
    }
    if (name.iconvName.isEmpty())
        return std::nullopt;
    Iconv cd(name.iconvName.constData(), "UTF-8");
    if (!cd.ok())
        return std::nullopt;
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    if (!cd.convert(utf8.constData(), std::size_t(utf8.size()), out))
        return std::nullopt;
    return out;
}

} // namespace brindle::pagehead
