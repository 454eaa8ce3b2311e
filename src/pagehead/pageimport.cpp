#include "pagehead/pageimport.h"

#include "base/error.h"
#include "base/filename.h"
#include "base/textutil.h"
#include "pagehead/pagecharset.h"

#include <gumbo.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace brindle::pagehead {

using namespace brindle::tags;

namespace {

const HeadAttribute *nonEmpty(const HeadAttribute *a)
{
    return a && !a->value.trimmed().isEmpty() ? a : nullptr;
}

} // namespace

QString tagName(int tagIndex)
{
    return toQString(tagInfo(tagIndex).rowText).toLower();
}

int tagOfElement(const HeadElement &element)
{
    if (element.depth != 0)
        return -1;
    if (element.name == u"title"_s)
        return Title;
    if (element.name != u"meta"_s)
        return -1;
    if (const HeadAttribute *name = nonEmpty(element.attribute(u"name"))) {
        const QString wanted = name->value.trimmed();
        for (int t = Description; t <= Robots; ++t) {
            if (wanted.compare(tagName(t), Qt::CaseInsensitive) == 0)
                return t;
        }
        return -1;
    }
    if (const HeadAttribute *equiv = nonEmpty(element.attribute(u"http-equiv"))) {
        const QString wanted = equiv->value.trimmed();
        if (wanted.compare(u"cache-control"_s, Qt::CaseInsensitive) == 0)
            return CacheControl;
        if (wanted.compare(u"content-language"_s, Qt::CaseInsensitive) == 0)
            return ContentLanguage;
        if (wanted.compare(u"content-type"_s, Qt::CaseInsensitive) == 0)
            return Charset;
        return -1;
    }
    return element.attribute(u"charset") ? Charset : -1;
}

