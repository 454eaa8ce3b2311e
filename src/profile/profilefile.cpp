#include "profile/profilefile.h"

#include "base/error.h"
#include "base/filewriter.h"
#include "base/textutil.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringConverter>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <algorithm>
#include <bitset>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace brindle::profile {

namespace {

constexpr char16_t kRootName[] = u"OvalinBrindleProfile";
constexpr char16_t kRootStart[] = u"<OvalinBrindleProfile Author=\"OvalinBrindle\">";
constexpr char16_t kRootEnd[] = u"</OvalinBrindleProfile>";
constexpr char16_t kContentAttribute[] = u"content";
constexpr char16_t kUsedAttribute[] = u"isused";
constexpr char16_t kChoiceTextAttribute[] = u"text";
constexpr char16_t kSocialName[] = u"social";
constexpr char16_t kHeadName[] = u"head";
// The head element's ticks: the keys of the ticked fields, one blank apart.
constexpr char16_t kHeadUsedAttribute[] = u"used";
constexpr qsizetype kSourceExcerptLength = 40;

// A profile is a few hundred bytes; a file far larger is not one.
constexpr qint64 kMaxProfileBytes = qint64(16) << 20;
constexpr char16_t kTooLargeReason[] = u"The file is too large for a profile (more than 16 MiB)";
constexpr qsizetype kFirstReadSize = 64 << 10;

// Characters XML 1.0 allows in no form, not even as character references,
// that a value may still hold: control characters and the noncharacters
// U+FFFE and U+FFFF. They are written as character references all the same,
// and the reader takes those back (see ParserText). NUL is not among them:
// a value ends at a NUL, as in a C string.
constexpr bool keptAsReferenceOnly(char32_t c)
{
    return (c >= 1 && c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE || c == 0xFFFF;
}

// Double-quoted, so "&", "<" and the double quote are escaped; tab, line
// feed and carriage return as references too, which a reader would
// otherwise turn into spaces.
void appendAttributeValue(QString &out, QStringView value)
{
    const qsizetype nul = value.indexOf(QChar(u'\0'));
    for (const QChar c : nul < 0 ? value : value.first(nul)) {
        switch (c.unicode()) {
        case u'&':
            out += u"&amp;"_s;
            break;
        case u'<':
            out += u"&lt;"_s;
            break;
        case u'"':
            out += u"&quot;"_s;
            break;
        default:
            if (c.unicode() < 0x20)
                out += u"&#%1;"_s.arg(int(c.unicode()), 2, 10, QChar(u'0'));
            else if (keptAsReferenceOnly(c.unicode()))
                out += u"&#%1;"_s.arg(int(c.unicode()));
            else
                out += c;
        }
    }
}

// Control characters of a file are shown as their pictures (U+2400 to
// U+241F, U+2421 for DEL): raw, a NUL cuts the text short wherever it is
// passed on as a C string and an escape character drives the terminal. A
// picture keeps the excerpt one character for one, and unlike a backslash
// form such as "\0" it cannot be mistaken for the file's own characters.
QString shownAsText(QString text)
{
    for (QChar &c : text) {
        if (c.unicode() < 0x20 && c != u'\t')
            c = QChar(char16_t(0x2400 + c.unicode()));
        else if (c.unicode() == 0x7F)
            c = QChar(u'\u2421');
    }
    return text;
}

// The parser reports the position where it stopped, just past the token it
// refused (the end, for a file cut short), and no source text of its own.
// The source text taken for an error is its line, starting at most 40
// characters before that position, so that the excerpt shows the offending
// token: a profile is usually one long line. A short line is shown whole,
// with what follows the error; the excerpt never spills onto the next line.
Error parseError(QStringView text, const QString &reason, qsizetype offset)
{
    offset = std::clamp<qsizetype>(offset, 0, text.size());
    const auto isLineBreak = [&](qsizetype i) {
        return text[i] == u'\n' || (text[i] == u'\r' && (i + 1 >= text.size() || text[i + 1] != u'\n'));
    };
    int line = 1;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < offset; ++i) {
        if (isLineBreak(i)) {
            ++line;
            lineStart = i + 1;
        }
    }
    qsizetype start = offset;
    for (int characters = 0; start > lineStart && characters < kSourceExcerptLength; ++characters) {
        --start;
        if (text[start].isLowSurrogate() && start > lineStart && text[start - 1].isHighSurrogate())
            --start;
    }
    qsizetype end = start;
    for (int characters = 0; end < text.size() && characters < kSourceExcerptLength; ++characters) {
        if (text[end] == u'\r' || text[end] == u'\n')
            break;
        end += text[end].isHighSurrogate() && end + 1 < text.size() && text[end + 1].isLowSurrogate() ? 2 : 1;
    }
    return Error(parseErrorMessage(reason, line, text.sliced(start, end - start).toString()));
}

QString parserReason(const char *text)
{
    return QCoreApplication::translate("QXmlStream", text);
}

// The file's text in the encoding its first bytes show (UTF-8 when they
// show none). When the bytes are not valid in that encoding, the text ends
// in front of the first bad sequence and complete is false.
struct DecodedText
{
    QString text;
    bool complete = true;
};

DecodedText decode(QByteArrayView data)
{
    const QStringConverter::Encoding encoding =
        QStringConverter::encodingForData(data, u'<').value_or(QStringConverter::Utf8);
    QStringDecoder whole(encoding, QStringConverter::Flag::Stateless);
    QString text = whole(data);
    if (!whole.hasError()) {
        // The UTF-16 and UTF-32 decoders pass a lone surrogate through.
        const QStringView view =
            QStringView(text).first(encoding == QStringConverter::Utf8 ? 0 : text.size());
        for (qsizetype i = 0; i < view.size(); ++i) {
            if (view[i].isHighSurrogate() && i + 1 < view.size() && view[i + 1].isLowSurrogate())
                ++i;
            else if (view[i].isSurrogate())
                return {text.first(i), false};
        }
        return {std::move(text), true};
    }

    // Each bad sequence became a replacement character; when the file has no
    // replacement character of its own, the first one marks the first error.
    if (encoding == QStringConverter::Utf8 && !data.contains(QByteArrayView("\xEF\xBF\xBD"))) {
        text.truncate(text.indexOf(QChar::ReplacementCharacter));
        return {std::move(text), false};
    }

    // Else: the shortest prefix a decoder fails on ends in the first bad
    // sequence. Without a final flush, a sequence cut by the prefix's end is
    // held back and is no error; so when the whole does not fail, only its
    // end is cut.
    const auto failsOn = [&](qsizetype size) {
        QStringDecoder decoder(encoding);
        const QString ignored = decoder(data.first(size));
        return decoder.hasError();
    };
    qsizetype good = data.size();
    if (failsOn(good)) {
        qsizetype bad = good;
        good = 0;
        while (bad - good > 1) {
            const qsizetype middle = good + (bad - good) / 2;
            (failsOn(middle) ? bad : good) = middle;
        }
    }
    QStringDecoder decoder(encoding);
    return {decoder(data.first(good)), false};
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// The most attributes one element of a profile may have, and the deepest
// its elements may be nested: far more than a profile ever holds ("social"
// has twelve attributes, the root and its children two levels), and little
// enough that no file within the size limit makes the parser slow or large.
// It compares each attribute with every earlier one of its element and keeps
// a record for every open element.
constexpr int kMaxAttributes = 64;
constexpr int kMaxNesting = 256;
constexpr char16_t kCrowdedReason[] = u"The element has too many attributes for a profile (more than 64)";
constexpr char16_t kDeepReason[] = u"The elements are nested too deeply for a profile (more than 256 levels)";

// Where the parser's text ends before the file's does.
struct Cut
{
    enum class Kind
    {
        None,
        Doctype,
        Crowded, // an element with more than kMaxAttributes attributes
    } kind = Kind::None;
    qsizetype at = -1;     // the parser is given the text in front of it
    bool inProlog = false; // Doctype: only blanks, comments and processing instructions before it
};

struct Reference
{
    char32_t codePoint;
    qsizetype length;
};

// A well-formed character reference ("&#N;" or "&#xH;") at i, where "&#"
// stands. Digits are read forward only, so that scanning a whole text stays
// linear.
std::optional<Reference> referenceAt(QStringView text, qsizetype i)
{
    qsizetype j = i + 2;
    const bool hex = j < text.size() && text[j] == u'x';
    if (hex)
        ++j;
    const qsizetype digits = j;
    char32_t codePoint = 0;
    for (; j < text.size(); ++j) {
        const char16_t c = text[j].unicode();
        int digit = -1;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (hex && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (hex && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        if (digit < 0)
            break;
        codePoint = std::min<char32_t>(codePoint * (hex ? 16 : 10) + char32_t(digit), 0x110000);
    }
    if (j == digits || j >= text.size() || text[j] != u';')
        return {};
    return Reference{codePoint, j + 1 - i};
}

// The file's text is walked once in front of the parser, the way the parser
// will read its markup, for what the parser must not be given as it stands.
//
// The first document type declaration and the attribute of an element that
// goes past kMaxAttributes end the parser's text (the cut): the parser would
// read the declaration's internal subset as it met it and expand the
// parameter entities in it, and a profile never has one; and it would spend
// time on the element that grows with the square of its attributes. An error
// the parser meets before the cut comes first. "<!DOCTYPE" is markup anywhere
// but in comments, processing instructions, CDATA sections and attribute
// values; in text the "<" is already an error that the parser meets first.
//
// Each character reference to a character that XML allows in no form
// (keptAsReferenceOnly) in text or in a tag is passed to
// onReference(position, reference, inValue), inValue telling whether it
// stands in a quoted attribute value; the walk stops where onReference
// returns false. In comments, processing instructions and CDATA sections
// "&#" is no reference.
template<typename OnReference>
Cut walkMarkup(QStringView text, OnReference &&onReference)
{
    const qsizetype n = text.size();
    bool prolog = true;
    qsizetype i = 0;
    // A reference at i is passed on; false when the walk is to stop.
    const auto reference = [&](qsizetype &at, bool inValue) {
        const std::optional<Reference> found = referenceAt(text, at);
        if (!found || !keptAsReferenceOnly(found->codePoint)) {
            at += 2;
            return true;
        }
        if (!onReference(at, *found, inValue))
            return false;
        at += found->length;
        return true;
    };
    const auto past = [&](QStringView end, qsizetype from) {
        const qsizetype at = text.indexOf(end, from);
        return at < 0 ? n : at + end.size();
    };
    // The references in [from, to), where the next "&#" is found by search:
    // text and values may be long.
    const auto references = [&](qsizetype from, qsizetype to, bool inValue) {
        for (qsizetype at = from; at < to;) {
            const qsizetype found = text.sliced(at, to - at).indexOf(u"&#");
            if (found < 0)
                break;
            at += found;
            if (!reference(at, inValue))
                return false;
        }
        return true;
    };
    while (i < n) {
        while (prolog && i < n && isBlank(text[i]))
            ++i;
        // Text, up to the next markup.
        qsizetype lt = text.indexOf(u'<', i);
        if (!references(i, lt < 0 ? n : lt, false))
            return {};
        if (lt < 0)
            break;
        prolog = prolog && lt == i;
        const QStringView markup = text.sliced(lt);
        // Most markup is tags: the next character tells them apart cheaply.
        const QChar second = markup.size() > 1 ? markup[1] : QChar();
        if (second == u'!' && markup.startsWith(u"<!--")) {
            i = past(u"-->", lt + 4);
        } else if (second == u'?') {
            i = past(u"?>", lt + 2);
        } else if (second == u'!' && markup.startsWith(u"<![CDATA[")) {
            prolog = false;
            i = past(u"]]>", lt + 9);
        } else if (second == u'!' && markup.startsWith(u"<!DOCTYPE")) {
            return {Cut::Kind::Doctype, lt, prolog};
        } else {
            // A tag, or a "<" the parser refuses. Outside quoted values each
            // attribute has one "="; a malformed tag is the parser's to report,
            // and it meets the error before the cut.
            prolog = false;
            int attributes = 0;
            qsizetype j = lt + 1;
            while (j < n) {
                const QChar c = text[j];
                if (c == u'"' || c == u'\'') {
                    qsizetype close = text.indexOf(c, j + 1);
                    if (close < 0)
                        close = n;
                    if (!references(j + 1, close, true))
                        return {};
                    j = close + 1;
                    continue;
                }
                if (c == u'&' && j + 1 < n && text[j + 1] == u'#') {
                    if (!reference(j, false))
                        return {};
                    continue;
                }
                if (c == u'=' && ++attributes > kMaxAttributes)
                    return {Cut::Kind::Crowded, j, false};
                if (c == u'<')
                    break;
                ++j;
                if (c == u'>')
                    break;
            }
            i = j;
        }
    }
    return {};
}

// The text the parser reads: the file's text up to the cut, where each
// character reference to a character that XML allows in no form
// (keptAsReferenceOnly) is replaced by a private-use character that the file
// uses nowhere, raw or referenced, so that restore() can tell them apart and
// put the original back in the values. In attribute values the character
// stands for itself, which costs the parser least; elsewhere a reference to
// it, which keeps a reference in a name the error it is. Positions the
// parser reports are mapped back to the file's text.
class ParserText
{
public:
    // text must outlive this.
    explicit ParserText(const QString &text) : m_source(text)
    {
        // Only the rare file with such references needs the private-use
        // characters it leaves alone.
        bool any = false;
        for (qsizetype i = m_source.indexOf(u"&#"); i >= 0 && !any; i = m_source.indexOf(u"&#", i + 2)) {
            const std::optional<Reference> reference = referenceAt(m_source, i);
            any = reference && keptAsReferenceOnly(reference->codePoint);
        }
        std::bitset<kBlocks> taken;
        if (any) {
            const auto take = [&](char32_t c) {
                if (c >= kFirstPrivate && c < kFirstPrivate + kBlocks * kBlockSize)
                    taken.set((c - kFirstPrivate) / kBlockSize);
            };
            for (const QChar c : m_source)
                take(c.unicode());
            for (qsizetype i = m_source.indexOf(u"&#"); i >= 0; i = m_source.indexOf(u"&#", i + 2)) {
                if (const std::optional<Reference> reference = referenceAt(m_source, i))
                    take(reference->codePoint);
            }
        }
        if (any && !taken.all()) { // else none, or the parser refuses them
            qsizetype block = 0;
            while (taken.test(static_cast<std::size_t>(block)))
                ++block;
            m_base = static_cast<char16_t>(kFirstPrivate + block * kBlockSize);
        }

        if (m_base == 0) {
            m_cut = walkMarkup(m_source, [](qsizetype, const Reference &, bool) { return true; });
            m_text = m_cut.kind == Cut::Kind::None ? text : m_source.first(m_cut.at).toString();
            return;
        }
        m_text.reserve(m_source.size());
        qsizetype copied = 0;
        m_cut = walkMarkup(m_source, [&](qsizetype at, const Reference &reference, bool inValue) {
            m_text += m_source.sliced(copied, at - copied);
            appendReplacement(reference, inValue);
            copied = at + reference.length;
            return true;
        });
        m_text +=
            m_source.sliced(copied, (m_cut.kind == Cut::Kind::None ? m_source.size() : m_cut.at) - copied);
    }

    const QString &text() const { return m_text; }
    const Cut &cut() const { return m_cut; }

    // The replacements are found again rather than kept: a position is
    // looked up only for an error, and a table of them would take more
    // memory than the text.
    qsizetype sourceOffset(qsizetype offset) const
    {
        if (m_base == 0)
            return offset;
        qsizetype delta = 0;
        walkMarkup(m_source, [&](qsizetype at, const Reference &reference, bool inValue) {
            const qsizetype length = inValue ? 1 : kReferenceLength;
            if (at - delta + length > offset) // its end in m_text
                return false;
            delta += reference.length - length;
            return true;
        });
        return offset + delta;
    }

    QString restore(QStringView value) const
    {
        QString out = value.toString();
        if (m_base == 0)
            return out;
        for (QChar &c : out) {
            const int slot = c.unicode() - m_base;
            if (slot >= 0 && slot < kSlots)
                c = QChar(slot < 0x20 ? char16_t(slot) : char16_t(0xFFFE + slot - 0x20));
        }
        return out;
    }

private:
    static constexpr char32_t kFirstPrivate = 0xE000;
    static constexpr std::size_t kBlockSize = 64;
    static constexpr std::size_t kBlocks = (0xF900 - kFirstPrivate) / kBlockSize;
    static constexpr int kSlots = 0x22; // U+0000 to U+001F, then U+FFFE and U+FFFF
    // "&#", the five decimal digits of a private-use code point, ";".
    static constexpr qsizetype kReferenceLength = 8;

    static int slotOf(char32_t c) { return c < 0x20 ? int(c) : int(0x20 + c - 0xFFFE); }

    void appendReplacement(const Reference &reference, bool inValue)
    {
        int codePoint = m_base + slotOf(reference.codePoint);
        if (inValue) {
            m_text += QChar(char16_t(codePoint));
            return;
        }
        std::array<char16_t, kReferenceLength> text{u'&', u'#', 0, 0, 0, 0, 0, u';'};
        for (std::size_t d = 6; d >= 2; --d, codePoint /= 10)
            text[d] = char16_t(u'0' + codePoint % 10);
        m_text.append(QStringView(text.data(), kReferenceLength));
    }

    QStringView m_source;
    QString m_text;
    Cut m_cut;
    char16_t m_base = 0; // 0: nothing replaced
};

std::optional<QStringView> attributeValue(const QXmlStreamAttributes *attributes, QStringView name)
{
    if (attributes) {
        for (const QXmlStreamAttribute &attribute : *attributes) {
            if (attribute.qualifiedName() == name)
                return attribute.value();
        }
    }
    return std::nullopt;
}

// Fills copies of the arrays, in the order a depth-first, pre-order walk
// visits the nodes below the root: a node nested in a "tagname" element
// takes the next index and moves every later node up by one. Only the first
// thirteen nodes are looked at. A node without both attributes is the
// conversion error, raised only once the whole file has been parsed: a file
// that is not well-formed fails with the parser's error instead.
struct Walk
{
    TOvStringArray values;
    TOvStringArray used;
    TOvStringArray choiceTexts;
    const ParserText &text;
    int counter = -1;
    bool failed = false;

    bool complete() const { return counter + 1 >= TOvStringArray::kCount; }

    void visit(const QXmlStreamAttributes *attributes)
    {
        if (failed || counter + 1 >= TOvStringArray::kCount)
            return;
        ++counter;
        const std::optional<QStringView> content = attributeValue(attributes, kContentAttribute);
        const std::optional<QStringView> isUsed = attributeValue(attributes, kUsedAttribute);
        if (!content || !isUsed) {
            failed = true;
            return;
        }
        values[counter] = text.restore(*content);
        used[counter] = text.restore(*isUsed);
        const std::optional<QStringView> choiceText = attributeValue(attributes, kChoiceTextAttribute);
        choiceTexts[counter] = choiceText ? text.restore(*choiceText) : QString();
    }
};

// The "social" element: only one that follows the thirteen nodes the walk
// takes and stands directly in the root counts, so that a file an older
// version reads the same way reads the same here.
struct SocialRead
{
    const ParserText &text;
    SocialEntries entries;
    bool found = false;
    bool refused = false; // a second element, or an attribute of no field
    bool missing = false; // a field or "isused" not given

    void read(const QXmlStreamAttributes &attributes)
    {
        if (found) {
            refused = true;
            return;
        }
        found = true;
        std::array<bool, tags::kSocialFieldCount> seen{};
        bool seenUsed = false;
        for (const QXmlStreamAttribute &attribute : attributes) {
            const QStringView name = attribute.qualifiedName();
            if (name == kUsedAttribute) {
                entries.used = text.restore(attribute.value());
                seenUsed = true;
            } else if (const int field = tags::socialFieldOfKey(name); field >= 0) {
                entries.values[std::size_t(field)] = text.restore(attribute.value());
                seen[std::size_t(field)] = true;
            } else {
                refused = true;
            }
        }
        missing = !seenUsed || std::find(seen.begin(), seen.end(), false) != seen.end();
    }
};

// The "head" element, read by the same rule as the "social" element.
struct HeadRead
{
    const ParserText &text;
    tags::HeadValues head;
    bool found = false;
    bool refused = false; // a second element, an attribute or a tick of no field
    bool missing = false; // a field or "used" not given

    void read(const QXmlStreamAttributes &attributes)
    {
        if (found) {
            refused = true;
            return;
        }
        found = true;
        std::array<bool, tags::kHeadFieldCount> seen{};
        bool seenUsed = false;
        for (const QXmlStreamAttribute &attribute : attributes) {
            const QStringView name = attribute.qualifiedName();
            if (name == kHeadUsedAttribute) {
                seenUsed = true;
                readTicks(text.restore(attribute.value()));
            } else if (const int field = tags::headFieldOfKey(name); field >= 0) {
                head[field] = text.restore(attribute.value());
                seen[std::size_t(field)] = true;
            } else {
                refused = true;
            }
        }
        missing = !seenUsed || std::find(seen.begin(), seen.end(), false) != seen.end();
    }

private:
    void readTicks(const QString &keys)
    {
        for (const QString &key : keys.split(u' ', Qt::SkipEmptyParts)) {
            const int field = tags::headFieldOfKey(key);
            if (field < 0 || !tags::headFieldInfo(field).tickable)
                refused = true;
            else
                head.used[std::size_t(field)] = true;
        }
    }
};

} // namespace

QString parseErrorMessage(const QString &reason, int line, const QString &source)
{
    return shownAsText(reason) + u"\r\n"_s + u"Line"_s + u": "_s + QString::number(line) + u"\r\n"_s +
           shownAsText(source);
}

QByteArray profileBytes(const TOvStringArray &values, const TOvStringArray &used, const ProfileExtras &extras)
{
    QString text = QString::fromUtf16(kRootStart);
    for (int i = 0; i < TOvStringArray::kCount; ++i) {
        text += u"<tagname content=\""_s;
        appendAttributeValue(text, values[i]);
        text += u"\" isused=\""_s;
        appendAttributeValue(text, used[i]);
        if (!extras.choiceTexts[i].isEmpty()) {
            text += u"\" text=\""_s;
            appendAttributeValue(text, extras.choiceTexts[i]);
        }
        text += u"\"/>"_s;
    }
    const SocialEntries &social = extras.social;
    if (!social.isEmpty()) {
        text += u"<social"_s;
        for (int f = 0; f < tags::kSocialFieldCount; ++f) {
            text += u' ' + toQString(tags::socialFieldInfo(f).key) + u"=\""_s;
            appendAttributeValue(text, social.values[std::size_t(f)]);
            text += u'"';
        }
        text += u" isused=\""_s;
        appendAttributeValue(text, social.used);
        text += u"\"/>"_s;
    }
    const tags::HeadValues &head = extras.head;
    if (head.hasValues() || head.anyUsed()) {
        text += u"<head"_s;
        QStringList ticked;
        for (int f = 0; f < tags::kHeadFieldCount; ++f) {
            const QString key = toQString(tags::headFieldInfo(f).key);
            text += u' ' + key + u"=\""_s;
            appendAttributeValue(text, head[f]);
            text += u'"';
            if (head.isUsed(f))
                ticked.append(key);
        }
        text += u' ' + QString::fromUtf16(kHeadUsedAttribute) + u"=\""_s + ticked.join(u' ') + u"\"/>"_s;
    }
    text += kRootEnd;
    return text.toUtf8();
}

void WriteProfile(const TOvStringArray &values, const TOvStringArray &used, const QString &path)
{
    writeFileSafely(path, profileBytes(values, used));
}

void WriteProfile(const TOvStringArray &values, const TOvStringArray &used, const ProfileExtras &extras,
                  const QString &path)
{
    writeFileSafely(path, profileBytes(values, used, extras));
}

namespace {

// The parser is given the text in pieces: given all of it at once, it would
// keep two copies of the whole besides ours.
class ParserFeed
{
public:
    explicit ParserFeed(const QString &text) : m_text(text) {}

    // Adds the next piece; false when all has been given. A piece never ends
    // inside a surrogate pair, nor after a "]", since the parser does not
    // see a "]]>" in text whose pieces it gets apart.
    bool next(QXmlStreamReader &xml)
    {
        if (m_fed == m_text.size())
            return false;
        qsizetype end = std::min(m_fed + kPiece, m_text.size());
        while (end < m_text.size() && (m_text[end - 1].isHighSurrogate() || m_text[end - 1] == u']'))
            ++end;
        xml.addData(m_text.sliced(m_fed, end - m_fed));
        m_fed = end;
        return true;
    }
    // Adds all that is left. The parser ends the document where its text
    // runs out after the root element, without waiting for more: what
    // follows the root must reach it at once.
    void rest(QXmlStreamReader &xml)
    {
        if (m_fed < m_text.size())
            xml.addData(m_text.sliced(m_fed));
        m_fed = m_text.size();
    }

private:
    static constexpr qsizetype kPiece = 64 << 10;
    const QString &m_text;
    qsizetype m_fed = 0;
};

ReadOutcome readDecoded(const DecodedText &decoded, TOvStringArray &values, TOvStringArray &used,
                        ProfileExtras *extras)
{
    const ParserText parsed(decoded.text);
    const Cut &cut = parsed.cut();
    const bool cutShort = cut.kind != Cut::Kind::None || !decoded.complete;

    enum class FirstNode
    {
        None,
        Root,
        Other
    } first = FirstNode::None;
    Walk walk{values, used, extras ? extras->choiceTexts : TOvStringArray(), parsed};
    SocialRead socialRead{parsed, {}};
    HeadRead headRead{parsed, {}};
    int depth = 0;
    QXmlStreamReader xml;
    // Names are compared whole, prefix and all, as plain XML 1.0 sees them.
    xml.setNamespaceProcessing(false);
    ParserFeed feed(parsed.text());
    feed.next(xml);
    for (;;) {
        if (xml.atEnd() && !(xml.error() == QXmlStreamReader::PrematureEndOfDocumentError && feed.next(xml)))
            break;
        switch (xml.readNext()) {
        case QXmlStreamReader::StartDocument:
            if (!xml.documentVersion().isEmpty())
                first = FirstNode::Other; // an XML declaration is a node of its own
            break;
        case QXmlStreamReader::StartElement:
            if (first == FirstNode::None)
                first = xml.qualifiedName() == kRootName ? FirstNode::Root : FirstNode::Other;
            if (++depth > kMaxNesting) {
                throw parseError(decoded.text, QString::fromUtf16(kDeepReason),
                                 parsed.sourceOffset(xml.characterOffset()));
            }
            if (depth == 1)
                break;
            // Past the thirteenth node the walk takes nothing more.
            if (!walk.complete()) {
                const QXmlStreamAttributes attributes = xml.attributes();
                walk.visit(&attributes);
            } else if (depth == 2 && xml.qualifiedName() == kSocialName) {
                socialRead.read(xml.attributes());
            } else if (depth == 2 && xml.qualifiedName() == kHeadName) {
                headRead.read(xml.attributes());
            }
            break;
        case QXmlStreamReader::EndElement:
            if (--depth == 0)
                feed.rest(xml);
            break;
        case QXmlStreamReader::Characters:
            if (xml.isWhitespace() && !xml.isCDATA())
                break; // blanks between elements are no nodes
            [[fallthrough]];
        case QXmlStreamReader::Comment:
        case QXmlStreamReader::ProcessingInstruction:
        case QXmlStreamReader::DTD:
        case QXmlStreamReader::EntityReference:
            if (first == FirstNode::None)
                first = FirstNode::Other;
            if (depth > 0)
                walk.visit(nullptr);
            break;
        default:
            break;
        }
    }

    // The parser met the end of the text it was given early when the text
    // was cut short: then the reason for the cut is the error.
    if (xml.hasError() && !(cutShort && xml.error() == QXmlStreamReader::PrematureEndOfDocumentError))
        throw parseError(decoded.text, xml.errorString(), parsed.sourceOffset(xml.characterOffset()));
    switch (cut.kind) {
    case Cut::Kind::Doctype:
        if (cut.inProlog)
            return ReadOutcome::NotAProfile; // it, or a node before it, is the first node
        throw parseError(decoded.text, parserReason("Unexpected '%1'.").arg(u"<!DOCTYPE"_s), cut.at + 9);
    case Cut::Kind::Crowded:
        throw parseError(decoded.text, QString::fromUtf16(kCrowdedReason), cut.at + 1);
    case Cut::Kind::None:
        break;
    }
    if (!decoded.complete)
        throw parseError(decoded.text, parserReason("Encountered incorrectly encoded content."),
                         decoded.text.size());

    if (first != FirstNode::Root)
        return ReadOutcome::NotAProfile;
    if (walk.failed)
        throw Error(QString::fromUtf16(kMissingAttributeError));
    if (socialRead.refused || headRead.refused)
        return ReadOutcome::NotAProfile;
    if (socialRead.missing || headRead.missing)
        throw Error(QString::fromUtf16(kMissingAttributeError));
    values = walk.values;
    used = walk.used;
    if (extras)
        *extras = {walk.choiceTexts, socialRead.entries, headRead.head};
    return ReadOutcome::Accepted;
}

} // namespace

ReadOutcome readProfileBytes(QByteArrayView data, TOvStringArray &values, TOvStringArray &used,
                             ProfileExtras *extras)
{
    return readDecoded(decode(data), values, used, extras);
}

namespace {

// Read straight into the one buffer the bytes are kept in (unbuffered, and
// for a file of known size at once). Devices, pipes and the files under
// /proc report no size: for them reading stops one byte past the limit.
QByteArray readProfileFile(const QString &path)
{
    const auto failure = [](const QString &reason) { return Error(parseErrorMessage(reason, 0, {})); };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw failure(file.errorString());
    const qint64 size = file.size();
    if (size > kMaxProfileBytes)
        throw failure(QString::fromUtf16(kTooLargeReason));
    QByteArray data(size > 0 ? size + 1 : kFirstReadSize, Qt::Uninitialized);
    qsizetype filled = 0;
    for (;;) {
        if (filled > kMaxProfileBytes)
            throw failure(QString::fromUtf16(kTooLargeReason));
        if (filled == data.size())
            data.resize(std::min<qsizetype>(2 * filled, kMaxProfileBytes + 1));
        const qint64 read = file.read(data.data() + filled, data.size() - filled);
        if (read < 0)
            throw failure(file.errorString());
        if (read == 0)
            break;
        filled += read;
    }
    data.truncate(filled);
    return data;
}

} // namespace

ReadOutcome ReadProfile(const QString &path, TOvStringArray &values, TOvStringArray &used,
                        ProfileExtras *extras)
{
    DecodedText decoded;
    {
        // The bytes are let go once decoded.
        const QByteArray data = readProfileFile(path);
        decoded = decode(data);
    }
    return readDecoded(decoded, values, used, extras);
}

} // namespace brindle::profile
