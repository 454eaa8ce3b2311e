#include "render/htmlrtf.h"

#include "base/error.h"
#include "base/textutil.h"
#include "base/utf8.h"

#include <QTemporaryFile>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <iterator>
#include <type_traits>

namespace brindle::render {

using TokenClass = TsyxHTMLRTF::TokenClass;
using ScanState = TsyxHTMLRTF::ScanState;

namespace {

// Opening names first, then the closing forms of those that have one.
constexpr std::array<std::string_view, 198> kTagNames = {
    "!DOCTYPE",  "A",        "ABBR",      "ACRONYM",   "ADDRESS",   "APPLET",      "AREA",      "B",
    "BASE",      "BASEFONT", "BGSOUND",   "BIG",       "BLINK",     "BLOCKQUOTE",  "BODY",      "BR",
    "BUTTON",    "CAPTION",  "CENTER",    "CITE",      "CODE",      "COL",         "COLGROUP",  "COMMENT",
    "DD",        "DEL",      "DFN",       "DIR",       "DIV",       "DL",          "DT",        "EM",
    "EMBED",     "FIELDSET", "FONT",      "FORM",      "FRAME",     "FRAMESET",    "H1",        "H2",
    "H3",        "H4",       "H5",        "H6",        "HEAD",      "HR",          "HTML",      "I",
    "IFRAME",    "ILAYER",   "IMG",       "INPUT",     "INS",       "ISINDEX",     "KBD",       "KEYGEN",
    "LABEL",     "LAYER",    "LEGEND",    "LI",        "LINK",      "LISTING",     "MAP",       "MARQUEE",
    "MENU",      "META",     "MULTICOL",  "NEXTID",    "NOBR",      "NOEMBED",     "NOFRAMES",  "NOLAYER",
    "NOSCRIPT",  "OBJECT",   "OL",        "OPTION",    "P",         "PARAM",       "PLAINTEXT", "PRE",
    "Q",         "S",        "SAMP",      "SCRIPT",    "SELECT",    "SERVER",      "SMALL",     "SPACER",
    "SPAN",      "STRIKE",   "STRONG",    "STYLE",     "SUB",       "SUP",         "TABLE",     "TBODY",
    "TD",        "TEXTAREA", "TFOOT",     "TH",        "THEAD",     "TITLE",       "TR",        "TT",
    "U",         "UL",       "VAR",       "WBR",       "XMP",       "/A",          "/ABBR",     "/ACRONYM",
    "/ADDRESS",  "/APPLET",  "/B",        "/BIG",      "/BLINK",    "/BLOCKQUOTE", "/BODY",     "/BUTTON",
    "/CAPTION",  "/CENTER",  "/CITE",     "/CODE",     "/COLGROUP", "/COMMENT",    "/DD",       "/DEL",
    "/DFN",      "/DIR",     "/DIV",      "/DL",       "/DT",       "/EM",         "/EMBED",    "/FIELDSET",
    "/FONT",     "/FORM",    "/FRAMESET", "/H1",       "/H2",       "/H3",         "/H4",       "/H5",
    "/H6",       "/HEAD",    "/HTML",     "/I",        "/IFRAME",   "/ILAYER",     "/INS",      "/KBD",
    "/LABEL",    "/LAYER",   "/LEGEND",   "/LI",       "/LISTING",  "/MAP",        "/MARQUEE",  "/MENU",
    "/MULTICOL", "/NOBR",    "/NOEMBED",  "/NOFRAMES", "/NOLAYER",  "/NOSCRIPT",   "/OBJECT",   "/OL",
    "/OPTION",   "/P",       "/PRE",      "/Q",        "/S",        "/SAMP",       "/SCRIPT",   "/SELECT",
    "/SERVER",   "/SMALL",   "/SPAN",     "/STRIKE",   "/STRONG",   "/STYLE",      "/SUB",      "/SUP",
    "/TABLE",    "/TBODY",   "/TD",       "/TEXTAREA", "/TFOOT",    "/TH",         "/THEAD",    "/TITLE",
    "/TR",       "/TT",      "/U",        "/UL",       "/VAR",      "/XMP",
};

// Tested in this order; the first that matches wins. "&divide" has no
// semicolon and "&ldots;" stands where "&#133;" would.
constexpr std::array<std::string_view, 151> kEntities = {
    "&amp;",    "&lt;",     "&gt;",     "&quot;",   "&trade;",  "&nbsp;",   "&copy;",   "&reg;",
    "&Agrave;", "&Aacute;", "&Acirc;",  "&Atilde;", "&Auml;",   "&Aring;",  "&AElig;",  "&Ccedil;",
    "&Egrave;", "&Eacute;", "&Ecirc;",  "&Euml;",   "&Igrave;", "&Iacute;", "&Icirc;",  "&Iuml;",
    "&ETH;",    "&Ntilde;", "&Ograve;", "&Oacute;", "&Ocirc;",  "&Otilde;", "&Ouml;",   "&Oslash;",
    "&Ugrave;", "&Uacute;", "&Ucirc;",  "&Uuml;",   "&Yacute;", "&THORN;",  "&szlig;",  "&agrave;",
    "&aacute;", "&acirc;",  "&atilde;", "&auml;",   "&aring;",  "&aelig;",  "&ccedil;", "&egrave;",
    "&eacute;", "&ecirc;",  "&euml;",   "&igrave;", "&iacute;", "&icirc;",  "&iuml;",   "&eth;",
    "&ntilde;", "&ograve;", "&oacute;", "&ocirc;",  "&otilde;", "&ouml;",   "&oslash;", "&ugrave;",
    "&uacute;", "&ucirc;",  "&uuml;",   "&yacute;", "&thorn;",  "&yuml;",   "&iexcl;",  "&cent;",
    "&pound;",  "&curren;", "&yen;",    "&brvbar;", "&sect;",   "&uml;",    "&ordf;",   "&laquo;",
    "&shy;",    "&macr;",   "&deg;",    "&plusmn;", "&sup2;",   "&sup3;",   "&acute;",  "&micro;",
    "&middot;", "&cedil;",  "&sup1;",   "&ordm;",   "&raquo;",  "&frac14;", "&frac12;", "&frac34;",
    "&iquest;", "&times;",  "&divide",  "&euro;",   "&#9;",     "&#127;",   "&#128;",   "&#129;",
    "&#130;",   "&#131;",   "&#132;",   "&ldots;",  "&#134;",   "&#135;",   "&#136;",   "&#137;",
    "&#138;",   "&#139;",   "&#140;",   "&#141;",   "&#142;",   "&#143;",   "&#144;",   "&#152;",
    "&#153;",   "&#154;",   "&#155;",   "&#156;",   "&#157;",   "&#158;",   "&#159;",   "&#161;",
    "&#162;",   "&#163;",   "&#164;",   "&#165;",   "&#166;",   "&#167;",   "&#168;",   "&#170;",
    "&#175;",   "&#176;",   "&#177;",   "&#178;",   "&#180;",   "&#181;",   "&#183;",   "&#184;",
    "&#185;",   "&#186;",   "&#188;",   "&#189;",   "&#190;",   "&#191;",   "&#215;",
};

constexpr std::array<RtfColor, 11> kDefaultColors = {
    0x00008000, 0x00000080, 0, 0x00FF0000, 0, 0x00008000, 0x00FF0000, 0, 0x000000FF, 0, 0};

// Colour indices in the colour table; 0, black, is never chosen.
enum ColorIndex : quint8
{
    kServerScriptColor = 1,
    kCommentColor = 2,
    kAttributeNameColor = 3,
    kTagNameColor = 4,
    kWhitespaceColor = 5,
    kStringColor = 6,
    kSymbolColor = 7,
    kTextColor = 8,
    kUnlistedTagNameColor = 9,
    kAttributeValueColor = 10,
    kEntityColor = 11,
};

// Colour index of each token class value; values past the classes take the
// entity colour, as does the end of the text (never written).
constexpr std::array<quint8, 256> kClassColors = [] {
    std::array<quint8, 256> colors{};
    colors.fill(kEntityColor);
    const quint8 byClass[] = {kEntityColor,  kServerScriptColor, kCommentColor,         kAttributeNameColor,
                              kTagNameColor, kEntityColor,       kWhitespaceColor,      kStringColor,
                              kSymbolColor,  kTextColor,         kUnlistedTagNameColor, kAttributeValueColor};
    for (std::size_t i = 0; i < std::size(byClass); ++i)
        colors[i] = byClass[i];
    return colors;
}();

// Letters weigh 1 to 26 regardless of case; "/" and "!" weigh 122 and 123.
// A byte of weight 0 ends the letter run of a tag name.
constexpr std::array<quint8, 256> kWeights = [] {
    std::array<quint8, 256> weights{};
    for (int c = 'A'; c <= 'Z'; ++c) {
        weights[std::size_t(c)] = quint8(c - 'A' + 1);
        weights[std::size_t(c) - 'A' + 'a'] = quint8(c - 'A' + 1);
    }
    weights['/'] = 122;
    weights['!'] = 123;
    return weights;
}();

// Length and hash of the tag name at the start of p, looking at no more than
// `limit` bytes: the run of letters, "!" and "/", then the run of digits.
struct MeasuredName
{
    std::size_t length = 0;
    qint64 hash = 0;
};

template<typename Byte>
constexpr MeasuredName measureName(const Byte *p, std::size_t limit)
{
    MeasuredName m;
    while (m.length < limit && kWeights[static_cast<unsigned char>(p[m.length])] != 0)
        m.hash += kWeights[static_cast<unsigned char>(p[m.length++])];
    while (m.length < limit && isAsciiDigit(static_cast<unsigned char>(p[m.length])))
        m.hash += static_cast<unsigned char>(p[m.length++]) - '0';
    return m;
}

struct Bucket
{
    std::array<quint8, 3> names{};
    quint8 count = 0;
};

// Every name sits in the bucket numbered by its hash. Should a name ever hash
// past the table or a bucket overflow, the table stops being a constant
// expression and the build fails.
constexpr std::array<Bucket, TsyxHTMLRTF::kTagBuckets> kBuckets = [] {
    std::array<Bucket, TsyxHTMLRTF::kTagBuckets> buckets{};
    for (std::size_t i = 0; i < kTagNames.size(); ++i) {
        const MeasuredName m = measureName(kTagNames[i].data(), kTagNames[i].size());
        if (m.length != kTagNames[i].size())
            throw "tag name with bytes outside the name alphabet";
        Bucket &bucket = buckets.at(std::size_t(m.hash));
        bucket.names.at(bucket.count++) = quint8(i);
    }
    return buckets;
}();

// Byte classes of the scanner's loops.
enum : quint8
{
    kTextStop = 1,       // below 32, "&", "<"
    kAttributeStop = 2,  // 0 to 32, double quote, "=", ">"
    kValueStop = 4,      // 0 to 32, ">"
    kQuoteStop = 8,      // double quote, CR, LF, NUL
    kBlankContinue = 16, // 1 to 32 except TAB, LF, CR
    kBlockStop = 32,     // NUL, LF, CR, ">": where a comment or script scan looks closer
    kNeedsEscape = 64,   // backslash, braces, and every byte above 127
};

constexpr std::array<quint8, 256> kByteClasses = [] {
    std::array<quint8, 256> classes{};
    for (int b = 0; b < 256; ++b) {
        quint8 c = 0;
        if (b < 32 || b == '&' || b == '<')
            c |= kTextStop;
        if (b <= 32 || b == '"' || b == '=' || b == '>')
            c |= kAttributeStop;
        if (b <= 32 || b == '>')
            c |= kValueStop;
        if (b == '"' || b == '\r' || b == '\n' || b == 0)
            c |= kQuoteStop;
        if (b >= 1 && b <= 32 && b != '\t' && b != '\n' && b != '\r')
            c |= kBlankContinue;
        if (b == 0 || b == '\n' || b == '\r' || b == '>')
            c |= kBlockStop;
        if (b == '\\' || b == '{' || b == '}' || b > 127)
            c |= kNeedsEscape;
        classes[std::size_t(b)] = c;
    }
    return classes;
}();

constexpr unsigned char lowerAscii(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// The entities grouped by the lower-cased byte after their "&", each group in
// table order, so that a match is looked for only among the entities that
// can match and the first of them in the table still wins.
struct EntityIndex
{
    std::array<quint8, 256> first{}; // start of each group in `order`
    std::array<quint8, 256> count{};
    std::array<quint8, kEntities.size()> order{};
};

constexpr EntityIndex kEntityIndex = [] {
    EntityIndex index;
    std::size_t next = 0;
    for (int c = 0; c < 256; ++c) {
        index.first[std::size_t(c)] = quint8(next);
        for (std::size_t i = 0; i < kEntities.size(); ++i) {
            if (lowerAscii(static_cast<unsigned char>(kEntities[i][1])) == c) {
                index.order[next++] = quint8(i);
                ++index.count[std::size_t(c)];
            }
        }
    }
    return index;
}();

// Index of the first entity that the text at `p` (an "&") begins with, or
// -1. The comparison stops at the first difference, so it never passes a NUL.
int matchEntity(const char *p)
{
    const unsigned char second = lowerAscii(static_cast<unsigned char>(p[1]));
    const std::size_t first = kEntityIndex.first[second];
    for (std::size_t k = first; k < first + kEntityIndex.count[second]; ++k) {
        const std::string_view entity = kEntities[kEntityIndex.order[k]];
        std::size_t j = 2;
        while (j < entity.size() && lowerAscii(static_cast<unsigned char>(p[j])) ==
                                        lowerAscii(static_cast<unsigned char>(entity[j])))
            ++j;
        if (j == entity.size())
            return kEntityIndex.order[k];
    }
    return -1;
}

void appendNumber(std::string &out, int number)
{
    char digits[12];
    const auto result = std::to_chars(digits, digits + sizeof digits, number);
    out.append(digits, std::size_t(result.ptr - digits));
}

// \uN? with N the UTF-16 unit as a signed 16-bit number; "?" is the fallback
// that readers without Unicode show and the others skip.
void appendUnicodeEscape(std::string &out, char16_t unit)
{
    out += "\\u";
    appendNumber(out, unit > 0x7FFF ? int(unit) - 0x10000 : int(unit));
    out += '?';
}

// Appends the RTF form of the byte or UTF-8 sequence at p, of which n bytes
// may be looked at, and returns how many bytes it took.
inline qsizetype appendEscaped(std::string &out, const unsigned char *p, qsizetype n)
{
    const unsigned char b = p[0];
    if (b < 0x80) {
        if (b == '\\' || b == '{' || b == '}')
            out += '\\';
        out += char(b);
        return 1;
    }
    char32_t codePoint = 0;
    const int length = decodeUtf8(p, n, codePoint);
    if (length == 0) {
        static constexpr char kHex[] = "0123456789abcdef";
        out += "\\'";
        out += kHex[b >> 4];
        out += kHex[b & 0xF];
        return 1;
    }
    if (codePoint < 0x10000) {
        appendUnicodeEscape(out, char16_t(codePoint));
    } else {
        appendUnicodeEscape(out, char16_t(0xD800 + ((codePoint - 0x10000) >> 10)));
        appendUnicodeEscape(out, char16_t(0xDC00 + (codePoint & 0x3FF)));
    }
    return length;
}

// How far past a token's end the scanner may read (an entity match looks
// 8 bytes ahead of its "&"), and how far before it (the comment and script
// ends look back 2 bytes). A token that ends closer to the window's end may
// have been cut by it.
constexpr qsizetype kLookahead = 16;
constexpr qsizetype kLookBehind = 8;

// The start of a long token whose colour is not known yet: blanks, or the
// letters and digits of a tag name, none of which RTF escapes. Held in
// memory up to a limit and beyond it in a temporary file, so that no run of
// them, however long, takes memory without bound.
class HeldBytes
{
public:
    void append(const char *data, qsizetype size)
    {
        if (!m_file && m_memory.size() + size <= kInMemory) {
            m_memory.append(data, size);
            return;
        }
        if (!m_file) {
            auto file = std::make_unique<QTemporaryFile>();
            if (!file->open()) {
                // Nowhere to put it: memory it is, as for a text read whole.
                m_memory.append(data, size);
                return;
            }
            m_file = std::move(file);
            write(m_memory.constData(), m_memory.size());
            m_memory.clear();
        }
        write(data, size);
    }

    // Writes what is held, in the order it came, and forgets it.
    void writeTo(RtfStream &out)
    {
        if (m_file) {
            m_file->seek(0);
            QByteArray chunk(kInMemory, Qt::Uninitialized);
            for (qint64 n; (n = m_file->read(chunk.data(), chunk.size())) > 0;)
                out.write(QByteArrayView(chunk.constData(), n));
            m_file.reset();
        }
        out.write(m_memory);
        m_memory.clear();
    }

private:
    static constexpr qsizetype kInMemory = qsizetype(1) << 20;

    void write(const char *data, qsizetype size)
    {
        if (m_file->write(data, size) != size)
            throw Error(QStringLiteral("Cannot write a temporary file. %1").arg(m_file->errorString()));
    }

    QByteArray m_memory;
    std::unique_ptr<QTemporaryFile> m_file;
};

} // namespace

TsyxHTMLRTF::TsyxHTMLRTF()
{
    fillTagTable(std::make_index_sequence<kTagBuckets>());
    m_dispatch.fill(&TsyxHTMLRTF::handleWord);
    m_dispatch[0] = &TsyxHTMLRTF::handleEnd;
    for (int b = 1; b <= 32; ++b)
        m_dispatch[std::size_t(b)] = &TsyxHTMLRTF::handleBlankRun;
    m_dispatch['\n'] = &TsyxHTMLRTF::handleLineFeed;
    m_dispatch['\r'] = &TsyxHTMLRTF::handleCarriageReturn;
    m_dispatch['"'] = &TsyxHTMLRTF::handleQuote;
    m_dispatch['&'] = &TsyxHTMLRTF::handleEntity;
    m_dispatch['<'] = &TsyxHTMLRTF::handleOpen;
    m_dispatch['='] = &TsyxHTMLRTF::handleEquals;
    m_dispatch['>'] = &TsyxHTMLRTF::handleClose;
    SetupColors(kDefaultColors);
    m_pendingEntity = -1;
    m_state = ScanState::EntityPending;
    m_position = 0;
}

TsyxHTMLRTF::~TsyxHTMLRTF() = default;

template<std::size_t... Buckets>
void TsyxHTMLRTF::fillTagTable(std::index_sequence<Buckets...>)
{
    ((m_tagTable[Buckets] = kBuckets[Buckets].count > 0 ? &TsyxHTMLRTF::checkBucket<int(Buckets)>
                                                        : &TsyxHTMLRTF::checkEmptyBucket),
     ...);
}

std::span<const std::string_view> TsyxHTMLRTF::tagNames()
{
    return kTagNames;
}

std::span<const std::string_view> TsyxHTMLRTF::entities()
{
    return kEntities;
}

int TsyxHTMLRTF::tagNameHash(std::string_view name)
{
    const qint64 hash = measureName(name.data(), name.size()).hash;
    return hash > kTagBuckets ? kTagBuckets : int(hash);
}

const std::array<RtfColor, 11> &TsyxHTMLRTF::defaultColors()
{
    return kDefaultColors;
}

void TsyxHTMLRTF::SetDefaultColors()
{
    SetupColors(kDefaultColors);
}

// Flattened: the per-token operations are inlined into the loop, which is
// where nearly all of the conversion's time goes.
[[gnu::flatten]] void TsyxHTMLRTF::ConvertToStream(RtfStream &stream)
{
    static_assert(std::is_final_v<TsyxHTMLRTF>);
    writeProlog(stream);
    writeTokens(*this, stream);
    stream.write(QByteArrayView(" }", 2));
}

// The token loop of ConvertToStream over a window of the text. The window is
// refilled between tokens whenever less than m_refillBelow bytes of it are
// left, so every token short of that is scanned exactly as in a whole text.
// A token that reaches the window's last kLookahead bytes may have been cut
// short by its end: it is scanned again from its start by convertLongToken,
// which reads on as far as it goes.
[[gnu::flatten]] void TsyxHTMLRTF::convertSourceToStream(const TextSource &source, RtfStream &stream,
                                                         qsizetype window)
{
    window = std::max(window, kMinimumWindow);
    m_window = std::make_unique_for_overwrite<char[]>(std::size_t(window) + 1);
    m_windowCapacity = window;
    m_refillBelow = std::min(window / 4, qsizetype(64) << 10);
    m_windowEnd = 0;
    m_window[0] = '\0';
    m_source = &source;
    m_sourceDone = false;
    m_input = m_window.get();
    m_position = 0;
    m_tokenStart = 0;
    m_lineNumber = 1;
    // The window goes with the conversion, also when the source throws.
    struct Release
    {
        TsyxHTMLRTF &scanner;
        ~Release()
        {
            scanner.m_input = "";
            scanner.m_position = scanner.m_tokenStart = 0;
            scanner.m_window.reset();
            scanner.m_source = nullptr;
            scanner.m_sourceDone = true;
        }
    } release{*this};

    writeProlog(stream);
    refill(0);
    for (;;) {
        if (!m_sourceDone && m_windowEnd - m_position < m_refillBelow)
            refill(m_position);
        const ScanState state = m_state;
        const int pendingEntity = m_pendingEntity;
        NextToken();
        if (!m_sourceDone && m_windowEnd - m_position <= kLookahead) [[unlikely]] {
            m_state = state;
            m_pendingEntity = pendingEntity;
            m_position = m_tokenStart;
            convertLongToken(stream);
            continue;
        }
        if (AtEnd())
            break;
        writeCurrentToken(stream);
    }
    stream.write(QByteArrayView(" }", 2));
}

// The body of writeTokens.
inline void TsyxHTMLRTF::writeCurrentToken(RtfStream &stream)
{
    QByteArrayView token = CurrentToken();
    const int colorIndex = CurrentColorIndex();
    EscapeToken(token);
    if (!token.isEmpty() && token.size() <= 2 && token[0] == '\r' && (token.size() == 1 || token[1] == '\n'))
        stream.write(QByteArrayView("\\par", 4));
    FormatToken(colorIndex, token, stream);
}

// Drops the window's bytes before keepFrom (but for kLookBehind of them) and
// reads until the window is full, the text ends or it reaches a NUL.
[[gnu::noinline]] void TsyxHTMLRTF::refill(qsizetype keepFrom)
{
    char *window = m_window.get();
    const qsizetype drop = std::max<qsizetype>(0, std::min(keepFrom, m_position) - kLookBehind);
    if (drop > 0) {
        std::memmove(window, window + drop, std::size_t(m_windowEnd - drop));
        m_windowEnd -= drop;
        m_position -= drop;
        m_tokenStart = std::max<qsizetype>(0, m_tokenStart - drop);
        m_emitFrom = std::max<qsizetype>(0, m_emitFrom - drop);
    }
    while (!m_sourceDone && m_windowEnd < m_windowCapacity) {
        const qsizetype n = (*m_source)(window + m_windowEnd, m_windowCapacity - m_windowEnd);
        if (n <= 0) {
            m_sourceDone = true;
            break;
        }
        // The text ends at its first NUL: nothing after it is read.
        if (const void *nul = std::memchr(window + m_windowEnd, 0, std::size_t(n))) {
            m_windowEnd = static_cast<const char *>(nul) - window;
            m_sourceDone = true;
            break;
        }
        m_windowEnd += n;
    }
    window[m_windowEnd] = '\0';
}

// Scans and writes the token at m_position, which may reach past the window,
// with the scanner in the state it had before the token: the same choices as
// NextToken and its handlers, made byte by byte as far as the text goes. The
// token's bytes are written as soon as its colour is known, the rest in
// slices as the window moves on.
[[gnu::noinline]] void TsyxHTMLRTF::convertLongToken(RtfStream &stream)
{
    m_tokenStart = m_position;
    m_tokenNeedsEscape = false;
    const unsigned char first = byteAt(m_position);
    const bool blockContent = first != 0 && first != '\n' && first != '\r';
    LongKind kind;
    if (m_state == ScanState::InServerScript && blockContent) {
        kind = LongKind::ServerScript;
        m_tokenClass = TokenClass::ServerScript;
    } else if (m_state == ScanState::InComment && blockContent) {
        kind = LongKind::Comment;
        m_tokenClass = TokenClass::Comment;
    } else if (m_state == ScanState::InText && first >= 32 && first != '<') {
        kind = LongKind::Text;
        m_tokenClass = TokenClass::Text;
    } else if (m_dispatch[first] == &TsyxHTMLRTF::handleBlankRun) {
        kind = LongKind::Blank;
        m_tokenClass = TokenClass::Whitespace;
        ++m_position;
    } else if (first == '"') {
        kind = LongKind::Quoted;
        m_tokenClass =
            m_state == ScanState::ExpectValue ? TokenClass::AttributeValue : TokenClass::QuotedString;
        if (m_state == ScanState::ExpectValue)
            m_state = ScanState::InTag;
        ++m_position;
    } else if (m_dispatch[first] != &TsyxHTMLRTF::handleWord) {
        // Line breaks, symbols and entities are short; only a window smaller
        // than the minimum could cut one.
        NextToken();
        writeCurrentToken(stream);
        return;
    } else if (m_state == ScanState::ExpectTagName) {
        kind = LongKind::TagName;
        m_state = ScanState::InTag;
        m_longHash = 0;
        m_longInDigits = false;
    } else if (m_state == ScanState::ExpectValue) {
        kind = LongKind::Value;
        m_tokenClass = TokenClass::AttributeValue;
        m_state = ScanState::InTag;
        ++m_position;
    } else {
        kind = LongKind::Name;
        m_tokenClass = TokenClass::AttributeName;
        ++m_position;
    }

    // The colour FormatToken would give: that of the class, but the comment
    // colour for a token that starts with "//" after blanks, and the string
    // colour for a quoted attribute value. -1 while that is still open.
    const bool slashes = byteAt(m_tokenStart) == '/' && byteAt(m_tokenStart + 1) == '/';
    int color = -1;
    switch (kind) {
    case LongKind::Blank:
    case LongKind::Comment:
        color = CurrentColorIndex();
        break;
    case LongKind::Quoted:
        color = kClassColors[std::size_t(TokenClass::QuotedString)];
        break;
    case LongKind::Value:
    case LongKind::Name:
        color = slashes ? kCommentColor : CurrentColorIndex();
        break;
    case LongKind::TagName:
        color = slashes ? kCommentColor : -1;
        break;
    case LongKind::Text:
    case LongKind::ServerScript:
        break;
    }

    HeldBytes held;
    bool headerWritten = false;
    m_emitFrom = m_tokenStart;
    for (;;) {
        const bool ended = scanLong(kind);
        if (kind == LongKind::TagName) {
            // A name with no bucket is an attribute name; one longer than any
            // listed name is no listed name.
            m_tokenClass =
                m_longHash >= kTagBuckets ? TokenClass::AttributeName : TokenClass::UnlistedTagName;
            if (color < 0 && (m_longHash >= kTagBuckets || ended)) {
                color = CurrentColorIndex();
            } else if (color < 0) {
                held.append(m_input + m_emitFrom, m_position - m_emitFrom);
                m_emitFrom = m_position;
            }
        } else if (color < 0) {
            // Text and server script: the colour waits for the first byte
            // that is not blank, and for the one after it if that is "/".
            qsizetype i = m_emitFrom;
            while (i < m_position && byteAt(i) <= 32)
                ++i;
            const int plain = CurrentColorIndex();
            if (i < m_position && byteAt(i) != '/')
                color = plain;
            else if (i + 1 < m_position)
                color = byteAt(i + 1) == '/' ? kCommentColor : plain;
            else if (ended)
                color = plain;
            if (color < 0) {
                held.append(m_input + m_emitFrom, i - m_emitFrom);
                m_emitFrom = i;
            }
        }
        if (color >= 0 && !headerWritten) {
            writeColoredToken(color, {}, stream);
            held.writeTo(stream);
            headerWritten = true;
        }
        if (ended)
            break;
        // Keeps the last bytes, which may begin a UTF-8 sequence that the
        // next bytes complete.
        if (color >= 0)
            m_emitFrom = writeEscaped(m_emitFrom, m_position - 3, m_position, stream);
        refill(m_emitFrom);
    }
    writeEscaped(m_emitFrom, m_position, m_position, stream);
}

// Scans on from m_position within the window. True when the token ended
// there (with the scanner's state as the handler leaves it); false when the
// scan came within kLookahead of the window's end, so that more text has to
// be read before the stop it found (if any) can be trusted.
bool TsyxHTMLRTF::scanLong(LongKind kind)
{
    const auto cut = [this] { return !m_sourceDone && m_windowEnd - m_position <= kLookahead; };
    for (;;) {
        switch (kind) {
        case LongKind::Blank:
            while (kByteClasses[byteAt(m_position)] & kBlankContinue)
                ++m_position;
            return !cut();
        case LongKind::Quoted:
            skipUntil<kQuoteStop>();
            if (cut())
                return false;
            if (byteAt(m_position) == '"')
                ++m_position;
            return true;
        case LongKind::Value:
            skipUntil<kValueStop>();
            return !cut();
        case LongKind::Name:
            skipUntil<kAttributeStop>();
            return !cut();
        case LongKind::TagName:
            if (!m_longInDigits) {
                while (const quint8 weight = kWeights[byteAt(m_position)]) {
                    m_longHash += weight;
                    ++m_position;
                }
                if (cut())
                    return false;
                m_longInDigits = true;
            }
            while (isAsciiDigit(byteAt(m_position)))
                m_longHash += byteAt(m_position++) - '0';
            return !cut();
        case LongKind::Text:
            skipUntil<kTextStop>();
            if (cut())
                return false;
            if (byteAt(m_position) != '&')
                return true;
            if (const int entity = matchEntity(m_input + m_position); entity >= 0) {
                m_pendingEntity = entity;
                m_state = ScanState::EntityPending;
                return true;
            }
            ++m_position;
            break;
        case LongKind::Comment:
        case LongKind::ServerScript:
            skipUntil<kBlockStop>();
            if (cut())
                return false;
            if (byteAt(m_position) != '>')
                return true;
            if (kind == LongKind::Comment ? closesBlock<TokenClass::Comment>()
                                          : closesBlock<TokenClass::ServerScript>()) {
                m_state = ScanState::InText;
                ++m_position;
                return true;
            }
            ++m_position;
            break;
        }
    }
}

// Writes the bytes from `from` on as EscapeToken escapes them, up to the
// first character that starts at or after `limit`; a UTF-8 sequence may take
// bytes up to `end`. Returns where it stopped.
qsizetype TsyxHTMLRTF::writeEscaped(qsizetype from, qsizetype limit, qsizetype end, RtfStream &out)
{
    const auto *p = reinterpret_cast<const unsigned char *>(m_input);
    qsizetype i = from;
    while (i < limit) {
        qsizetype run = i;
        while (run < limit && !(kByteClasses[p[run]] & kNeedsEscape))
            ++run;
        out.write(QByteArrayView(m_input + i, run - i));
        i = run;
        if (i >= limit)
            break;
        m_escaped.clear();
        i += appendEscaped(m_escaped, p + i, end - i);
        out.write(QByteArrayView(m_escaped.data(), qsizetype(m_escaped.size())));
    }
    return i;
}

void TsyxHTMLRTF::SetInput(const char *text, int lineNumber)
{
    m_input = text ? text : "";
    m_position = 0;
    m_lineNumber = lineNumber;
    NextToken();
}

bool TsyxHTMLRTF::AtEnd() const
{
    return m_tokenClass == TokenClass::EndOfText;
}

QByteArrayView TsyxHTMLRTF::CurrentToken() const
{
    return {m_input + m_tokenStart, m_position - m_tokenStart};
}

int TsyxHTMLRTF::CurrentColorIndex() const
{
    return kClassColors[std::size_t(m_tokenClass)];
}

template<int Stop>
void TsyxHTMLRTF::skipUntil()
{
    // Bytes that need escaping stop the inner loop too, which is cheaper than
    // a second pass over every token: they are rare.
    const auto *input = reinterpret_cast<const unsigned char *>(m_input);
    qsizetype position = m_position;
    for (;;) {
        unsigned char c;
        while (!(kByteClasses[c = input[position]] & (Stop | kNeedsEscape)))
            ++position;
        if (kByteClasses[c] & Stop)
            break;
        m_tokenNeedsEscape = true;
        ++position;
    }
    m_position = position;
}

void TsyxHTMLRTF::consumeAnyByte()
{
    if (kByteClasses[byteAt(m_position)] & kNeedsEscape)
        m_tokenNeedsEscape = true;
    ++m_position;
}

void TsyxHTMLRTF::NextToken()
{
    m_tokenStart = m_position;
    m_tokenNeedsEscape = false;
    switch (m_state) {
    case ScanState::InServerScript:
        scanBlock<TokenClass::ServerScript>();
        break;
    case ScanState::InComment:
        scanBlock<TokenClass::Comment>();
        break;
    case ScanState::InText:
        scanText();
        break;
    default:
        dispatch();
        break;
    }
}

void TsyxHTMLRTF::handleEnd()
{
    m_tokenClass = TokenClass::EndOfText;
}

void TsyxHTMLRTF::handleLineFeed()
{
    m_tokenClass = TokenClass::Whitespace;
    ++m_position;
}

void TsyxHTMLRTF::handleCarriageReturn()
{
    m_tokenClass = TokenClass::Whitespace;
    ++m_position;
    if (byteAt(m_position) == '\n')
        ++m_position;
}

void TsyxHTMLRTF::handleBlankRun()
{
    const auto *input = reinterpret_cast<const unsigned char *>(m_input);
    qsizetype position = m_position + 1;
    m_tokenClass = TokenClass::Whitespace;
    while (kByteClasses[input[position]] & kBlankContinue)
        ++position;
    m_position = position;
}

void TsyxHTMLRTF::handleQuote()
{
    if (m_state == ScanState::ExpectValue) {
        m_state = ScanState::InTag;
        m_tokenClass = TokenClass::AttributeValue;
    } else {
        m_tokenClass = TokenClass::QuotedString;
    }
    ++m_position;
    skipUntil<kQuoteStop>();
    if (byteAt(m_position) == '"')
        ++m_position;
}

void TsyxHTMLRTF::handleEntity()
{
    if (m_pendingEntity >= 0) {
        m_tokenClass = TokenClass::Entity;
        // The entity matched right here, unless a new text was set since the
        // match; the NUL test keeps that case inside the new text.
        const auto length = qsizetype(kEntities[std::size_t(m_pendingEntity)].size());
        for (qsizetype i = 0; i < length && byteAt(m_position) != 0; ++i)
            ++m_position;
    }
    m_pendingEntity = -1;
    m_state = ScanState::InText;
}

void TsyxHTMLRTF::handleOpen()
{
    ++m_position;
    if (byteAt(m_position) == '!' && byteAt(m_position + 1) == '-' && byteAt(m_position + 2) == '-') {
        m_state = ScanState::InComment;
        m_tokenClass = TokenClass::Comment;
        m_position += 3;
    } else if (byteAt(m_position) == '%') {
        m_state = ScanState::InServerScript;
        m_tokenClass = TokenClass::ServerScript;
        ++m_position;
    } else {
        m_state = ScanState::ExpectTagName;
        m_tokenClass = TokenClass::Symbol;
    }
}

void TsyxHTMLRTF::handleEquals()
{
    m_state = ScanState::ExpectValue;
    m_tokenClass = TokenClass::Symbol;
    ++m_position;
}

void TsyxHTMLRTF::handleClose()
{
    m_state = ScanState::InText;
    m_tokenClass = TokenClass::Symbol;
    ++m_position;
}

void TsyxHTMLRTF::handleWord()
{
    switch (m_state) {
    case ScanState::ExpectTagName:
        m_state = ScanState::InTag;
        m_tokenClass = lookupTagName();
        m_position += m_nameLength;
        break;
    case ScanState::ExpectValue:
        m_state = ScanState::InTag;
        m_tokenClass = TokenClass::AttributeValue;
        consumeAnyByte();
        skipUntil<kValueStop>();
        break;
    default:
        m_tokenClass = TokenClass::AttributeName;
        consumeAnyByte();
        skipUntil<kAttributeStop>();
        break;
    }
}

// Whether the ">" at m_position closes the block: "%>" a server script,
// "-->" a comment. The "%" or "--" may be that of the opening "<%" or
// "<!--", so look back across the token start, but never in front of the text.
template<TokenClass Block>
bool TsyxHTMLRTF::closesBlock() const
{
    if constexpr (Block == TokenClass::ServerScript)
        return m_position > 0 && m_input[m_position - 1] == '%';
    else
        return m_position > 1 && m_input[m_position - 1] == '-' && m_input[m_position - 2] == '-';
}

// A line of a server script or a comment: up to the line's end, or through
// the ">" that closes the block.
template<TokenClass Block>
void TsyxHTMLRTF::scanBlock()
{
    m_tokenClass = Block;
    const unsigned char first = byteAt(m_position);
    if (first == 0 || first == '\n' || first == '\r') {
        dispatch();
        return;
    }
    for (;;) {
        skipUntil<kBlockStop>();
        if (byteAt(m_position) != '>')
            return;
        if (closesBlock<Block>()) {
            m_state = ScanState::InText;
            ++m_position;
            return;
        }
        ++m_position;
    }
}

void TsyxHTMLRTF::scanText()
{
    const unsigned char first = byteAt(m_position);
    if (first < 32 || first == '<') {
        dispatch();
        return;
    }
    m_tokenClass = TokenClass::Text;
    for (;;) {
        skipUntil<kTextStop>();
        if (byteAt(m_position) != '&')
            return;
        const int entity = matchEntity(m_input + m_position);
        if (entity >= 0) {
            m_pendingEntity = entity;
            m_state = ScanState::EntityPending;
            return;
        }
        ++m_position;
    }
}

TokenClass TsyxHTMLRTF::lookupTagName()
{
    m_nameStart = m_input + m_position;
    // Both runs stop at the NUL at the latest: it has weight 0 and is no digit.
    const auto *p = reinterpret_cast<const unsigned char *>(m_nameStart);
    qsizetype length = 0;
    qint64 hash = 0;
    while (const quint8 weight = kWeights[p[length]]) {
        hash += weight;
        ++length;
    }
    while (isAsciiDigit(p[length]))
        hash += p[length++] - '0';
    m_nameLength = length;
    if (hash >= kTagBuckets)
        return TokenClass::AttributeName;
    return (this->*m_tagTable[std::size_t(hash)])();
}

template<int BucketNumber>
TokenClass TsyxHTMLRTF::checkBucket()
{
    constexpr Bucket bucket = kBuckets[BucketNumber];
    for (int i = 0; i < bucket.count; ++i) {
        const std::string_view name = kTagNames[bucket.names[std::size_t(i)]];
        if (qsizetype(name.size()) != m_nameLength)
            continue;
        m_compareCursor = m_nameStart;
        bool same = true;
        for (const char c : name) {
            if (kWeights[static_cast<unsigned char>(c)] !=
                kWeights[static_cast<unsigned char>(*m_compareCursor++)]) {
                same = false;
                break;
            }
        }
        if (same)
            return TokenClass::TagName;
    }
    return TokenClass::UnlistedTagName;
}

TokenClass TsyxHTMLRTF::checkEmptyBucket()
{
    return TokenClass::UnlistedTagName;
}

QByteArray TsyxHTMLRTF::escapedText(QByteArrayView utf8)
{
    std::string escaped;
    const auto *p = reinterpret_cast<const unsigned char *>(utf8.data());
    for (qsizetype i = 0; i < utf8.size();)
        i += appendEscaped(escaped, p + i, utf8.size() - i);
    return QByteArray(escaped.data(), qsizetype(escaped.size()));
}

void TsyxHTMLRTF::EscapeToken(QByteArrayView &token)
{
    const auto *p = reinterpret_cast<const unsigned char *>(token.data());
    const qsizetype n = token.size();
    // The scanner has already looked at every byte of the current token.
    if (!m_tokenNeedsEscape && p == reinterpret_cast<const unsigned char *>(m_input + m_tokenStart) &&
        n == m_position - m_tokenStart)
        return;
    qsizetype i = 0;
    while (i < n && !(kByteClasses[p[i]] & kNeedsEscape))
        ++i;
    if (i == n)
        return;

    m_escaped.assign(token.data(), std::size_t(i));
    while (i < n)
        i += appendEscaped(m_escaped, p + i, n - i);
    token = QByteArrayView(m_escaped.data(), qsizetype(m_escaped.size()));
}

void TsyxHTMLRTF::FormatToken(int colorIndex, QByteArrayView token, RtfStream &out)
{
    int color = colorIndex;
    const qsizetype n = token.size();
    // Only a token that starts with a slash or a blank can begin with "//"
    // once trimmed; for all others the scan is skipped.
    if (n >= 2 && (token[0] == '/' || static_cast<unsigned char>(token[0]) <= 32)) {
        qsizetype i = 0;
        while (i < n && static_cast<unsigned char>(token[i]) <= 32)
            ++i;
        if (n - i >= 2 && token[i] == '/' && token[i + 1] == '/')
            color = kCommentColor;
    }
    if (colorIndex == kAttributeValueColor && n > 0 && token[0] == '"')
        color = kStringColor;
    writeColoredToken(color, token, out);
}

} // namespace brindle::render
