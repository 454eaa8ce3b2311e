#include "pagehead/pageapply.h"

#include "base/error.h"
#include "base/filename.h"
#include "base/filewriter.h"
#include "base/textutil.h"
#include "pagehead/pagecharset.h"
#include "pagehead/pageimport.h"

#include <algorithm>
#include <optional>
#include <unordered_set>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace brindle::pagehead {

using namespace brindle::tags;

namespace {

bool isVoid(const QString &name)
{
    return name == u"meta"_s || name == u"link"_s || name == u"base"_s || name == u"basefont"_s ||
           name == u"bgsound"_s;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

qsizetype lineStartOf(QByteArrayView page, qsizetype pos)
{
    while (pos > 0 && !isLineEnd(page[pos - 1]))
        --pos;
    return pos;
}

QByteArray indentOf(QByteArrayView page, qsizetype pos)
{
    const qsizetype start = lineStartOf(page, pos);
    qsizetype i = start;
    while (i < page.size() && isBlank(page[i]))
        ++i;
    return page.sliced(start, i - start).toByteArray();
}

bool blankBefore(QByteArrayView page, qsizetype pos)
{
    for (qsizetype i = lineStartOf(page, pos); i < pos; ++i) {
        if (!isBlank(page[i]))
            return false;
    }
    return true;
}

// Where the line of pos ends when only blanks follow pos on it: the offset
// of its line end, or page.size() at the end of the bytes; -1 when
// something else follows.
qsizetype blankLineEndAfter(QByteArrayView page, qsizetype pos)
{
    qsizetype i = pos;
    while (i < page.size() && isBlank(page[i]))
        ++i;
    if (i == page.size())
        return i;
    return isLineEnd(page[i]) ? i : -1;
}

qsizetype pastLineEnd(QByteArrayView page, qsizetype lineEnd)
{
    return page[lineEnd] == '\r' && lineEnd + 1 < page.size() && page[lineEnd + 1] == '\n' ? lineEnd + 2
                                                                                           : lineEnd + 1;
}

// The line end lines inserted at `at` take: that of the line before them.
// At a line's start that is the line that ends there; within a line, the
// line itself; on a last line without an end, the line before it.
QByteArray lineEndBefore(QByteArrayView page, qsizetype at, const QByteArray &pageLineEnd)
{
    if (at > 0 && isLineEnd(page[at - 1])) {
        const qsizetype end = page[at - 1] == '\n' && at >= 2 && page[at - 2] == '\r' ? at - 2 : at - 1;
        return page.sliced(end, at - end).toByteArray();
    }
    qsizetype i = at;
    while (i < page.size() && !isLineEnd(page[i]))
        ++i;
    if (i < page.size())
        return page.sliced(i, pastLineEnd(page, i) - i).toByteArray();
    const qsizetype start = lineStartOf(page, at);
    return start > 0 ? lineEndBefore(page, start, pageLineEnd) : pageLineEnd;
}

// A later tag of a kind already there goes, with its line when it stands alone on one.
PageEdit removalOf(QByteArrayView page, const HeadElement &element)
{
    const qsizetype start = element.start.offset;
    if (blankBefore(page, start)) {
        const qsizetype lineEnd = blankLineEndAfter(page, element.end);
        if (lineEnd >= 0 && lineEnd < page.size())
            return {lineStartOf(page, start), pastLineEnd(page, lineEnd), {}};
    }
    return {start, element.end, {}};
}

QByteArray encodeLine(const QString &line, const QString &encoding)
{
    if (isUtf8Name(encoding))
        return line.toUtf8();
    const bool hz = encoding.compare(u"hz-gb-2312"_s, Qt::CaseInsensitive) == 0;
    bool ascii = true;
    for (QChar c : line)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii && !hz)
        return line.toLatin1();
    const std::optional<QByteArray> bytes = encodeCharset(line, encoding);
    if (!bytes)
        throw Error(u"its charset %1 has no form for the line %2"_s.arg(encoding, line));
    return *bytes;
}

// The lines for the tags the page lacks, placed after `anchorEnd`: on the
// next line when only blanks follow it on its own, else right after it,
// and then what followed goes on a line of its own.
// The lines indented, each as a whole line: at a line's start, each ends with
// the line end; after other text, each begins with one.
QByteArray lineBlock(const std::vector<QByteArray> &lines, const QByteArray &indent, const QByteArray &eol,
                     bool atLineStart)
{
    QByteArray block;
    for (const QByteArray &line : lines)
        block += atLineStart ? indent + line + eol : eol + indent + line;
    return block;
}

PageEdit insertionAfter(QByteArrayView page, qsizetype anchorEnd, const QByteArray &indent,
                        const std::vector<QByteArray> &lines, const QByteArray &pageLineEnd)
{
    const qsizetype lineEnd = blankLineEndAfter(page, anchorEnd);
    if (lineEnd >= 0 && lineEnd < page.size()) {
        const qsizetype at = pastLineEnd(page, lineEnd);
        return {at, at, lineBlock(lines, indent, lineEndBefore(page, at, pageLineEnd), true)};
    }
    const QByteArray eol = lineEndBefore(page, anchorEnd, pageLineEnd);
    QByteArray block = lineBlock(lines, indent, eol, false);
    if (lineEnd < 0)
        block += eol + indent;
    return {anchorEnd, anchorEnd, block};
}

PageEdit insertionBefore(QByteArrayView page, qsizetype headEnd, const QByteArray &indent,
                         const std::vector<QByteArray> &lines, const QByteArray &pageLineEnd)
{
    if (blankBefore(page, headEnd)) {
        const qsizetype at = lineStartOf(page, headEnd);
        return {at, at, lineBlock(lines, indent, lineEndBefore(page, at, pageLineEnd), true)};
    }
    const QByteArray eol = lineEndBefore(page, headEnd, pageLineEnd);
    return {headEnd, headEnd, lineBlock(lines, indent, eol, false) + eol + indentOf(page, headEnd)};
}

// Whether `&` at text[i] starts a character reference: &name;, &#digits; or &#xhex;.
bool startsReference(QStringView text, qsizetype i)
{
    qsizetype j = i + 1;
    const auto run = [&](auto &&accepts) {
        const qsizetype from = j;
        while (j < text.size() && accepts(text[j]))
            ++j;
        return j > from;
    };
    const auto isDigit = [](QChar c) { return c >= u'0' && c <= u'9'; };
    const auto isHex = [&](QChar c) { return isDigit(c) || (c.toLower() >= u'a' && c.toLower() <= u'f'); };
    const auto isNameChar = [&](QChar c) {
        return isDigit(c) || (c.toLower() >= u'a' && c.toLower() <= u'z');
    };
    bool ok = false;
    if (j < text.size() && text[j] == u'#') {
        ++j;
        if (j < text.size() && (text[j] == u'x' || text[j] == u'X')) {
            ++j;
            ok = run(isHex);
        } else {
            ok = run(isDigit);
        }
    } else if (j < text.size() && text[j].toLower() >= u'a' && text[j].toLower() <= u'z') {
        ok = run(isNameChar);
    }
    return ok && j < text.size() && text[j] == u';';
}

// The kinds of tag apply knows: the thirteen by TagIndex, then the social
// fields, then the head fields.
constexpr int kSocialKinds = kTagCount;
constexpr int kHeadKinds = kSocialKinds + kSocialFieldCount;
constexpr int kKinds = kHeadKinds + kHeadFieldCount;

QString kindName(int kind)
{
    if (kind < kSocialKinds)
        return tagName(kind);
    if (kind < kHeadKinds)
        return findingName({-1, kind - kSocialKinds, 0, false, -1});
    return findingName({-1, -1, 0, false, kind - kHeadKinds});
}

int kindOfElement(const HeadElement &element)
{
    if (const int t = tagOfElement(element); t >= 0)
        return t;
    if (const int f = socialFieldOfElement(element); f >= 0)
        return kSocialKinds + f;
    if (const int f = headFieldOfElement(element); f >= 0)
        return kHeadKinds + f;
    return -1;
}

// Throws brindle::Error, naming the tag, when its line would break the page:
// a title holding its own end tag ends early and leaves the rest of the
// value as markup (and every later run adds it again), and so does a
// script; "<!--" in a script can keep its end tag from ending it; in an
// XHTML page a "<" or a "&" that starts no character reference makes it
// malformed XML.
void refuseBreakingLine(int kind, const QString &line, bool xhtml)
{
    const QString name = kindName(kind);
    constexpr qsizetype kTitleTags = 15;             // "<title>" and "</title>"
    QStringView value = QStringView(line).sliced(1); // after the template's "<"
    if (kind == Title) {
        value = QStringView(line).sliced(7, line.size() - kTitleTags);
        if (value.contains(u"</title"_s, Qt::CaseInsensitive))
            throw Error(u"the title holds \"</title\", which would end it early; left alone"_s);
    } else if (kind == kHeadKinds + StructuredData) {
        const qsizetype open = line.indexOf(u'>') + 1;
        value = QStringView(line).sliced(open, line.lastIndexOf(u"</script>"_s) - open);
        if (value.contains(u"</script"_s, Qt::CaseInsensitive))
            throw Error(u"the %1 holds \"</script\", which would end it early; left alone"_s.arg(name));
        if (value.contains(u"<!--"_s))
            throw Error(
                u"the %1 holds \"<!--\", which can keep its script from ending; left alone"_s.arg(name));
    }
    if (!xhtml)
        return;
    if (value.contains(u'<'))
        throw Error(u"the %1 holds \"<\", which an XHTML page cannot hold; left alone"_s.arg(name));
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'&' && !startsReference(value, i))
            throw Error(u"the %1 holds a \"&\" that starts no character reference, which an XHTML page "
                        u"cannot hold; left alone"_s.arg(name));
    }
}

