#include "tags/headtags.h"

#include "base/error.h"
#include "base/textutil.h"
#include "tags/languagetag.h"
#include "tags/metataggenerator.h"

#include <QDate>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTime>
#include <QUrl>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace brindle::tags {

namespace {

const std::array<HeadFieldInfo, kHeadFieldCount> kHeadFields = {{
    {"viewport", "Viewport", true},
    {"canonical", "Canonical address", true},
    {"alternate", "Alternates", true},
    {"theme-color", "Theme colour", true},
    {"icon", "Icon", true},
    {"lang", "Language", true},
    {"structured-data", "Structured data", true},
    {"published", "Date published", false},
    {"modified", "Date modified", false},
    {"logo", "Logo", false},
}};

// The named colours of CSS, lower case, each between blanks; browsers take
// them in any case.
constexpr std::u16string_view kCssColourNames =
    u" "
    u"aliceblue antiquewhite aqua aquamarine azure beige bisque black blanchedalmond blue blueviolet "
    u"brown burlywood cadetblue chartreuse chocolate coral cornflowerblue cornsilk crimson cyan "
    u"darkblue darkcyan darkgoldenrod darkgray darkgreen darkgrey darkkhaki darkmagenta "
    u"darkolivegreen darkorange darkorchid darkred darksalmon darkseagreen darkslateblue "
    u"darkslategray darkslategrey darkturquoise darkviolet deeppink deepskyblue dimgray dimgrey "
    u"dodgerblue firebrick floralwhite forestgreen fuchsia gainsboro ghostwhite gold goldenrod gray "
    u"green greenyellow grey honeydew hotpink indianred indigo ivory khaki lavender lavenderblush "
    u"lawngreen lemonchiffon lightblue lightcoral lightcyan lightgoldenrodyellow lightgray lightgreen "
    u"lightgrey lightpink lightsalmon lightseagreen lightskyblue lightslategray lightslategrey "
    u"lightsteelblue lightyellow lime limegreen linen magenta maroon mediumaquamarine mediumblue "
    u"mediumorchid mediumpurple mediumseagreen mediumslateblue mediumspringgreen mediumturquoise "
    u"mediumvioletred midnightblue mintcream mistyrose moccasin navajowhite navy oldlace olive "
    u"olivedrab orange orangered orchid palegoldenrod palegreen paleturquoise palevioletred "
    u"papayawhip peachpuff peru pink plum powderblue purple rebeccapurple red rosybrown royalblue "
    u"saddlebrown salmon sandybrown seagreen seashell sienna silver skyblue slateblue slategray "
    u"slategrey snow springgreen steelblue tan teal thistle tomato turquoise violet wheat white "
    u"whitesmoke yellow yellowgreen ";

constexpr std::array<std::u16string_view, 3> kStructuredDataTypes = {u"WebSite", u"Organization", u"Article"};

QString keyOf(int field)
{
    return toQString(headFieldInfo(field).key);
}

bool hasBlankOrControl(const QString &value)
{
    return std::any_of(value.begin(), value.end(),
                       [](QChar c) { return c.isSpace() || c.category() == QChar::Other_Control; });
}

bool isCssColour(const QString &value)
{
    if (value.startsWith(u'#')) {
        const QStringView digits = QStringView(value).sliced(1);
        const bool hex = std::all_of(digits.begin(), digits.end(), [](QChar c) {
            return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        });
        return hex && (digits.size() == 3 || digits.size() == 4 || digits.size() == 6 || digits.size() == 8);
    }
    if (value.isEmpty() || hasBlankOrControl(value))
        return false;
    return toQString(kCssColourNames).contains(u' ' + value.toLower() + u' ');
}

// An address or a path as the site serves it ("/favicon.ico",
// "img/icon.png"); a scheme other than http and https is refused, since a
// browser would not fetch an icon from it.
bool isIconAddress(const QString &value)
{
    static const QRegularExpression scheme(u"^[A-Za-z][A-Za-z0-9+.-]*:"_s);
    if (scheme.match(value).hasMatch())
        return isAbsoluteWebAddress(value);
    return !hasBlankOrControl(value) && QUrl(value, QUrl::StrictMode).isValid();
}

// An ISO 8601 calendar date, or one with a time of day and optionally a
// zone: what search engines read for a date published or modified.
bool isIsoDateOrDateTime(const QString &value)
{
    static const QRegularExpression form(
        u"^(\\d{4})-(\\d{2})-(\\d{2})"
        u"(?:T(\\d{2}):(\\d{2})(?::(\\d{2})(?:\\.\\d{1,9})?)?(Z|[+-](\\d{2}):(\\d{2}))?)?$"_s);
    const QRegularExpressionMatch m = form.match(value);
    if (!m.hasMatch())
        return false;
    const auto number = [&](int group) { return m.capturedView(group).toInt(); };
    if (!QDate(number(1), number(2), number(3)).isValid())
        return false;
    if (m.capturedLength(4) > 0 && !QTime(number(4), number(5), number(6)).isValid())
        return false;
    return m.capturedLength(8) == 0 || (number(8) <= 23 && number(9) <= 59);
}

bool isStructuredDataType(const QString &value)
{
    return std::any_of(kStructuredDataTypes.begin(), kStructuredDataTypes.end(),
                       [&](std::u16string_view type) { return value == toQString(type); });
}

// Attribute values are escaped so that the line reads the same as HTML and
// as XML: an address's "&" would otherwise make an XHTML page ill-formed.
QString escapedAttribute(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (QChar c : value) {
        if (c == u'&')
            out += u"&amp;"_s;
        else if (c == u'<')
            out += u"&lt;"_s;
        else if (c == u'"')
            out += u"&quot;"_s;
        else
            out += c;
    }
    return out;
}

QString closerOf(QStringView mode)
{
    return mode == QStringView(kModeHtml) ? u">"_s : u" />"_s;
}

QString metaLine(const QString &name, const QString &content, QStringView mode)
{
    return u"<meta name=\""_s + name + u"\" content=\""_s + escapedAttribute(content) + u'"' + closerOf(mode);
}

QString linkLine(const QString &attributes, const QString &address, QStringView mode)
{
    return u"<link "_s + attributes + u" href=\""_s + escapedAttribute(address) + u'"' + closerOf(mode);
}

void throwIfRefused(int field, const QString &value)
{
    if (const QString problem = headValueProblem(field, value); !problem.isEmpty())
        throw Error(problem);
}

void throwIfSocialRefused(int field, const QString &value)
{
    if (const QString problem = socialValueProblem(field, value); !problem.isEmpty())
        throw Error(problem);
}

void insertIfGiven(QJsonObject &object, const QString &key, const QString &value)
{
    if (!value.isEmpty())
        object.insert(key, value);
}

// The address the structured data gives for the page or site.
QString structuredDataUrl(const TagValues &input)
{
    return input.head[Canonical].isEmpty() ? input.social[OgUrl] : input.head[Canonical];
}

} // namespace