namespace {

bool isTokenSeparator(QChar c)
{
    return c.unicode() < 0x80 && isAsciiBlank(char(c.unicode()));
}

// Whether a rel attribute's token list holds token: tokens are separated by
// ASCII blanks and compared without regard to case, so "shortcut icon" is an icon.
bool relHas(const HeadElement &element, QStringView token)
{
    const HeadAttribute *rel = element.attribute(u"rel");
    if (!rel)
        return false;
    const QStringView value(rel->value);
    qsizetype i = 0;
    while (i < value.size()) {
        while (i < value.size() && isTokenSeparator(value[i]))
            ++i;
        const qsizetype from = i;
        while (i < value.size() && !isTokenSeparator(value[i]))
            ++i;
        if (i > from && value.sliced(from, i - from).compare(token, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool hasValue(const HeadElement &element, QStringView attribute)
{
    return nonEmpty(element.attribute(attribute)) != nullptr;
}

} // namespace

QString structuredDataTypeOf(const HeadElement &element)
{
    if (element.name != u"script"_s)
        return {};
    const HeadAttribute *type = element.attribute(u"type");
    if (!type || type->value.trimmed().compare(u"application/ld+json"_s, Qt::CaseInsensitive) != 0)
        return {};
    const QJsonDocument json = QJsonDocument::fromJson(element.text.toUtf8());
    return json.isObject() ? json.object().value(u"@type"_s).toString() : QString();
}

int headFieldOfElement(const HeadElement &element)
{
    if (element.depth != 0)
        return -1;
    if (element.name == u"meta"_s) {
        const HeadAttribute *name = nonEmpty(element.attribute(u"name"));
        if (!name)
            return -1;
        const QString wanted = name->value.trimmed();
        if (wanted.compare(u"viewport"_s, Qt::CaseInsensitive) == 0)
            return Viewport;
        if (wanted.compare(u"theme-color"_s, Qt::CaseInsensitive) == 0 && !hasValue(element, u"media"))
            return ThemeColor;
        return -1;
    }
    if (element.name == u"link"_s) {
        if (relHas(element, u"canonical"))
            return Canonical;
        if (relHas(element, u"alternate") && element.attribute(u"hreflang"))
            return Alternates;
        if (relHas(element, u"icon") && !element.attribute(u"sizes") && !hasValue(element, u"media"))
            return Icon;
        return -1;
    }
    if (element.name == u"script"_s) {
        const QString type = structuredDataTypeOf(element);
        return !type.isEmpty() && headValueProblem(StructuredData, type).isEmpty() ? StructuredData : -1;
    }
    return -1;
}

QString languageOfPage(const PageHead &head)
{
    if (!head.html)
        return {};
    for (const QStringView name : {u"lang", u"xml:lang"}) {
        if (const HeadAttribute *lang = head.html->attribute(name))
            return lang->value.isNull() ? u""_s : lang->value;
    }
    return {};
}

int socialFieldOfElement(const HeadElement &element)
{
    if (element.depth != 0 || element.name != u"meta"_s)
        return -1;
    for (const QStringView attribute : {u"property", u"name"}) {
        if (const HeadAttribute *name = nonEmpty(element.attribute(attribute)))
            return socialFieldOfProperty(name->value.trimmed());
    }
    return -1;
}

QString findingName(const TagFinding &finding)
{
    if (finding.tagIndex >= 0)
        return tagName(finding.tagIndex);
    if (finding.headField >= 0)
        return toQString(headFieldInfo(finding.headField).key);
    return toQString(socialFieldInfo(finding.socialField).property);
}

QString singleLineValue(const QString &value)
{
    QString line = value;
    // As the page's line breaks reach a browser: CR LF is one.
    line.replace(u"\r\n"_s, u" "_s);
    for (QChar &c : line) {
        if (c == u'\r' || c == u'\n' || c == u'\t' || c == u'\f')
            c = u' ';
    }
    return line;
}

namespace {

// The title as browsers show it: runs of ASCII blanks are one space, none at either end.
QString collapsedTitle(const QString &title)
{
    QString collapsed;
    collapsed.reserve(title.size());
    bool blank = false;
    for (QChar c : title) {
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f') {
            blank = true;
            continue;
        }
        if (blank && !collapsed.isEmpty())
            collapsed += u' ';
        blank = false;
        collapsed += c;
    }
    return collapsed;
}

} // namespace

QString tagValueOf(const HeadElement &element, int tagIndex)
{
    if (tagIndex == Title)
        return collapsedTitle(element.text);
    if (tagIndex == Charset) {
        if (const HeadAttribute *charset = element.attribute(u"charset"))
            return charset->value.trimmed();
        const HeadAttribute *content = element.attribute(u"content");
        return content ? charsetOfContentType(content->value).value_or(QString()).trimmed() : QString();
    }
    const HeadAttribute *content = element.attribute(u"content");
    return content ? singleLineValue(content->value) : QString();
}

TagValues ImportedProfile::tagValues() const
{
    TagValues values;
    values.values = texts;
    values.charsetItem = items[Charset];
    values.social = social;
    values.head = head;
    return values;
}

ImportedProfile newProfileValues()
{
    ImportedProfile profile;
    for (int t = 0; t < kTagCount; ++t) {
        const TagInfo &info = tagInfo(t);
        profile.items[std::size_t(t)] = info.defaultItem;
        if (info.kind == InputKind::Choice)
            profile.texts[std::size_t(t)] = toQString(info.items[std::size_t(info.defaultItem)]);
    }
    return profile;
}

namespace {

// An attribute value as browsers take it, its character references
// decoded: the head lines escape what they write ("&" as "&amp;"), so the
// value is what writes the page's bytes again.
QString decodedAttribute(const QString &asWritten)
{
    if (!asWritten.contains(u'&'))
        return asWritten;
    QString quoted = asWritten;
    quoted.replace(u'"', u"&quot;"_s);
    const QByteArray document = "<meta content=\"" + quoted.toUtf8() + "\">";
    GumboOutput *output =
        gumbo_parse_with_options(&kGumboDefaultOptions, document.constData(), std::size_t(document.size()));
    QString decoded = asWritten;
    // html > head > meta
    const GumboNode *node = output->root;
    for (int depth = 0; node && depth < 2; ++depth) {
        const GumboVector &children = node->v.element.children;
        node = children.length > 0 ? static_cast<const GumboNode *>(children.data[0]) : nullptr;
        if (node && node->type != GUMBO_NODE_ELEMENT)
            node = nullptr;
    }
    if (node && node->v.element.tag == GUMBO_TAG_META) {
        if (const GumboAttribute *a = gumbo_get_attribute(&node->v.element.attributes, "content"))
            decoded = QString::fromUtf8(a->value);
    }
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    return decoded;
}

// A URL of the structured data: a string, or an ImageObject's url.
QString urlOf(const QJsonValue &value)
{
    return value.isObject() ? value.toObject().value(u"url"_s).toString() : value.toString();
}

// The head fields of a page, into profile.head: the first element of each
// field (every alternate, in order), the <html>'s language, and the
// structured data's type with its own fields. A value the window would
// refuse is reported and left empty, and its field stays unticked, so
// that applying the profile leaves the page's tag as it is.
class HeadFieldImport
{
public:
    HeadFieldImport(const PageHead &head, ImportedProfile &profile) : m_profile(profile)
    {
        if (const QString lang = languageOfPage(head); !lang.isNull()) {
            m_profile.findings.push_back({-1, -1, head.html->start.line, false, Language});
            take(Language, singleLineValue(decodedAttribute(lang)), head.html->start.line);
        }
    }

    // Takes the element when it is a head field's.
    void element(const HeadElement &element)
    {
        const int f = headFieldOfElement(element);
        if (f < 0) {
            warnOfOtherStructuredData(element);
            return;
        }
        const bool repeated = f != Alternates && m_seen[std::size_t(f)];
        m_profile.findings.push_back({-1, -1, element.start.line, repeated, f});
        if (repeated)
            return;
        m_seen[std::size_t(f)] = true;
        const int line = element.start.line;
        const auto attribute = [&](QStringView name) {
            const HeadAttribute *a = element.attribute(name);
            return a ? singleLineValue(decodedAttribute(a->value)) : QString();
        };
        switch (f) {
        case Viewport:
        case ThemeColor:
            take(f, attribute(u"content"), line);
            break;
        case Canonical:
        case Icon:
            take(f, attribute(u"href"), line);
            break;
        case Alternates:
            if (m_alternates.isEmpty())
                m_alternatesLine = line;
            m_alternates.push_back({attribute(u"hreflang"), attribute(u"href")});
            break;
        case StructuredData: {
            const QJsonObject json = QJsonDocument::fromJson(element.text.toUtf8()).object();
            take(StructuredData, json.value(u"@type"_s).toString(), line);
            take(DatePublished, json.value(u"datePublished"_s).toString(), line);
            take(DateModified, json.value(u"dateModified"_s).toString(), line);
            QString logo = urlOf(json.value(u"logo"_s));
            if (logo.isEmpty())
                logo = urlOf(json.value(u"publisher"_s).toObject().value(u"logo"_s));
            take(Logo, logo, line);
            break;
        }
        default:
            break;
        }
    }

    // The alternates are one field: one refused entry leaves all of them
    // out, as applying only the others would remove it from the page.
    void finish()
    {
        if (m_alternates.isEmpty())
            return;
        QString problem;
        for (const Alternate &alternate : std::as_const(m_alternates)) {
            // An entry the text cannot carry would come back as another one.
            if (alternate.language.isEmpty() || alternate.address.isEmpty() ||
                alternate.language.contains(u'=') || alternate.address.contains(u' ')) {
                problem =
                    u"alternate: \"%1=%2\" is not LANG=URL"_s.arg(alternate.language, alternate.address);
                break;
            }
        }
        const QString text = alternatesText(m_alternates);
        if (problem.isEmpty())
            problem = headValueProblem(Alternates, text);
        if (!problem.isEmpty())
            m_profile.warnings.push_back({m_alternatesLine, problem + u"; left empty"_s});
        else
            take(Alternates, text, m_alternatesLine);
    }

private:
    void take(int field, const QString &value, int line)
    {
        if (value.isEmpty())
            return;
        if (const QString problem = headValueProblem(field, value); !problem.isEmpty()) {
            m_profile.warnings.push_back({line, problem + u"; left empty"_s});
            return;
        }
        m_profile.head[field] = value;
        m_profile.head.used[std::size_t(field)] = headFieldInfo(field).tickable;
    }

    // Structured data of a type Brindle does not write, or no JSON it
    // understands: told, and left to the page.
    void warnOfOtherStructuredData(const HeadElement &element)
    {
        if (element.depth != 0 || element.name != u"script"_s)
            return;
        const HeadAttribute *type = element.attribute(u"type");
        if (!type || type->value.trimmed().compare(u"application/ld+json"_s, Qt::CaseInsensitive) != 0)
            return;
        const QString dataType = structuredDataTypeOf(element);
        m_profile.warnings.push_back(
            {element.start.line,
             dataType.isEmpty()
                 ? u"structured-data: the script is no JSON object with a @type; left as it is"_s
                 : u"structured-data: type \"%1\" is none that Brindle writes; left as it is"_s.arg(
                       dataType)});
    }

    ImportedProfile &m_profile;
    std::array<bool, kHeadFieldCount> m_seen{};
    QList<Alternate> m_alternates;
    int m_alternatesLine = 0;
};

} // namespace

ImportedProfile importHead(const PageHead &head)
{
    ImportedProfile profile = newProfileValues();
    profile.xhtml = head.xhtml;
    std::array<bool, kTagCount> seen{};
    std::array<bool, kSocialFieldCount> seenSocial{};
    HeadFieldImport headFields(head, profile);
    for (const HeadElement &element : head.elements) {
        const int t = tagOfElement(element);
        if (t < 0) {
            const int f = socialFieldOfElement(element);
            if (f < 0) {
                headFields.element(element);
                continue;
            }
            profile.findings.push_back({-1, f, element.start.line, seenSocial[std::size_t(f)], -1});
            if (seenSocial[std::size_t(f)])
                continue;
            seenSocial[std::size_t(f)] = true;
            profile.social.used = true;
            const HeadAttribute *content = element.attribute(u"content");
            const QString value = content ? singleLineValue(content->value) : QString();
            // One odd optional value does not cost the page's other tags.
            if (const QString problem = socialValueProblem(f, value); !problem.isEmpty()) {
                profile.warnings.push_back({element.start.line, problem + u"; left empty"_s});
                continue;
            }
            profile.social[f] = value;
            continue;
        }
        const auto slot = std::size_t(t);
        profile.findings.push_back({t, -1, element.start.line, seen[slot], -1});
        if (seen[slot])
            continue;
        seen[slot] = true;
        profile.ticks[std::size_t(listRowOfTag(t))] = true;
        const QString value = tagValueOf(element, t);
        if (t == Charset) {
            const int item = charsetItemOfName(value);
            profile.items[slot] = item;
            profile.texts[slot] = item >= 0 ? toQString(kCharsetItems[std::size_t(item)]) : value;
            if (item < 0) {
                profile.unknownCharset = value;
                profile.unknownCharsetLine = element.start.line;
            }
        } else {
            profile.texts[slot] = value;
            if (tagInfo(t).kind == InputKind::Choice)
                profile.items[slot] = itemIndexOfText(t, toView(value.toUtf8()));
        }
    }
    headFields.finish();
    // The alternates are told at their first line, after the page's other tags.
    std::stable_sort(profile.warnings.begin(), profile.warnings.end(),
                     [](const ImportWarning &a, const ImportWarning &b) { return a.line < b.line; });
    return profile;
}

QString pageMessage(const QString &path, const QString &reason)
{
    return displayFileName(path) + u": "_s + reason;
}

ImportedProfile importPage(const QString &path)
{
    PageHead head;
    try {
        head = readHeadOfFile(path);
    } catch (const Error &e) {
        throw Error(pageMessage(path, e.message()));
    }
    if (head.problem != HeadProblem::None)
        throw Error(pageMessage(path, head.problemText));
    if (!head.headTagWritten && head.elements.empty())
        throw Error(pageMessage(path, u"has no head: not an HTML page"_s));
    return importHead(head);
}

} // namespace brindle::pagehead
