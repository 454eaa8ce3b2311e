#include "check/pagefacts.h"

#include "pagehead/headreader.h"
#include "pagehead/pagecharset.h"

#include <QIODevice>

#include <gumbo.h>

#include <cstdint>
#include <cstring>
#include <memory>

using namespace Qt::StringLiterals;

namespace brindle::check {

namespace {

using pagehead::DecodeStatus;

// Offset of the first byte above 0x7F, or the size when there is none.
// Eight bytes at a time: most pages are ASCII almost throughout.
qsizetype firstNonAscii(QByteArrayView data)
{
    qsizetype i = 0;
    for (; i + 8 <= data.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, data.data() + i, 8);
        if (word & 0x8080808080808080u)
            break;
    }
    while (i < data.size() && static_cast<unsigned char>(data[i]) < 0x80)
        ++i;
    return i;
}

// One charset's decoder over a byte stream fed in pieces: the bytes of a
// character cut by the end of a piece wait for the next one.
class CharsetStream
{
public:
    explicit CharsetStream(const QString &charset) : m_charset(charset), m_utf8(pagehead::isUtf8Name(charset))
    {}

    void feed(QByteArrayView chunk)
    {
        if (m_status != DecodeStatus::Ok)
            return;
        QByteArray joined;
        QByteArrayView data = chunk;
        if (!m_carry.isEmpty()) {
            joined = m_carry + chunk.toByteArray();
            data = joined;
        }
        if (m_utf8) {
            // Qt's check runs through ASCII many bytes at a time.
            const qsizetype whole = data.size() - unfinishedUtf8(data);
            if (!data.first(whole).isValidUtf8()) {
                m_status = DecodeStatus::Invalid;
                return;
            }
            m_carry = data.sliced(whole).toByteArray();
            return;
        }
        const pagehead::DecodeResult result = pagehead::decodeCharset(data, m_charset, true);
        m_status = result.status;
        const qsizetype used =
            result.text.sourceOffset.empty() ? data.size() : qsizetype(result.text.sourceOffset.back());
        m_carry = data.sliced(used).toByteArray();
    }

    Decoding finish()
    {
        if (m_status == DecodeStatus::Ok && !m_carry.isEmpty())
            m_status =
                m_utf8 ? DecodeStatus::Invalid : pagehead::decodeCharset(m_carry, m_charset, false).status;
        switch (m_status) {
        case DecodeStatus::Ok:
            return Decoding::Decodes;
        case DecodeStatus::UnknownCharset:
            return Decoding::UnknownCharset;
        case DecodeStatus::Invalid:
            break;
        }
        return Decoding::Fails;
    }

private:
    // Length of a UTF-8 sequence begun at the end of valid data but not finished.
    static qsizetype unfinishedUtf8(QByteArrayView data)
    {
        for (qsizetype back = 1; back <= 3 && back <= data.size(); ++back) {
            const auto b = static_cast<unsigned char>(data[data.size() - back]);
            if ((b & 0xC0) == 0x80)
                continue;
            const qsizetype length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
            return length > back ? back : 0;
        }
        return 0;
    }

    QString m_charset;
    bool m_utf8;
    QByteArray m_carry;
    DecodeStatus m_status = DecodeStatus::Ok;
};

class ByteScan
{
public:
    explicit ByteScan(const PageFacts &facts) : m_utf8(u"utf-8"_s)
    {
        // A declared UTF-8 takes the answer of the UTF-8 check every page gets.
        for (const CharsetFact &fact : facts.charsets) {
            m_charsets.push_back(
                pagehead::isUtf8Name(fact.charset) ? nullptr : std::make_unique<CharsetStream>(fact.charset));
        }
    }
    void feed(QByteArrayView chunk)
    {
        m_ascii = m_ascii && firstNonAscii(chunk) == chunk.size();
        m_utf8.feed(chunk);
        for (auto &stream : m_charsets) {
            if (stream)
                stream->feed(chunk);
        }
    }
    void finish(PageFacts &facts)
    {
        facts.bytesAreAscii = m_ascii;
        const Decoding utf8 = m_utf8.finish();
        facts.bytesAreUtf8 = utf8 == Decoding::Decodes;
        for (std::size_t i = 0; i < m_charsets.size(); ++i)
            facts.charsets[i].decoding = m_charsets[i] ? m_charsets[i]->finish() : utf8;
    }

private:
    CharsetStream m_utf8;
    std::vector<std::unique_ptr<CharsetStream>> m_charsets;
    bool m_ascii = true;
};

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

} // namespace

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
        facts.charsets.push_back({declaration.charset.trimmed(),
                                  positionOf(head.elements[std::size_t(declaration.element)]),
                                  Decoding::Decodes});
    }
    return facts;
}

bool scanBytes(PageFacts &facts, QIODevice &device)
{
    ByteScan scan(facts);
    QByteArray chunk(256 * 1024, Qt::Uninitialized);
    while (true) {
        const qint64 got = device.read(chunk.data(), chunk.size());
        if (got < 0)
            return false;
        if (got == 0)
            break;
        scan.feed(QByteArrayView(chunk.constData(), qsizetype(got)));
    }
    scan.finish(facts);
    return true;
}

void scanBytes(PageFacts &facts, QByteArrayView bytes)
{
    ByteScan scan(facts);
    scan.feed(bytes);
    scan.finish(facts);
}

std::optional<bool> decodesWith(QByteArrayView bytes, const QString &charset)
{
    CharsetStream stream(charset);
    stream.feed(bytes);
    switch (stream.finish()) {
    case Decoding::Decodes:
        return true;
    case Decoding::Fails:
        return false;
    case Decoding::UnknownCharset:
        break;
    }
    return std::nullopt;
}

} // namespace brindle::check