// Where an attribute of a start tag is in the page's bytes, as the
// tokenizer reads it.
struct AttributeBytes
{
    qsizetype nameEnd = 0;
    bool hasValue = false;
    qsizetype valueBegin = 0; // within the quotes
    qsizetype valueEnd = 0;
    qsizetype end = 0; // past the closing quote
};

AttributeBytes attributeBytes(QByteArrayView page, qsizetype at, qsizetype tagEnd)
{
    AttributeBytes a;
    qsizetype i = at;
    while (i < tagEnd && !isAsciiBlank(page[i]) && page[i] != '/' && page[i] != '>' &&
           (page[i] != '=' || i == at))
        ++i;
    a.nameEnd = i;
    a.end = i;
    while (i < tagEnd && isAsciiBlank(page[i]))
        ++i;
    if (i >= tagEnd || page[i] != '=')
        return a;
    ++i;
    while (i < tagEnd && isAsciiBlank(page[i]))
        ++i;
    a.hasValue = true;
    if (i < tagEnd && (page[i] == '"' || page[i] == '\'')) {
        const qsizetype close = page.sliced(0, tagEnd).indexOf(page[i], i + 1);
        if (close < 0)
            throw Error(u"its <html> start tag cannot be read for its lang; left alone"_s);
        a.valueBegin = i + 1;
        a.valueEnd = close;
        a.end = close + 1;
        return a;
    }
    a.valueBegin = i;
    while (i < tagEnd && !isAsciiBlank(page[i]) && page[i] != '>')
        ++i;
    a.valueEnd = i;
    a.end = i;
    return a;
}