const HeadFieldInfo &headFieldInfo(int field)
{
    return kHeadFields.at(std::size_t(field));
}

int headFieldOfKey(QStringView key)
{
    for (int f = 0; f < kHeadFieldCount; ++f) {
        if (key == toQString(kHeadFields[std::size_t(f)].key))
            return f;
    }
    return -1;
}

bool HeadValues::hasValues() const
{
    return std::any_of(values.begin(), values.end(), [](const QString &v) { return !v.isEmpty(); });
}

bool HeadValues::anyUsed() const
{
    return std::any_of(used.begin(), used.end(), [](bool u) { return u; });
}

QList<Alternate> parseAlternates(const QString &text)
{
    static const QRegularExpression blanks(u"\\s+"_s);
    QList<Alternate> alternates;
    const QStringList entries = text.split(blanks, Qt::SkipEmptyParts);
    for (const QString &entry : entries) {
        const qsizetype equals = entry.indexOf(u'=');
        if (equals < 0)
            throw Error(u"alternate: \"%1\" is not LANG=URL"_s.arg(entry));
        Alternate alternate{entry.left(equals), entry.sliced(equals + 1)};
        const bool xDefault = alternate.language.compare(u"x-default"_s, Qt::CaseInsensitive) == 0;
        if (!xDefault && !isLanguageTag(alternate.language))
            throw Error(u"alternate: \"%1\" in \"%2\" is not a BCP 47 language tag or x-default"_s.arg(
                alternate.language, entry));
        if (!isAbsoluteWebAddress(alternate.address))
            throw Error(u"alternate: \"%1\" in \"%2\" is not an absolute http:// or https:// address"_s.arg(
                alternate.address, entry));
        // Search engines drop every alternate of a language given twice.
        const bool repeated = std::any_of(alternates.begin(), alternates.end(), [&](const Alternate &a) {
            return a.language.compare(alternate.language, Qt::CaseInsensitive) == 0;
        });
        if (repeated)
            throw Error(u"alternate: \"%1\" is given more than once"_s.arg(alternate.language));
        alternates.append(alternate);
    }
    return alternates;
}

