#include "check/pagefacts.h"

#include "base/utf8.h"
#include "pagehead/headreader.h"
#include "pagehead/pagecharset.h"

#include <gumbo.h>

using namespace Qt::StringLiterals;

namespace brindle::check {

namespace {

using pagehead::DecodeStatus;

Decoding decodingWith(QByteArrayView bytes, const QString &encoding, bool complete)
{
    if (pagehead::isUtf8Name(encoding))
        return isValidUtf8(bytes, !complete) ? Decoding::Decodes : Decoding::Fails;
    switch (pagehead::decodeCharset(bytes, encoding, !complete).status) {
    case DecodeStatus::Ok:
        return Decoding::Decodes;
    case DecodeStatus::UnknownCharset:
        return Decoding::UnknownCharset;
    case DecodeStatus::Invalid:
        break;
    }
    return Decoding::Fails;
}

// How the bytes fare with a charset a page declares, taken as browsers take it.
Decoding decodingAsDeclared(QByteArrayView bytes, const QString &charset, bool complete)
{
    const QString encoding = pagehead::declaredEncoding(charset);
    if (encoding.isEmpty())
        return Decoding::UnknownCharset;
    if (encoding == u"replacement"_s)
        return Decoding::Refused;
    return decodingWith(bytes, encoding, complete);
}

const GumboNode *findElement(const GumboNode *node, GumboTag tag)
{
    if (node->type != GUMBO_NODE_ELEMENT)
        return nullptr;
    if (node->v.element.tag == tag)
        return node;
    const GumboVector &children = node->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        if (const GumboNode *found = findElement(static_cast<const GumboNode *>(children.data[i]), tag))
            return found;
    }
    return nullptr;
}

Position positionOf(const pagehead::HeadElement &element)
{
    return {element.start.line, element.start.column};
}

QString attributeValue(const pagehead::HeadElement &element, QStringView name)
{
    const pagehead::HeadAttribute *attribute = element.attribute(name);
    return attribute ? attribute->value : QString();
}

bool isStructuredData(const pagehead::HeadElement &element)
{
    return element.name == u"script"_s &&
           attributeValue(element, u"type")
                   .trimmed()
                   .compare(u"application/ld+json"_s, Qt::CaseInsensitive) == 0;
}

// What XML reads of a value: the head's own tags, written as they stand.
void addWrittenValues(PageFacts &facts, const pagehead::HeadElement &element)
{
    for (const pagehead::HeadAttribute &attribute : element.attributes)
        facts.writtenValues.push_back({element.name, attribute.name, attribute.value, positionOf(element)});
    if (element.name == u"title"_s)
        facts.writtenValues.push_back({element.name, QString(), element.text, positionOf(element)});
}

} // namespace

bool LinkFact::hasRel(QStringView token) const
{
    const QStringView text(rel);
    qsizetype i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i].isSpace())
            ++i;
        qsizetype end = i;
        while (end < text.size() && !text[end].isSpace())
            ++end;
        if (end > i && text.sliced(i, end - i).compare(token, Qt::CaseInsensitive) == 0)
            return true;
        i = end;
    }
    return false;
}

QString decodeReferences(const QString &text, bool inAttribute)
{
    if (!text.contains(u'&'))
        return text;
    // The parser decodes them in a small document of their own, by the same
    // rules as in the page: a title's text, or a quoted attribute value.
    QByteArray document;
    if (inAttribute) {
        QString quotedValue = text;
        quotedValue.replace(u'"', u"&quot;"_s);
        document = "<meta content=\"" + quotedValue.toUtf8() + "\">";
    } else {
        document = "<title>" + text.toUtf8() + "</title>";
    }
    GumboOutput *output =
        gumbo_parse_with_options(&kGumboDefaultOptions, document.constData(), std::size_t(document.size()));
    QString decoded = text;
    if (const GumboNode *element =
            findElement(output->root, inAttribute ? GUMBO_TAG_META : GUMBO_TAG_TITLE)) {
        if (inAttribute) {
            if (const GumboAttribute *a = gumbo_get_attribute(&element->v.element.attributes, "content"))
                decoded = QString::fromUtf8(a->value);
        } else {
            decoded.clear();
            const GumboVector &children = element->v.element.children;
            for (unsigned i = 0; i < children.length; ++i) {
                const auto *child = static_cast<const GumboNode *>(children.data[i]);
                if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE)
                    decoded += QString::fromUtf8(child->v.text.text);
            }
        }
    }
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    return decoded;
}