// Where an attribute added to a start tag goes: after its last one, before
// the blanks and a self-closing "/" before its ">".
qsizetype endOfAttributes(QByteArrayView page, const HeadElement &tag)
{
    const qsizetype nameEnd = tag.start.offset + 1 + tag.name.size();
    qsizetype p = tag.startTagEnd - 1;
    while (p > nameEnd && isAsciiBlank(page[p - 1]))
        --p;
    if (p > nameEnd && page[p - 1] == '/') {
        // A "/" ending an unquoted value belongs to the value.
        const char before = page[p - 2];
        if (p - 1 == nameEnd || isAsciiBlank(before) || before == '"' || before == '\'') {
            --p;
            while (p > nameEnd && isAsciiBlank(page[p - 1]))
                --p;
        }
    }
    return p;
}

// The edits that give the page's <html> start tag the language: its lang
// and an xml:lang it has set or replaced, an XHTML page's xml:lang added
// too (before its lang, as the page builder writes them).
void addLanguageEdits(const PageHead &head, QByteArrayView page, const QString &language,
                      std::vector<PageEdit> &edits)
{
    if (!head.html)
        throw Error(u"has no <html> start tag to give its lang; left alone"_s);
    const HeadElement &html = *head.html;
    const qsizetype tagEnd = html.startTagEnd;
    if (tagEnd > page.size() || tagEnd <= html.start.offset || page[tagEnd - 1] != '>')
        throw Error(u"its <html> start tag cannot be read for its lang; left alone"_s);
    const QByteArray value = language.toUtf8();
    const HeadAttribute *lang = html.attribute(u"lang");
    const HeadAttribute *xmlLang = html.attribute(u"xml:lang");
    const auto setValue = [&](const HeadAttribute &attribute) {
        const AttributeBytes bytes = attributeBytes(page, attribute.offset, tagEnd);
        if (bytes.hasValue)
            edits.push_back({bytes.valueBegin, bytes.valueEnd, value});
        else
            edits.push_back({bytes.nameEnd, bytes.nameEnd, "=\"" + value + '"'});
        return bytes;
    };
    const QByteArray newLang = "lang=\"" + value + '"';
    const QByteArray newXmlLang = "xml:lang=\"" + value + '"';
    qsizetype afterXmlLang = -1;
    if (xmlLang)
        afterXmlLang = setValue(*xmlLang).end;
    if (lang)
        setValue(*lang);
    if (head.xhtml && !xmlLang && lang) {
        edits.push_back({lang->offset, lang->offset, newXmlLang + ' '});
    } else if (head.xhtml && !xmlLang) {
        const qsizetype at = endOfAttributes(page, html);
        edits.push_back({at, at, ' ' + newXmlLang + ' ' + newLang});
    } else if (!lang) {
        const qsizetype at = xmlLang ? afterXmlLang : endOfAttributes(page, html);
        edits.push_back({at, at, ' ' + newLang});
    }
}