QString alternatesText(const QList<Alternate> &alternates)
{
    QStringList entries;
    for (const Alternate &a : alternates)
        entries.append(a.language + u'=' + a.address);
    return entries.join(u' ');
}

QString headValueProblem(int field, const QString &value)
{
    if (value.isEmpty())
        return {};
    const QString key = keyOf(field);
    switch (HeadField(field)) {
    case Viewport:
        // A line break would split the tag's line.
        if (std::any_of(value.begin(), value.end(),
                        [](QChar c) { return c.category() == QChar::Other_Control; }))
            return u"%1: \"%2\" holds a control character"_s.arg(key, value);
        break;
    case Canonical:
    case Logo:
        if (!isAbsoluteWebAddress(value))
            return u"%1: \"%2\" is not an absolute http:// or https:// address"_s.arg(key, value);
        break;
    case Alternates:
        try {
            parseAlternates(value);
        } catch (const Error &e) {
            return e.message();
        }
        break;
    case ThemeColor:
        if (!isCssColour(value))
            return u"%1: \"%2\" is not a CSS colour such as #336699 or navy"_s.arg(key, value);
        break;
    case Icon:
        if (!isIconAddress(value))
            return u"%1: \"%2\" is not an http:// or https:// address or a path such as /favicon.ico"_s.arg(
                key, value);
        break;
    case Language:
        if (!isLanguageTag(value))
            return u"%1: \"%2\" is not a BCP 47 language tag such as en-GB"_s.arg(key, value);
        break;
    case StructuredData:
        if (!isStructuredDataType(value))
            return u"%1: \"%2\" is not one of WebSite, Organization, Article"_s.arg(key, value);
        break;
    case DatePublished:
    case DateModified:
        if (!isIsoDateOrDateTime(value))
            return u"%1: \"%2\" is not an ISO 8601 date or date and time such as 2024-05-01 or "
                   u"2024-05-01T09:30:00+02:00"_s.arg(key, value);
        break;
    }
    return {};
}

QStringList headValueProblems(const HeadValues &head)
{
    QStringList problems;
    for (int f = 0; f < kHeadFieldCount; ++f) {
        if (const QString problem = headValueProblem(f, head[f]); !problem.isEmpty())
            problems.append(problem);
    }
    return problems;
}

QString effectiveHeadValue(const HeadValues &head, int field)
{
    if (field == Viewport && head[field].isEmpty())
        return QString::fromUtf16(kDefaultViewport);
    return head[field];
}

