#include "render/rtfreader.h"

#include "base/parseint.h"
#include "base/textutil.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace brindle::render {

namespace {

constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Deeper nesting than this is counted, not stored, so that a stream of
// opening braces cannot exhaust memory.
constexpr qsizetype kMaxDepth = 1024;
constexpr qint64 kParameterLimit = 1'000'000'000;

enum class Destination : quint8
{
    Text,
    Skip,
    FontTable,
    ColorTable,
};

struct GroupState
{
    Destination destination = Destination::Text;
    int color = 0;
    int font = -1;
    int fontSize = kDefaultFontSizeHalfPoints;
    int unicodeSkip = 1;
};

// Destinations whose text is never shown.
constexpr std::array<std::string_view, 48> kSkippedDestinations = {
    "annotation", "atnauthor",    "atnid",
    "author",     "background",   "bkmkend",
    "bkmkstart",  "buptim",       "colorschememapping",
    "comment",    "creatim",      "datastore",
    "docvar",     "doccomm",      "falt",
    "fldinst",    "footer",       "footerf",
    "footerl",    "footerr",      "footnote",
    "generator",  "header",       "headerf",
    "headerl",    "headerr",      "info",
    "keywords",   "latentstyles", "listoverridetable",
    "listtable",  "object",       "operator",
    "panose",     "pgdsctbl",     "pict",
    "printim",    "private",      "revtbl",
    "revtim",     "rsidtbl",      "rxe",
    "stylesheet", "subject",      "tc",
    "themedata",  "title",        "xe",
};

bool isSkippedDestination(std::string_view word)
{
    return std::find(kSkippedDestinations.begin(), kSkippedDestinations.end(), word) !=
           kSkippedDestinations.end();
}

constexpr bool isLetter(uchar c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A control word's numeric parameter, held within kParameterLimit either way.
int parameterOf(QByteArrayView digits)
{
    const ParsedInt32 parsed = parseInt32(std::string_view(digits.data(), std::size_t(digits.size())));
    const bool negative = digits.front() == '-';
    if (parsed.status != ParseStatus::Ok)
        return int(negative ? -kParameterLimit : kParameterLimit);
    return int(std::clamp<qint64>(parsed.value, -kParameterLimit, kParameterLimit));
}

int hexValue(uchar c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

class Reader
{
public:
    explicit Reader(QByteArrayView rtf) : m_data(rtf) {}
    RtfContent read();

private:
    uchar byteAt(qsizetype i) const { return static_cast<uchar>(m_data[i]); }
    GroupState &state() { return m_stack.back(); }

    void openGroup();
    void closeGroup();
    void controlWord(std::string_view word, bool hasParameter, int parameter);
    void controlSymbol(uchar symbol);
    void textByte(uchar byte);
    // Skips one fallback unit after \uN; true when the element was skipped.
    bool skipFallback();

    void flushBytes();
    void appendVisible(QStringView text);
    void appendUnit(char16_t unit);
    void appendRaw(char16_t unit);
    void noteFormatBeforeText();
    void commitFontName();

    QByteArrayView m_data;
    qsizetype m_pos = 0;
    std::vector<GroupState> m_stack{GroupState{}};
    qsizetype m_overflowDepth = 0;
    int m_fallbackLeft = 0;
    int m_codePage = 1252;
    int m_defaultFont = 0;

    // Bytes of the current text run, decoded in the code page all at once so
    // that a UTF-8 sequence written as several \'hh escapes reads as one
    // character. Code pages other than UTF-8 (65001) and Latin-1 (28591) are
    // read as 1252.
    QByteArray m_pendingBytes;
    char16_t m_pendingHighSurrogate = 0;

    QHash<int, QString> m_fonts;
    int m_fontNumber = 0;
    QByteArray m_fontNameBytes;

    QList<quint32> m_colors;
    int m_red = 0, m_green = 0, m_blue = 0;

    bool m_textStarted = false;
    bool m_formatNoted = false;
    int m_docFont = -1;
    int m_docFontSize = kDefaultFontSizeHalfPoints;

    RtfContent m_content;
};

RtfContent Reader::read()
{
    const qsizetype size = m_data.size();
    while (m_pos < size) {
        const uchar c = byteAt(m_pos);
        if (c == '{') {
            ++m_pos;
            openGroup();
        } else if (c == '}') {
            // Writers put a space between the last text and the brace that
            // closes the document; it is no part of the text.
            if (m_stack.size() == 2 && m_overflowDepth == 0 && m_pos > 0 && byteAt(m_pos - 1) == ' ' &&
                m_pendingBytes.endsWith(' '))
                m_pendingBytes.chop(1);
            ++m_pos;
            closeGroup();
        } else if (c == '\\') {
            ++m_pos;
            if (m_pos >= size)
                break;
            const uchar next = byteAt(m_pos);
            if (!isLetter(next)) {
                ++m_pos;
                controlSymbol(next);
                continue;
            }
            const qsizetype wordStart = m_pos;
            while (m_pos < size && isLetter(byteAt(m_pos)))
                ++m_pos;
            const std::string_view word(m_data.data() + wordStart, std::size_t(m_pos - wordStart));
            const qsizetype parameterStart = m_pos;
            if (m_pos + 1 < size && byteAt(m_pos) == '-' && isAsciiDigit(byteAt(m_pos + 1)))
                ++m_pos;
            while (m_pos < size && isAsciiDigit(byteAt(m_pos)))
                ++m_pos;
            const bool hasParameter = m_pos > parameterStart;
            const int parameter =
                hasParameter ? parameterOf(m_data.sliced(parameterStart, m_pos - parameterStart)) : 0;
            if (m_pos < size && byteAt(m_pos) == ' ')
                ++m_pos;
            controlWord(word, hasParameter, parameter);
        } else {
            ++m_pos;
            textByte(c);
        }
    }
    flushBytes();
    if (m_pendingHighSurrogate) {
        m_pendingHighSurrogate = 0;
        appendRaw(QChar::ReplacementCharacter);
    }
    if (!m_textStarted && !m_formatNoted)
        noteFormatBeforeText();
    const int font = m_docFont >= 0 ? m_docFont : m_defaultFont;
    m_content.fontName = m_fonts.value(font);
    m_content.fontSizeHalfPoints = m_docFontSize;
    return m_content;
}

void Reader::openGroup()
{
    flushBytes();
    m_fallbackLeft = 0;
    if (m_overflowDepth > 0 || qsizetype(m_stack.size()) >= kMaxDepth) {
        ++m_overflowDepth;
        return;
    }
    m_stack.push_back(m_stack.back());
}

void Reader::closeGroup()
{
    flushBytes();
    m_fallbackLeft = 0;
    if (m_overflowDepth > 0) {
        --m_overflowDepth;
        return;
    }
    if (state().destination == Destination::FontTable)
        commitFontName();
    // A document without text still has the font and size of its body.
    // A surplus closing brace at the outermost level is ignored.
    if (m_stack.size() > 1) {
        if (!m_textStarted && state().destination == Destination::Text)
            noteFormatBeforeText();
        m_stack.pop_back();
    }
}

bool Reader::skipFallback()
{
    if (m_fallbackLeft <= 0)
        return false;
    --m_fallbackLeft;
    return true;
}

void Reader::controlSymbol(uchar symbol)
{
    if (symbol == '\'') {
        // Two hex digits make a byte; fewer are dropped with what follows.
        int value = 0;
        int digits = 0;
        while (digits < 2 && m_pos < m_data.size() && hexValue(byteAt(m_pos)) >= 0) {
            value = value * 16 + hexValue(byteAt(m_pos++));
            ++digits;
        }
        if (digits < 2 || skipFallback())
            return;
        textByte(uchar(value));
        return;
    }
    if (symbol == '\\' || symbol == '{' || symbol == '}') {
        if (!skipFallback())
            textByte(symbol);
        return;
    }
    if (symbol == '*') {
        flushBytes();
        state().destination = Destination::Skip;
        return;
    }
    if (symbol == '\r' || symbol == '\n') {
        controlWord("par", false, 0);
        return;
    }
    flushBytes();
    if (skipFallback() || state().destination != Destination::Text)
        return;
    if (symbol == '~')
        appendVisible(u"\u00A0");
    else if (symbol == '_')
        appendVisible(u"\u2011");
}

void Reader::controlWord(std::string_view word, bool hasParameter, int parameter)
{
    flushBytes();
    GroupState &s = state();
    if (word == "bin") {
        // Binary data follows; it is never text.
        const qsizetype count = hasParameter && parameter > 0 ? parameter : 0;
        m_pos += std::min(count, m_data.size() - m_pos);
        return;
    }
    if (s.destination == Destination::Skip)
        return;
    if (word == "fonttbl") {
        s.destination = Destination::FontTable;
        return;
    }
    if (word == "colortbl") {
        s.destination = Destination::ColorTable;
        m_red = m_green = m_blue = 0;
        return;
    }
    if (isSkippedDestination(word)) {
        s.destination = Destination::Skip;
        return;
    }
    if (s.destination == Destination::FontTable) {
        if (word == "f")
            m_fontNumber = parameter;
        return;
    }
    if (s.destination == Destination::ColorTable) {
        const int component = std::clamp(parameter, 0, 255);
        if (word == "red")
            m_red = component;
        else if (word == "green")
            m_green = component;
        else if (word == "blue")
            m_blue = component;
        return;
    }

    // Text destination.
    if (word == "u") {
        if (!hasParameter)
            return;
        const int unit = parameter < 0 ? parameter + 0x10000 : parameter;
        appendUnit(unit >= 0 && unit <= 0xFFFF ? char16_t(unit) : char16_t(QChar::ReplacementCharacter));
        m_fallbackLeft = s.unicodeSkip;
        return;
    }
    if (skipFallback())
        return;
    if (word == "par" || word == "line" || word == "row" || word == "sect" || word == "page") {
        appendVisible(u"\r\n");
    } else if (word == "tab" || word == "cell") {
        appendVisible(u"\t");
    } else if (word == "uc") {
        s.unicodeSkip = std::clamp(parameter, 0, 16);
    } else if (word == "cf") {
        s.color = parameter;
    } else if (word == "f") {
        s.font = parameter;
    } else if (word == "fs") {
        if (parameter > 0)
            s.fontSize = parameter;
    } else if (word == "plain") {
        s.color = 0;
        s.font = m_defaultFont;
        s.fontSize = kDefaultFontSizeHalfPoints;
    } else if (word == "deff") {
        m_defaultFont = parameter;
    } else if (word == "ansicpg") {
        m_codePage = parameter;
    } else if (word == "emdash") {
        appendVisible(u"\u2014");
    } else if (word == "endash") {
        appendVisible(u"\u2013");
    } else if (word == "emspace") {
        appendVisible(u"\u2003");
    } else if (word == "enspace") {
        appendVisible(u"\u2002");
    } else if (word == "bullet") {
        appendVisible(u"\u2022");
    } else if (word == "lquote") {
        appendVisible(u"\u2018");
    } else if (word == "rquote") {
        appendVisible(u"\u2019");
    } else if (word == "ldblquote") {
        appendVisible(u"\u201C");
    } else if (word == "rdblquote") {
        appendVisible(u"\u201D");
    }
}

void Reader::textByte(uchar byte)
{
    if (byte == '\r' || byte == '\n' || byte == 0)
        return;
    switch (state().destination) {
    case Destination::Skip:
        return;
    case Destination::ColorTable:
        if (byte == ';') {
            m_colors.append(quint32(m_red) << 16 | quint32(m_green) << 8 | quint32(m_blue));
            m_red = m_green = m_blue = 0;
        }
        return;
    case Destination::FontTable:
        if (byte == ';')
            commitFontName();
        else
            m_fontNameBytes += char(byte);
        return;
    case Destination::Text:
        if (!skipFallback())
            m_pendingBytes += char(byte);
        return;
    }
}

QString decodeCodePage(QByteArrayView bytes, int codePage)
{
    if (codePage == 65001)
        return QString::fromUtf8(bytes);
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char byte : bytes)
        *out++ = codePage == 28591 ? QChar(char16_t(uchar(byte))) : cp1252Char(uchar(byte));
    return text;
}

void Reader::flushBytes()
{
    if (m_pendingBytes.isEmpty())
        return;
    const QString text = decodeCodePage(m_pendingBytes, m_codePage);
    m_pendingBytes.clear();
    appendVisible(text);
}

void Reader::commitFontName()
{
    const QString name = decodeCodePage(m_fontNameBytes, m_codePage).trimmed();
    m_fontNameBytes.clear();
    if (!name.isEmpty() && !m_fonts.contains(m_fontNumber))
        m_fonts.insert(m_fontNumber, name);
}

void Reader::noteFormatBeforeText()
{
    const GroupState &s = state();
    m_docFont = s.font;
    m_docFontSize = s.fontSize;
    m_formatNoted = true;
}

void Reader::appendVisible(QStringView text)
{
    for (const QChar c : text)
        appendUnit(c.unicode());
}

void Reader::appendUnit(char16_t unit)
{
    if (state().destination != Destination::Text)
        return;
    if (m_pendingHighSurrogate) {
        const char16_t high = m_pendingHighSurrogate;
        m_pendingHighSurrogate = 0;
        if (QChar::isLowSurrogate(unit)) {
            appendRaw(high);
            appendRaw(unit);
            return;
        }
        appendRaw(QChar::ReplacementCharacter);
    }
    if (QChar::isHighSurrogate(unit)) {
        m_pendingHighSurrogate = unit;
        return;
    }
    appendRaw(QChar::isLowSurrogate(unit) ? char16_t(QChar::ReplacementCharacter) : unit);
}

void Reader::appendRaw(char16_t unit)
{
    if (!m_textStarted) {
        noteFormatBeforeText();
        m_textStarted = true;
    }
    const int index = state().color;
    const quint32 rgb = index >= 0 && index < m_colors.size() ? m_colors.at(index) : 0;
    const qsizetype at = m_content.text.size();
    m_content.text.append(QChar(unit));
    if (!m_content.runs.isEmpty()) {
        RtfRun &last = m_content.runs.last();
        if (last.rgb == rgb && last.start + last.length == at) {
            ++last.length;
            return;
        }
    }
    m_content.runs.append({at, 1, rgb});
}

} // namespace

QChar cp1252Char(uchar byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return QChar(kCp1252High[byte - 0x80]);
    return QChar(char16_t(byte));
}

RtfContent readRtf(QByteArrayView rtf)
{
    return Reader(rtf).read();
}

} // namespace brindle::render