// A title or script without end tag runs to the end of what was read: no
// edit can keep its extent.
void refuseUnclosed(const HeadElement &element)
{
    if (!element.endTagWritten && (element.name == u"title"_s || element.name == u"script"_s))
        throw Error(u"its <%1> has no end tag"_s.arg(element.name));
}

// Which head field a line the generator made is, as the reader finds it
// in a page: what it writes is what a later run must find again.
int headFieldOfLine(const QString &line)
{
    const QByteArray page = "<head>" + line.toUtf8() + "</head>";
    const std::optional<PageHead> head = parseHead(page, true);
    if (head && head->elements.size() == 1) {
        if (const int f = headFieldOfElement(head->elements.front()); f >= 0)
            return f;
    }
    throw Error(u"the line %1 is none of the head tags apply finds in a page"_s.arg(line));
}

} // namespace

ProfileLines ProfileLines::of(const TagValues &values, const RowTicks &ticks)
{
    ProfileLines lines;
    for (int t = 0; t < kTagCount; ++t) {
        if (!ticks[std::size_t(listRowOfTag(t))])
            continue;
        const QString &value = values.values[std::size_t(t)];
        // As the generator does: a ticked text tag without text writes nothing.
        if (t < kTextTagCount && value.isEmpty())
            continue;
        QString content = value;
        if (t == Charset) {
            const CharsetChoice charset = charsetChoice(values.charsetItem, value);
            if (!charset.refusal.isEmpty() && !charset.blank)
                throw Error(charset.refusal);
            content = charset.code;
        }
        // A choice without text, typed away or never read from a page: an
        // empty value would replace what a page says.
        if (content.isEmpty()) {
            lines.withoutText[std::size_t(t)] = true;
            continue;
        }
        lines.html[std::size_t(t)] = tagLine(t, content, TagMode::Html);
        lines.xhtml[std::size_t(t)] = tagLine(t, content, TagMode::Xhtml);
        if (t == Charset)
            lines.charsetCode = content;
    }
    // The generator checks the values; each line is then made as it makes it.
    socialLines(values.social, values.values[Title], values.values[Description], TagMode::Html);
    for (int f = 0; values.social.used && f < kSocialFieldCount; ++f) {
        const QString value =
            effectiveSocialValue(values.social, f, values.values[Title], values.values[Description]);
        if (value.isEmpty())
            continue;
        lines.socialHtml[std::size_t(f)] = socialLine(f, value, TagMode::Html);
        lines.socialXhtml[std::size_t(f)] = socialLine(f, value, TagMode::Xhtml);
    }
    if (!values.head.anyUsed())
        return lines;
    // The generator's lines, as it makes them with everything they depend on.
    const QStringList html = headLines(values, TagMode::Html);
    const QStringList xhtml = headLines(values, TagMode::Xhtml);
    for (qsizetype i = 0; i < html.size() && i < xhtml.size(); ++i) {
        const auto f = std::size_t(headFieldOfLine(html[i]));
        lines.headHtml[f] << html[i];
        lines.headXhtml[f] << xhtml[i];
    }
    if (!lines.headHtml[StructuredData].isEmpty())
        lines.structuredDataType = values.head[StructuredData];
    // headLines has checked it: a BCP 47 tag needs no escape in an attribute.
    if (values.head.isUsed(Language))
        lines.language = values.head[Language];
    return lines;
}