QString structuredDataJson(const TagValues &input)
{
    const HeadValues &head = input.head;
    const QString type = head[StructuredData];
    if (type.isEmpty())
        return {};
    const QString &title = input.values[Title];
    const QString &siteName = input.social[OgSiteName];

    QJsonObject object{{u"@context"_s, u"https://schema.org"_s}, {u"@type"_s, type}};
    if (type == u"Article"_s) {
        insertIfGiven(object, u"headline"_s, title);
        insertIfGiven(object, u"description"_s, input.values[Description]);
        insertIfGiven(object, u"image"_s, input.social[OgImage]);
        insertIfGiven(object, u"datePublished"_s, head[DatePublished]);
        insertIfGiven(object, u"dateModified"_s, head[DateModified]);
        if (!input.values[Author].isEmpty())
            object.insert(u"author"_s,
                          QJsonObject{{u"@type"_s, u"Person"_s}, {u"name"_s, input.values[Author]}});
        insertIfGiven(object, u"url"_s, structuredDataUrl(input));
        insertIfGiven(object, u"mainEntityOfPage"_s, structuredDataUrl(input));
        // The site's name and logo say who publishes the article.
        if (!siteName.isEmpty() || !head[Logo].isEmpty()) {
            QJsonObject publisher{{u"@type"_s, u"Organization"_s}};
            insertIfGiven(publisher, u"name"_s, siteName);
            if (!head[Logo].isEmpty())
                publisher.insert(u"logo"_s,
                                 QJsonObject{{u"@type"_s, u"ImageObject"_s}, {u"url"_s, head[Logo]}});
            object.insert(u"publisher"_s, publisher);
        }
    } else {
        insertIfGiven(object, u"name"_s, siteName.isEmpty() ? title : siteName);
        insertIfGiven(object, u"url"_s, structuredDataUrl(input));
        if (type == u"Organization"_s) {
            insertIfGiven(object, u"description"_s, input.values[Description]);
            insertIfGiven(object, u"logo"_s, head[Logo]);
        }
    }
    QString json = QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    // Inside a script "</" would end it early, and "<!--" could keep a later
    // "</script>" from ending it; both escapes read back as the same JSON.
    json.replace(u"</"_s, u"<\\/"_s);
    json.replace(u"<!--"_s, u"\\u003c!--"_s);
    return json;
}

QStringList headLines(const TagValues &input, QStringView mode)
{
    const HeadValues &head = input.head;
    QStringList lines;
    if (!head.anyUsed())
        return lines;
    const auto ticked = [&](int field) {
        return head.isUsed(field) && !effectiveHeadValue(head, field).isEmpty();
    };
    for (int f = 0; f < kHeadFieldCount; ++f) {
        if (ticked(f))
            throwIfRefused(f, head[f]);
    }

    if (ticked(Viewport))
        lines.append(metaLine(u"viewport"_s, effectiveHeadValue(head, Viewport), mode));
    if (ticked(Canonical))
        lines.append(linkLine(u"rel=\"canonical\""_s, head[Canonical], mode));
    if (ticked(Alternates)) {
        for (const Alternate &a : parseAlternates(head[Alternates]))
            lines.append(linkLine(u"rel=\"alternate\" hreflang=\"%1\""_s.arg(escapedAttribute(a.language)),
                                  a.address, mode));
    }
    if (ticked(ThemeColor))
        lines.append(metaLine(u"theme-color"_s, head[ThemeColor], mode));
    if (ticked(Icon))
        lines.append(linkLine(u"rel=\"icon\""_s, head[Icon], mode));
    if (ticked(StructuredData)) {
        // What the script borrows is checked too, ticked or not.
        for (int f : {Canonical, DatePublished, DateModified, Logo})
            throwIfRefused(f, head[f]);
        throwIfSocialRefused(OgUrl, input.social[OgUrl]);
        throwIfSocialRefused(OgImage, input.social[OgImage]);
        QString json = structuredDataJson(input);
        if (mode != QStringView(kModeHtml)) {
            // An XHTML page read as XML takes neither "<" nor "&" in a script.
            json.replace(u"<"_s, u"\\u003c"_s);
            json.replace(u"&"_s, u"\\u0026"_s);
        }
        lines.append(u"<script type=\"application/ld+json\">"_s + json + u"</script>"_s);
    }
    return lines;
}

} // namespace brindle::tags
