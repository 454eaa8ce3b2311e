#include "check/headrules.h"

#include "tags/languagetag.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <algorithm>
#include <array>
#include <string_view>

using namespace Qt::StringLiterals;

namespace brindle::check {

namespace {

struct RequiredProperties
{
    std::u16string_view type;
    std::array<std::u16string_view, 4> properties; // empty ones unused
};

// What search engines require of a node before they show it in a result:
// a site's name, an organisation's logo, an article's headline and picture.
// Subtypes of Article count as Article.
constexpr std::array<RequiredProperties, 5> kRequired = {{
    {u"WebSite", {u"name", u"url"}},
    {u"Organization", {u"url", u"logo"}},
    {u"Article", {u"headline", u"image", u"datePublished", u"author"}},
    {u"NewsArticle", {u"headline", u"image", u"datePublished", u"author"}},
    {u"BlogPosting", {u"headline", u"image", u"datePublished", u"author"}},
}};

QString inQuotes(const QString &text)
{
    return u'"' + text + u'"';
}

QStringView view(std::u16string_view s)
{
    return QStringView(s.data(), qsizetype(s.size()));
}

bool isViewport(const MetaFact &meta)
{
    return meta.name.trimmed().compare(u"viewport"_s, Qt::CaseInsensitive) == 0;
}

void checkViewport(const PageFacts &facts, std::vector<Finding> &findings)
{
    if (std::none_of(facts.metas.begin(), facts.metas.end(), isViewport)) {
        findings.push_back(
            makeFinding(u"viewport-missing", {},
                        u"page has no <meta name=\"viewport\">; phones lay it out at a desktop "
                        u"width, zoomed out"_s));
    }
}

void checkLanguage(const PageFacts &facts, std::vector<Finding> &findings)
{
    if (!facts.htmlLanguage.isEmpty())
        return;
    const QString attribute = facts.xhtml ? u"lang or xml:lang"_s : u"lang"_s;
    findings.push_back(makeFinding(
        u"html-lang-missing", facts.htmlAt,
        (facts.htmlTagWritten ? u"<html> has no %1"_s : u"page has no <html> tag with %1"_s).arg(attribute) +
            u"; screen readers and translation must guess the page's language"_s));
}

// A slip that is easy to make, for the message: "en_US" is "en-US", and the
// United Kingdom's code is GB.
QString suggestedTag(const QString &text)
{
    QString tag = text;
    tag.replace(u'_', u'-');
    const qsizetype uk = tag.lastIndexOf(u"-uk"_s, -1, Qt::CaseInsensitive);
    if (uk > 0 && uk + 3 == tag.size())
        tag = tag.left(uk) + u"-GB"_s;
    if (tag != text && tags::isLanguageTag(tag))
        return tag;
    return tags::languageTagOfListItem(text);
}

// The address with what does not tell two addresses apart taken out: the
// default port, and an empty path, which is "/".
QString comparable(QUrl url)
{
    if ((url.scheme() == u"http"_s && url.port() == 80) || (url.scheme() == u"https"_s && url.port() == 443))
        url.setPort(-1);
    if (url.path().isEmpty())
        url.setPath(u"/"_s);
    return url.adjusted(QUrl::NormalizePathSegments | QUrl::RemoveFragment).toString(QUrl::FullyEncoded);
}

// The canonical address, when the page has exactly one and it is valid.
std::optional<QUrl> checkCanonical(const PageFacts &facts, std::vector<Finding> &findings)
{
    const LinkFact *first = nullptr;
    for (const LinkFact &link : facts.links) {
        if (!link.hasRel(u"canonical"))
            continue;
        if (first) {
            findings.push_back(makeFinding(
                u"canonical-multiple", link.at,
                u"second canonical link (the first is at line %1); search engines "
                u"ignore a page's canonical links when it has more than one"_s.arg(first->at.line)));
        } else {
            first = &link;
        }
        const QString href = link.href.trimmed();
        if (href.isEmpty()) {
            findings.push_back(
                makeFinding(u"canonical-invalid", link.at, u"canonical link has no address"_s));
        } else if (!hasScheme(href)) {
            findings.push_back(
                makeFinding(u"canonical-relative", link.at,
                            u"canonical address %1 is relative; search engines want the "
                            u"absolute one, such as https://example.org/page.html"_s.arg(inQuotes(href))));
        } else if (!webAddress(href)) {
            findings.push_back(makeFinding(
                u"canonical-invalid", link.at,
                u"canonical address %1 is not an http:// or https:// address"_s.arg(inQuotes(href))));
        }
    }
    if (!first)
        return std::nullopt;
    const bool multiple = std::count_if(facts.links.begin(), facts.links.end(),
                                        [](const LinkFact &l) { return l.hasRel(u"canonical"); }) > 1;
    return multiple ? std::nullopt : webAddress(first->href.trimmed());
}

void checkAlternates(const PageFacts &facts, const std::optional<QUrl> &canonical,
                     std::vector<Finding> &findings)
{
    const LinkFact *firstAlternate = nullptr;
    bool listsItself = false;
    for (const LinkFact &link : facts.links) {
        if (!link.hreflang || !link.hasRel(u"alternate"))
            continue;
        if (!firstAlternate)
            firstAlternate = &link;
        const QString language = link.hreflang->trimmed();
        if (!tags::isLanguageTag(language) && language.compare(u"x-default"_s, Qt::CaseInsensitive) != 0) {
            QString message =
                u"hreflang %1 is not a language tag (BCP 47) or x-default"_s.arg(inQuotes(language));
            if (const QString tag = suggestedTag(language); !tag.isEmpty())
                message += u"; the tag for %1 is %2"_s.arg(language, inQuotes(tag));
            findings.push_back(makeFinding(u"hreflang-invalid", link.at, message));
        }
        // Alternates may be relative to the page, whose address is the canonical one.
        if (canonical) {
            const QUrl address = canonical->resolved(QUrl(link.href.trimmed(), QUrl::TolerantMode));
            listsItself = listsItself || comparable(address) == comparable(*canonical);
        }
    }
    // Without a canonical address the page's own is not known.
    if (firstAlternate && canonical && !listsItself) {
        findings.push_back(makeFinding(
            u"hreflang-no-self", firstAlternate->at,
            u"alternates by language do not list the page's own address %1; search engines ignore "
            u"alternates whose pages do not list themselves and one another"_s.arg(
                canonical->toString(QUrl::FullyEncoded))));
    }
}

void checkXhtmlValues(const PageFacts &facts, std::vector<Finding> &findings)
{
    if (!facts.xhtml)
        return;
    for (const WrittenValue &value : facts.writtenValues) {
        const qsizetype at = firstBareXmlCharacter(value.text);
        if (at < 0)
            continue;
        const bool ampersand = value.text.at(at) == u'&';
        const QString where = value.attribute.isEmpty()
                                  ? u"the text of <%1>"_s.arg(value.element)
                                  : u"the %1 of <%2>"_s.arg(value.attribute, value.element);
        findings.push_back(makeFinding(u"xhtml-not-well-formed", value.at,
                                       u"bare \"%1\" in %2; an XHTML page must write it as %3, or XML "
                                       u"parsers refuse the page"_s.arg(ampersand ? u"&"_s : u"<"_s, where,
                                                                        ampersand ? u"&amp;"_s : u"&lt;"_s)));
    }
}

void checkStructuredData(const PageFacts &facts, std::vector<Finding> &findings)
{
    for (const StructuredDataFact &data : facts.structuredData) {
        QStringList missing;
        if (const QString problem = structuredDataProblem(data.text, &missing); !problem.isEmpty()) {
            findings.push_back(
                makeFinding(u"structured-data-invalid", data.at, u"structured data "_s + problem));
            continue;
        }
        for (const QString &lack : std::as_const(missing)) {
            findings.push_back(makeFinding(u"structured-data-incomplete", data.at,
                                           u"structured data: %1, which search engines require to show it "
                                           u"in their results"_s.arg(lack)));
        }
    }
}

bool hasValue(const QJsonObject &node, QStringView key)
{
    const QJsonValue value = node.value(key);
    switch (value.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        return false;
    case QJsonValue::String:
        return !value.toString().trimmed().isEmpty();
    case QJsonValue::Array:
        return !value.toArray().isEmpty();
    default:
        return true;
    }
}

QStringList typesOf(const QJsonObject &node)
{
    const QJsonValue type = node.value(u"@type");
    if (type.isString())
        return {type.toString()};
    QStringList types;
    for (const QJsonValue t : type.toArray())
        types << t.toString();
    return types;
}

// "Article lacks image, author" for a node of a known type, else empty.
QString lacks(const QJsonObject &node)
{
    const QStringList types = typesOf(node);
    for (const RequiredProperties &required : kRequired) {
        if (!types.contains(view(required.type)))
            continue;
        QStringList absent;
        for (std::u16string_view property : required.properties) {
            if (!property.empty() && !hasValue(node, view(property)))
                absent << view(property).toString();
        }
        if (!absent.isEmpty())
            return u"%1 lacks %2"_s.arg(view(required.type).toString(), absent.join(u", "_s));
        return {};
    }
    return {};
}

// Why a top-level node is refused; each node of its @graph needs a @type
// of its own, and shares the top's @context.
QString nodeProblem(const QJsonValue &value, QStringList *missing)
{
    if (!value.isObject())
        return u"is not a JSON object"_s;
    const QJsonObject node = value.toObject();
    if (!hasValue(node, u"@context"))
        return u"has no @context"_s;
    QJsonArray nodes;
    if (node.contains(u"@graph"))
        nodes = node.value(u"@graph").isArray() ? node.value(u"@graph").toArray()
                                                : QJsonArray{node.value(u"@graph")};
    else
        nodes.append(node);
    for (const QJsonValue member : std::as_const(nodes)) {
        if (!member.isObject() || !hasValue(member.toObject(), u"@type"))
            return u"has no @type"_s;
        if (missing) {
            if (const QString lack = lacks(member.toObject()); !lack.isEmpty())
                *missing << lack;
        }
    }
    return {};
}

} // namespace

bool hasScheme(QStringView text)
{
    if (text.isEmpty() || !((text[0] >= u'a' && text[0] <= u'z') || (text[0] >= u'A' && text[0] <= u'Z')))
        return false;
    for (qsizetype i = 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u':')
            return true;
        const bool schemeCharacter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                                     (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
        if (!schemeCharacter)
            return false;
    }
    return false;
}

std::optional<QUrl> webAddress(const QString &text)
{
    const QUrl url(text.trimmed(), QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http"_s && scheme != u"https"_s) || url.host().isEmpty())
        return std::nullopt;
    return url;
}

qsizetype firstBareXmlCharacter(QStringView value)
{
    const auto isNameStart = [](QChar c) { return c.isLetter() || c == u'_' || c == u':'; };
    const auto isNameCharacter = [&](QChar c) {
        return isNameStart(c) || c.isDigit() || c == u'-' || c == u'.';
    };
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'<')
            return i;
        if (value[i] != u'&')
            continue;
        qsizetype j = i + 1;
        if (j < value.size() && value[j] == u'#') {
            ++j;
            const bool hex = j < value.size() && value[j] == u'x';
            j += hex;
            const qsizetype digits = j;
            const auto isDigit = [hex](QChar c) {
                return (c >= u'0' && c <= u'9') ||
                       (hex && ((c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F')));
            };
            while (j < value.size() && isDigit(value[j]))
                ++j;
            if (j == digits)
                return i;
        } else {
            if (j >= value.size() || !isNameStart(value[j]))
                return i;
            while (j < value.size() && isNameCharacter(value[j]))
                ++j;
        }
        if (j >= value.size() || value[j] != u';')
            return i;
        i = j;
    }
    return -1;
}

QString structuredDataProblem(const QString &text, QStringList *missing)
{
    if (text.trimmed().isEmpty())
        return u"is empty"_s;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        return u"is not JSON: %1 at byte %2"_s.arg(error.errorString()).arg(error.offset);
    if (document.isArray()) {
        const QJsonArray nodes = document.array();
        if (nodes.isEmpty())
            return u"is an empty list"_s;
        for (const QJsonValue node : nodes) {
            if (QString problem = nodeProblem(node, missing); !problem.isEmpty())
                return problem;
        }
        return {};
    }
    return nodeProblem(document.object(), missing);
}

void checkHead(const PageFacts &facts, std::vector<Finding> &findings)
{
    if (facts.wholePage) {
        checkViewport(facts, findings);
        checkLanguage(facts, findings);
    }
    const std::optional<QUrl> canonical = checkCanonical(facts, findings);
    checkAlternates(facts, canonical, findings);
    checkXhtmlValues(facts, findings);
    checkStructuredData(facts, findings);
}

} // namespace brindle::check