bool ProfileLines::writesNothing() const
{
    const auto empty = [](const QString &line) { return line.isEmpty(); };
    const auto none = [](const QStringList &lines) { return lines.isEmpty(); };
    return std::all_of(html.begin(), html.end(), empty) &&
           std::all_of(socialHtml.begin(), socialHtml.end(), empty) &&
           std::all_of(headHtml.begin(), headHtml.end(), none) && language.isEmpty() &&
           std::find(withoutText.begin(), withoutText.end(), true) == withoutText.end();
}

std::vector<PageEdit> planEdits(const PageHead &head, QByteArrayView page, const ProfileLines &lines,
                                const QString &encoding)
{
    std::array<QStringList, kKinds> text;
    const auto &tagLines = head.xhtml ? lines.xhtml : lines.html;
    const auto &fieldLines = head.xhtml ? lines.socialXhtml : lines.socialHtml;
    const auto &headFieldLines = head.xhtml ? lines.headXhtml : lines.headHtml;
    for (int t = 0; t < kTagCount; ++t) {
        if (!tagLines[std::size_t(t)].isEmpty())
            text[std::size_t(t)] << tagLines[std::size_t(t)];
    }
    for (std::size_t f = 0; f < fieldLines.size(); ++f) {
        if (!fieldLines[f].isEmpty())
            text[kSocialKinds + f] << fieldLines[f];
    }
    std::copy(headFieldLines.begin(), headFieldLines.end(), text.begin() + kHeadKinds);
    std::array<std::vector<const HeadElement *>, kKinds> found;
    for (const HeadElement &element : head.elements) {
        if (const int kind = kindOfElement(element); kind >= 0)
            found[std::size_t(kind)].push_back(&element);
    }

    std::vector<PageEdit> edits;
    std::unordered_set<const HeadElement *> removed; // a head of many duplicates stays linear
    std::vector<QByteArray> missing;
    // Alternates beyond the page's go after its last one, by the others.
    const HeadElement *extraAnchor = nullptr;
    std::vector<QByteArray> extra;
    for (int t = 0; t < kKinds; ++t) {
        const QStringList &kindLines = text[std::size_t(t)];
        std::vector<const HeadElement *> same = found[std::size_t(t)];
        // Structured data of another type is another script, not one to replace.
        if (t == kHeadKinds + StructuredData) {
            std::erase_if(same, [&](const HeadElement *element) {
                return structuredDataTypeOf(*element) != lines.structuredDataType;
            });
        }
        if (t < kTagCount && lines.withoutText[std::size_t(t)] && !same.empty()) {
            throw Error(u"its %1 tag would be emptied: the profile's %2 has no text"_s.arg(
                tagName(t), toQString(tagInfo(t).rowText)));
        }
        if (kindLines.isEmpty())
            continue;
        for (qsizetype i = 0; i < kindLines.size(); ++i) {
            const QString &line = kindLines[i];
            if (std::size_t(i) >= same.size()) {
                refuseBreakingLine(t, line, head.xhtml);
                (same.empty() ? missing : extra).push_back(encodeLine(line, encoding));
                continue;
            }
            const HeadElement &element = *same[std::size_t(i)];
            refuseUnclosed(element);
            QByteArray bytes = encodeLine(line, encoding);
            if (page.sliced(element.start.offset, element.end - element.start.offset) !=
                QByteArrayView(bytes))
                refuseBreakingLine(t, line, head.xhtml);
            edits.push_back({element.start.offset, element.end, std::move(bytes)});
        }
        if (!extra.empty() && !extraAnchor)
            extraAnchor = same.back();
        for (std::size_t k = std::size_t(kindLines.size()); k < same.size(); ++k) {
            refuseUnclosed(*same[k]);
            edits.push_back(removalOf(page, *same[k]));
            removed.insert(same[k]);
        }
    }
    if (!lines.language.isEmpty())
        addLanguageEdits(head, page, lines.language, edits);

    const QByteArray &eol = head.lineEnd;
    // A profile without head fields puts its lines where it did before
    // there were any: the head tags are no anchor for it.
    const bool headUsed =
        !lines.language.isEmpty() || std::any_of(headFieldLines.begin(), headFieldLines.end(),
                                                 [](const QStringList &l) { return !l.isEmpty(); });
    const HeadElement *last = nullptr;
    for (int kind = 0; kind < (headUsed ? kKinds : kHeadKinds); ++kind) {
        for (const HeadElement *element : found[std::size_t(kind)]) {
            if (!removed.contains(element) && (!last || element->start.offset > last->start.offset))
                last = element;
        }
    }
    if (extraAnchor == last && !missing.empty()) {
        missing.insert(missing.begin(), extra.begin(), extra.end());
    } else if (extraAnchor) {
        edits.push_back(
            insertionAfter(page, extraAnchor->end, indentOf(page, extraAnchor->start.offset), extra, eol));
    }
    if (!missing.empty()) {
        if (last)
            refuseUnclosed(*last);
        if (last) {
            edits.push_back(
                insertionAfter(page, last->end, indentOf(page, last->start.offset), missing, eol));
        } else {
            // Indented like the head's other children that begin a line.
            // Only after an element that is closed: after the start tag of a
            // <template> or <noscript> left open the lines would be inside it.
            const HeadElement *child = nullptr;
            for (const HeadElement &element : head.elements) {
                if (element.depth == 0 && (element.endTagWritten || isVoid(element.name)) &&
                    (head.headEndTag < 0 || element.start.offset < head.headEndTag))
                    child = &element;
            }
            const HeadElement *lined = nullptr;
            for (const HeadElement &element : head.elements) {
                if (element.depth == 0 && blankBefore(page, element.start.offset) &&
                    (head.headEndTag < 0 || element.start.offset < head.headEndTag))
                    lined = &element;
            }
            if (head.headEndTag >= 0) {
                const QByteArray indent =
                    lined ? indentOf(page, lined->start.offset) : indentOf(page, head.headEndTag);
                edits.push_back(insertionBefore(page, head.headEndTag, indent, missing, eol));
            } else if (child) {
                edits.push_back(
                    insertionAfter(page, child->end, indentOf(page, child->start.offset), missing, eol));
            } else if (head.headTagWritten) {
                edits.push_back(insertionAfter(page, head.headStartTagEnd,
                                               indentOf(page, head.headStartTagEnd - 1), missing, eol));
            } else {
                throw Error(u"has no place for the tags in its head"_s);
            }
        }
    }

    std::erase_if(edits, [page](const PageEdit &edit) {
        return page.sliced(edit.begin, edit.end - edit.begin) == QByteArrayView(edit.bytes);
    });
    std::stable_sort(edits.begin(), edits.end(), [](const PageEdit &a, const PageEdit &b) {
        return a.begin != b.begin ? a.begin < b.begin : a.end < b.end;
    });
    for (std::size_t i = 1; i < edits.size(); ++i) {
        if (edits[i].begin < edits[i - 1].end)
            throw Error(u"its tags overlap in a way Brindle cannot rewrite"_s);
    }
    return edits;
}