PageFacts factsOfHead(const pagehead::PageHead &head)
{
    PageFacts facts;
    facts.byteOrderMark = head.byteOrderMark;
    for (const pagehead::HeadElement *title : head.titles())
        facts.titles.push_back({decodeReferences(title->text, false), positionOf(*title)});
    for (const pagehead::HeadElement *meta : head.metas()) {
        MetaFact fact;
        fact.name = attributeValue(*meta, u"name");
        fact.httpEquiv = attributeValue(*meta, u"http-equiv");
        fact.property = attributeValue(*meta, u"property");
        fact.content = decodeReferences(attributeValue(*meta, u"content"), true);
        fact.at = positionOf(*meta);
        facts.metas.push_back(fact);
    }
    for (const pagehead::CharsetDeclaration &declaration : head.charsets) {
        if (declaration.charset.trimmed().isEmpty() || declaration.element < 0 ||
            std::size_t(declaration.element) >= head.elements.size())
            continue;
        const pagehead::HeadElement &element = head.elements[std::size_t(declaration.element)];
        facts.charsets.push_back(
            {declaration.charset.trimmed(), positionOf(element), Decoding::Decodes, element.startTagEnd});
    }
    for (const pagehead::HeadElement &element : head.elements) {
        if (element.depth != 0)
            continue;
        if (element.name == u"link"_s) {
            LinkFact link;
            link.rel = attributeValue(element, u"rel");
            link.href = decodeReferences(attributeValue(element, u"href"), true);
            if (const pagehead::HeadAttribute *hreflang = element.attribute(u"hreflang"))
                link.hreflang = decodeReferences(hreflang->value, true);
            link.at = positionOf(element);
            facts.links.push_back(std::move(link));
        } else if (isStructuredData(element)) {
            facts.structuredData.push_back({element.text, positionOf(element)});
        }
        if (head.xhtml)
            addWrittenValues(facts, element);
    }
    facts.xhtml = head.xhtml;
    if (head.html) {
        facts.htmlTagWritten = true;
        facts.htmlAt = positionOf(*head.html);
        facts.htmlLanguage = attributeValue(*head.html, u"lang").trimmed();
        // XML reads only xml:lang, HTML only lang: an XHTML page may have either.
        if (facts.htmlLanguage.isEmpty() && head.xhtml)
            facts.htmlLanguage = attributeValue(*head.html, u"xml:lang").trimmed();
    }
    return facts;
}

void scanBytes(PageFacts &facts, QByteArrayView bytes, bool complete)
{
    facts.bytesAreAscii = pagehead::isAscii(bytes);
    facts.bytesAreUtf8 = isValidUtf8(bytes, !complete);
    for (CharsetFact &fact : facts.charsets) {
        fact.decoding = pagehead::isUtf8Name(fact.charset)
                            ? (facts.bytesAreUtf8 ? Decoding::Decodes : Decoding::Fails)
                            : decodingAsDeclared(bytes, fact.charset, complete);
    }
}

std::optional<bool> decodesWith(QByteArrayView bytes, const QString &charset)
{
    const QString encoding = pagehead::declaredEncoding(charset);
    switch (decodingWith(bytes, encoding.isEmpty() ? charset : encoding, true)) {
    case Decoding::Decodes:
        return true;
    case Decoding::Fails:
        return false;
    case Decoding::UnknownCharset:
    case Decoding::Refused:
        break;
    }
    return std::nullopt;
}

} // namespace brindle::check