namespace {

void readWhole(PageFile &file)
{
    if (file.stamp().size > kRewriteLimit)
        throw Error(u"is larger than %1 MiB, too large to rewrite"_s.arg(kRewriteLimit >> 20));
    // One byte past the size it had shows whether it grew meanwhile.
    file.readUpTo(qsizetype(file.stamp().size) + 1);
    if (file.bytes().size() > kRewriteLimit)
        throw Error(u"is larger than %1 MiB, too large to rewrite"_s.arg(kRewriteLimit >> 20));
}

} // namespace

bool changesCharset(const PageHead &head, const ProfileLines &lines)
{
    return !lines.charsetCode.isEmpty() && !sameCharset(lines.charsetCode, head.encoding);
}

QString linesCharset(const PageHead &head, QByteArrayView wholePage, const ProfileLines &lines)
{
    return charsetForLines(head, wholePage, lines.charsetCode);
}

namespace {

// What keeps a page that would change from being written, before anything
// is written: another name of the same file would keep the old bytes, and
// a backup must never replace a file or go through a link.
void refuseUnsafeWrite(const PageFile &file, const QString &path, const ApplyOptions &options)
{
    if (file.linkCount() > 1)
        throw Error(
            u"has %1 names (hard links), which replacing it would split; left alone"_s.arg(file.linkCount()));
    if (options.backupSuffix.isEmpty())
        return;
    const QString backup = path + options.backupSuffix;
    struct stat st = {};
    if (::lstat(fileNameBytes(backup).constData(), &st) != 0)
        return;
    if (!options.replaceBackup)
        throw Error(u"its backup %1 exists already; left alone"_s.arg(displayFileName(backup)));
    if (!S_ISREG(st.st_mode))
        throw Error(u"its backup %1 is not a regular file; left alone"_s.arg(displayFileName(backup)));
}

} // namespace

PreparedPage preparePage(const QString &path, const ProfileLines &lines, const ApplyOptions &options,
                         FileBatch &batch, const FileStamp *found)
{
    PreparedPage prepared;
    prepared.path = path;
    PageResult &result = prepared.result;
    try {
        PageFile file(path);
        // The name may lead elsewhere now than when its folder was read.
        if (found && !file.stamp().sameFile(*found))
            throw Error(u"was replaced by another file after its folder was read; left alone"_s);
        const PageHead head = readHead(file);
        if (head.problem != HeadProblem::None)
            throw Error(head.problemText);
        if (!head.headTagWritten && head.elements.empty())
            throw Error(u"has no head: not an HTML page"_s);
        if (changesCharset(head, lines))
            readWhole(file);
        const QString encoding = linesCharset(head, file.bytes(), lines);
        const std::vector<PageEdit> edits = planEdits(head, file.bytes(), lines, encoding);
        if (edits.empty()) {
            result.outcome = PageOutcome::Unchanged;
            return prepared;
        }
        refuseUnsafeWrite(file, path, options);
        readWhole(file);
        if (options.dryRun) {
            result.diff = unifiedDiff(file.bytes(), edits, path);
            result.outcome = PageOutcome::Changed;
            return prepared;
        }
        prepared.stamp = file.stamp();
        prepared.readWhole = file.bytes().size() == file.stamp().size;
        // Written now, put in place by finishPage: the reasons they could
        // not be written wait there too, to be told in the order of the checks.
        if (!options.backupSuffix.isEmpty()) {
            WriteOptions backup;
            backup.followLinks = false;
            backup.keepExisting = !options.replaceBackup;
            backup.attributesFrom = file.descriptor();
            try {
                prepared.backup = batch.add(path + options.backupSuffix, file.bytes(), backup);
            } catch (const std::exception &e) {
                prepared.backupError = messageOf(e);
            }
        }
        WriteOptions page;
        page.attributesFrom = file.descriptor();
        page.expected = file.stamp();
        try {
            prepared.page = batch.add(path, editedPieces(file.bytes(), edits), page);
        } catch (const FileChanged &) {
            prepared.pageChanged = true;
        } catch (const std::exception &e) {
            prepared.pageError = messageOf(e);
        }
        prepared.pending = true;
    } catch (const std::exception &e) {
        result.outcome = PageOutcome::Failed;
        result.message = pageMessage(path, messageOf(e));
    }
    return prepared;
}

PageResult finishPage(const PreparedPage &prepared, const ApplyOptions &options, FileBatch &batch)
{
    if (!prepared.pending)
        return prepared.result;
    const QString &path = prepared.path;
    const QString changed = u"changed while it was being read; left alone"_s;
    PageResult result;
    try {
        // The file behind any symbolic link is what is replaced, and what must not have changed.
        const auto unchangedOnDisk = [&] {
            if (!prepared.readWhole || prepared.pageChanged)
                return false;
            if (prepared.page >= 0)
                return batch.targetUnchanged(prepared.page);
            return PageFile::stampOf(path) == prepared.stamp;
        };
        if (options.beforeReplace)
            options.beforeReplace(path);
        if (!unchangedOnDisk())
            throw Error(changed);
        if (!options.backupSuffix.isEmpty()) {
            try {
                if (!prepared.backupError.isEmpty())
                    throw Error(prepared.backupError);
                // A page whose new bytes could not be written stays, and needs no backup.
                if (prepared.pageError.isEmpty())
                    batch.replace(prepared.backup);
            } catch (const std::exception &e) {
                throw Error(u"cannot write the backup %1 (%2); left alone"_s.arg(
                    displayFileName(path + options.backupSuffix), messageOf(e)));
            }
        }
        try {
            if (!prepared.pageError.isEmpty())
                throw Error(prepared.pageError);
            batch.replace(prepared.page);
        } catch (const FileChanged &) {
            throw Error(changed);
        } catch (const std::exception &e) {
            throw Error(u"cannot be written (%1)"_s.arg(messageOf(e)));
        }
        result.outcome = PageOutcome::Changed;
    } catch (const std::exception &e) {
        result.outcome = PageOutcome::Failed;
        result.message = pageMessage(path, messageOf(e));
    }
    // What was not put in place goes.
    if (prepared.backup >= 0)
        batch.discard(prepared.backup);
    if (prepared.page >= 0)
        batch.discard(prepared.page);
    return result;
}

PageResult applyToPage(const QString &path, const ProfileLines &lines, const ApplyOptions &options)
{
    FileBatch batch;
    PageResult result = finishPage(preparePage(path, lines, options, batch), options, batch);
    for (const QString &failure : batch.syncFolders()) {
        result.outcome = PageOutcome::Failed;
        result.message = failure;
    }
    return result;
}

} // namespace brindle::pagehead
