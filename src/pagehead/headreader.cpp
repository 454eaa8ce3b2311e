#include "pagehead/headreader.h"

#include "base/error.h"
#include "pagehead/pagecharset.h"

#include <QThread>

#include <gumbo.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace brindle::pagehead {

namespace {

// The first read of a page; most heads end well within it.
constexpr qsizetype kFirstRead = 64 * 1024;

// Markup with more tags than this may nest deeper than the parser, which
// builds and frees its tree recursively, can go on a normal thread's stack.
constexpr qsizetype kDeepMarkup = 20000;
constexpr uint kDeepStack = 256u << 20;

template<typename Work>
void runWithStack(bool large, Work &&work)
{
    if (!large) {
        work();
        return;
    }
    std::unique_ptr<QThread> thread(QThread::create(std::forward<Work>(work)));
    thread->setStackSize(kDeepStack);
    thread->start();
    thread->wait();
}

class GumboParse
{
public:
    GumboParse(QByteArrayView text, qsizetype length) : m_text(text.first(length))
    {
        m_options = kGumboDefaultOptions;
        m_options.max_errors = 0; // the error list of a large broken page would only cost memory
        m_deep = std::count(m_text.begin(), m_text.end(), '<') > kDeepMarkup;
        runWithStack(m_deep, [this] {
            m_output = gumbo_parse_with_options(&m_options, m_text.data(), std::size_t(m_text.size()));
        });
    }
    ~GumboParse()
    {
        runWithStack(m_deep, [this] { gumbo_destroy_output(&m_options, m_output); });
    }
    GumboParse(const GumboParse &) = delete;
    GumboParse &operator=(const GumboParse &) = delete;

    const GumboOutput &output() const { return *m_output; }
    qsizetype length() const { return m_text.size(); }
    qsizetype offsetOf(const char *p) const { return qsizetype(p - m_text.data()); }

private:
    QByteArrayView m_text;
    GumboOptions m_options;
    GumboOutput *m_output = nullptr;
    bool m_deep = false;
};

const GumboVector &childrenOf(const GumboNode *node)
{
    return node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
}

bool isElement(const GumboNode *node)
{
    return node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE;
}

const GumboNode *childElement(const GumboNode *parent, GumboTag tag)
{
    if (!parent)
        return nullptr;
    const GumboVector &children = childrenOf(parent);
    for (unsigned i = 0; i < children.length; ++i) {
        const auto *child = static_cast<const GumboNode *>(children.data[i]);
        if (isElement(child) && child->v.element.tag == tag)
            return child;
    }
    return nullptr;
}

// Whether what starts the body is a complete token within the parsed bytes.
// When the bytes stop inside a tag the parser drops the tag and starts an
// empty body at the end; text that runs up to the end may be the start of a
// tag cut off, like a lone "<".
bool bodyStartedWithin(const GumboParse &parse)
{
    const GumboNode *body = childElement(parse.output().root, GUMBO_TAG_BODY);
    if (!body)
        body = childElement(parse.output().root, GUMBO_TAG_FRAMESET);
    if (!body)
        return false;
    const GumboNode *node = body;
    while (true) {
        if (node->v.element.original_tag.length > 0)
            return true;
        if (node->v.element.children.length == 0)
            return false;
        const auto *first = static_cast<const GumboNode *>(node->v.element.children.data[0]);
        if (!isElement(first)) {
            const GumboStringPiece &text = first->v.text.original_text;
            return parse.offsetOf(text.data) + qsizetype(text.length) < parse.length();
        }
        node = first;
    }
}

qsizetype indexOfNoCase(QByteArrayView text, QByteArrayView what, qsizetype from)
{
    const qsizetype last = text.size() - what.size();
    for (qsizetype i = std::max<qsizetype>(from, 0); i <= last; ++i) {
        qsizetype k = 0;
        while (k < what.size() && (text[i + k] | 0x20) == what[k])
            ++k;
        if (k == what.size())
            return i;
    }
    return -1;
}

// The parser's time grows with the square of the markup nested in a
// <template>, the one element of a head that takes any markup: beyond
// this many tags a head with a template is not parsed.
constexpr qsizetype kTemplateMarkupLimit = 10000;

bool tooComplex(QByteArrayView text)
{
    return std::count(text.begin(), text.end(), '<') > kTemplateMarkupLimit &&
           indexOfNoCase(text, "<template", 0) >= 0;
}

// Parses as little as needed to see the body start: up to the first
// "<body ...>" first, and twice as much each time that was not enough.
// nullptr when the text stops before the head is known to end; *complex
// set when the head is not parsed for its template markup.
std::unique_ptr<GumboParse> parseUntilBody(QByteArrayView text, bool atEnd, bool *complex)
{
    qsizetype length = std::min(text.size(), kFirstRead);
    if (const qsizetype body = indexOfNoCase(text, "<body", 0); body >= 0) {
        const qsizetype close = text.indexOf('>', body);
        length = close >= 0 ? close + 1 : text.size();
    }
    while (true) {
        if (tooComplex(text.first(length))) {
            *complex = true;
            return nullptr;
        }
        auto parse = std::make_unique<GumboParse>(text, length);
        const bool whole = length == text.size();
        if ((whole && atEnd) || bodyStartedWithin(*parse))
            return parse;
        if (whole)
            return nullptr;
        length = std::min(text.size(), std::max<qsizetype>(length * 2, 1024));
    }
}

QString textOf(QByteArrayView bytes)
{
    return QString::fromUtf8(bytes.data(), bytes.size());
}

// The attribute text between its quotes, as written but for "&quot;": the
// generator writes a double quote that way.
QString attributeValue(const GumboAttribute &attribute)
{
    // An attribute without a value has the name's text as its "value".
    if (attribute.original_value.data == attribute.original_name.data)
        return {};
    QByteArrayView value(attribute.original_value.data, qsizetype(attribute.original_value.length));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    else if (!value.isEmpty() && (value.front() == '"' || value.front() == '\''))
        value = value.sliced(1); // cut off by the end of the page
    QString text = textOf(value);
    text.replace(u"&quot;"_s, u"\""_s);
    return text;
}

} // namespace

std::optional<QString> charsetOfContentType(const QString &content)
{
    qsizetype i = 0;
    while (true) {
        i = content.indexOf(u"charset"_s, i, Qt::CaseInsensitive);
        if (i < 0)
            return std::nullopt;
        i += 7;
        qsizetype k = i;
        while (k < content.size() && content[k].isSpace())
            ++k;
        if (k < content.size() && content[k] == u'=') {
            ++k;
            while (k < content.size() && content[k].isSpace())
                ++k;
            if (k < content.size() && (content[k] == u'"' || content[k] == u'\'')) {
                const QChar quote = content[k];
                const qsizetype close = content.indexOf(quote, k + 1);
                if (close < 0)
                    return std::nullopt;
                return content.mid(k + 1, close - k - 1);
            }
            qsizetype e = k;
            while (e < content.size() && !content[e].isSpace() && content[e] != u';')
                ++e;
            return content.mid(k, e - k);
        }
        i = k;
    }
}

namespace {

// Lines and columns of offsets into the parsed text, asked for mostly in
// increasing order: each answer starts from the last one, so a head of
// many elements on one long line costs no more than a single pass.
class LineCounter
{
public:
    explicit LineCounter(QByteArrayView text) : m_text(text) {}

    SourcePosition at(qsizetype offset)
    {
        if (offset < m_offset) {
            m_offset = 0;
            m_line = 1;
            m_column = 1;
        }
        while (m_offset < offset && m_offset < m_text.size()) {
            const char c = m_text[m_offset];
            if (c == '\n' || (c == '\r' && (m_offset + 1 == m_text.size() || m_text[m_offset + 1] != '\n'))) {
                ++m_line;
                m_column = 1;
            } else if (c != '\r' && (static_cast<unsigned char>(c) & 0xC0) != 0x80) {
                ++m_column;
            }
            ++m_offset;
        }
        return {offset, m_line, m_column};
    }

private:
    QByteArrayView m_text;
    qsizetype m_offset = 0;
    int m_line = 1;
    int m_column = 1;
};

QByteArray firstLineEnd(QByteArrayView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\n')
            return "\n";
        if (text[i] == '\r')
            return i + 1 < text.size() && text[i + 1] == '\n' ? "\r\n" : "\r";
    }
    return "\n";
}

// Fills the head from a parse of text, whose offsets go back to the page's
// bytes through sourceOffset (none: text is the page's bytes).
void fillHead(PageHead &head, const GumboParse &parse, QByteArrayView text,
              const std::vector<std::uint32_t> *sourceOffset)
{
    const auto source = [sourceOffset](qsizetype offset) {
        return sourceOffset ? qsizetype((*sourceOffset)[std::size_t(offset)]) : offset;
    };
    LineCounter lines(text);
    const auto position = [&](qsizetype offset) {
        SourcePosition p = lines.at(offset);
        p.offset = source(offset);
        return p;
    };

    const GumboOutput &out = parse.output();
    const GumboDocument &document = out.document->v.document;
    if (document.has_doctype && document.public_identifier &&
        QByteArrayView(document.public_identifier).contains("XHTML"))
        head.xhtml = true;
    if (out.root) {
        const GumboVector &attributes = out.root->v.element.attributes;
        for (unsigned i = 0; i < attributes.length; ++i) {
            const auto *a = static_cast<const GumboAttribute *>(attributes.data[i]);
            if (QByteArrayView(a->name) == "xmlns" &&
                attributeValue(*a).trimmed() == u"http://www.w3.org/1999/xhtml"_s)
                head.xhtml = true;
        }
    }
    head.lineEnd = firstLineEnd(text.first(parse.length()));

    const GumboNode *headNode = childElement(out.root, GUMBO_TAG_HEAD);
    const GumboNode *body = childElement(out.root, GUMBO_TAG_BODY);
    if (!body)
        body = childElement(out.root, GUMBO_TAG_FRAMESET);
    head.bodyStart =
        source(body ? std::min<qsizetype>(body->v.element.start_pos.offset, parse.length()) : parse.length());
    if (!headNode)
        return;
    const GumboElement &headElement = headNode->v.element;
    if (headElement.original_tag.length > 0) {
        head.headTagWritten = true;
        head.headStartTagEnd = source(parse.offsetOf(headElement.original_tag.data) +
                                      qsizetype(headElement.original_tag.length));
    }
    if (headElement.original_end_tag.length > 0)
        head.headEndTag = source(parse.offsetOf(headElement.original_end_tag.data));

    // Depth first without recursion: a head of deeply nested templates must
    // not exhaust the stack.
    struct Pending
    {
        const GumboNode *node;
        int depth;
    };
    std::vector<Pending> stack;
    for (unsigned i = headElement.children.length; i > 0; --i)
        stack.push_back({static_cast<const GumboNode *>(headElement.children.data[i - 1]), 0});
    while (!stack.empty()) {
        const Pending pending = stack.back();
        stack.pop_back();
        if (!isElement(pending.node))
            continue;
        const GumboElement &e = pending.node->v.element;
        for (unsigned i = e.children.length; i > 0; --i)
            stack.push_back({static_cast<const GumboNode *>(e.children.data[i - 1]), pending.depth + 1});
        if (e.original_tag.length == 0)
            continue; // put in by the parser, not written in the page

        HeadElement element;
        const qsizetype start = parse.offsetOf(e.original_tag.data);
        const qsizetype startTagEnd = start + qsizetype(e.original_tag.length);
        element.name =
            e.tag == GUMBO_TAG_UNKNOWN ? QString() : QString::fromLatin1(gumbo_normalized_tagname(e.tag));
        if (element.name.isEmpty()) {
            GumboStringPiece name = e.original_tag;
            gumbo_tag_from_original_text(&name);
            element.name = textOf(QByteArrayView(name.data, qsizetype(name.length))).toLower();
        }
        element.start = position(start);
        element.startTagEnd = source(startTagEnd);
        element.depth = pending.depth;
        qsizetype contentEnd = parse.length();
        if (e.original_end_tag.length > 0) {
            contentEnd = parse.offsetOf(e.original_end_tag.data);
            element.end = source(contentEnd + qsizetype(e.original_end_tag.length));
            element.endTagWritten = true;
        } else {
            element.end = e.tag == GUMBO_TAG_TITLE ? source(contentEnd) : element.startTagEnd;
        }
        if (e.tag == GUMBO_TAG_TITLE && contentEnd >= startTagEnd)
            element.text = textOf(text.sliced(startTagEnd, contentEnd - startTagEnd));
        for (unsigned i = 0; i < e.attributes.length; ++i) {
            const auto *a = static_cast<const GumboAttribute *>(e.attributes.data[i]);
            element.attributes.push_back({QString::fromUtf8(a->name), attributeValue(*a),
                                          source(parse.offsetOf(a->original_name.data))});
        }
        head.elements.push_back(std::move(element));
    }
    // The stack walk visits in document order, which for what the parser
    // puts into a head is source order; sorting keeps that promise anyway.
    std::stable_sort(
        head.elements.begin(), head.elements.end(),
        [](const HeadElement &a, const HeadElement &b) { return a.start.offset < b.start.offset; });

    for (int i = 0; i < int(head.elements.size()); ++i) {
        const HeadElement &e = head.elements[std::size_t(i)];
        if (e.name != u"meta"_s)
            continue;
        if (const HeadAttribute *charset = e.attribute(u"charset"))
            head.charsets.push_back({charset->value.trimmed(), i});
        else if (const HeadAttribute *equiv = e.attribute(u"http-equiv");
                 equiv && equiv->value.trimmed().compare(u"content-type"_s, Qt::CaseInsensitive) == 0) {
            if (const HeadAttribute *content = e.attribute(u"content")) {
                if (std::optional<QString> charset = charsetOfContentType(content->value))
                    head.charsets.push_back({charset->trimmed(), i});
            }
        }
    }
}

PageHead complexHead()
{
    PageHead head;
    head.problem = HeadProblem::TooComplex;
    head.problemText =
        u"its head holds <template> markup of more than %1 tags; not read"_s.arg(kTemplateMarkupLimit);
    head.decodes = false;
    return head;
}

QString firstDeclaredCharset(const PageHead &head)
{
    for (const CharsetDeclaration &declaration : head.charsets) {
        if (!declaration.charset.isEmpty())
            return declaration.charset;
    }
    return {};
}

} // namespace

const HeadAttribute *HeadElement::attribute(QStringView attributeName) const
{
    for (const HeadAttribute &a : attributes) {
        if (a.name == attributeName)
            return &a;
    }
    return nullptr;
}

std::vector<const HeadElement *> PageHead::titles() const
{
    std::vector<const HeadElement *> found;
    for (const HeadElement &e : elements) {
        if (e.name == u"title"_s)
            found.push_back(&e);
    }
    return found;
}

std::vector<const HeadElement *> PageHead::metas() const
{
    std::vector<const HeadElement *> found;
    for (const HeadElement &e : elements) {
        if (e.name == u"meta"_s)
            found.push_back(&e);
    }
    return found;
}

std::optional<PageHead> parseHead(QByteArrayView bytes, bool atEnd)
{
    bool complex = false;
    const std::unique_ptr<GumboParse> raw = parseUntilBody(bytes, atEnd, &complex);
    if (complex)
        return complexHead();
    if (!raw)
        return std::nullopt;
    const qsizetype length = raw->length();
    const QByteArrayView parsed = bytes.first(length);
    const bool truncated = !(atEnd && length == bytes.size());

    PageHead head;
    if (parsed.contains('\0')) {
        head.problem = HeadProblem::Binary;
        head.problemText = u"contains NUL bytes: not a text page"_s;
        head.decodes = false;
        return head;
    }
    fillHead(head, *raw, bytes, nullptr);
    head.hasNonAscii = !isAscii(parsed);
    const QString declared = firstDeclaredCharset(head);
    // hz-gb-2312 is all ASCII bytes, and its "~{" switches to GB2312.
    const bool sevenBit = declared.compare(u"hz-gb-2312"_s, Qt::CaseInsensitive) == 0;
    if (isValidUtf8(parsed, truncated) && !(sevenBit && !head.hasNonAscii)) {
        // ASCII reads the same in every charset the page may declare; the
        // declaration then says what the rest of the page is in.
        head.encoding = !head.hasNonAscii && !declared.isEmpty() ? declared : u"utf-8"_s;
        return head;
    }
    head.decodes = false;
    head.encoding = declared;
    if (declared.isEmpty() || isUtf8Name(declared)) {
        head.problem = HeadProblem::NotDecodable;
        head.problemText = declared.isEmpty() ? u"is not UTF-8 and declares no charset"_s
                                              : u"declares UTF-8 but is not valid UTF-8"_s;
        return head;
    }
    // The decoded text is parsed again, and where its head ends may differ
    // from what the raw bytes suggested: then the rest is decoded too.
    qsizetype decodeLength = length;
    bool decodeTruncated = truncated;
    DecodeResult decoded;
    std::unique_ptr<GumboParse> parse;
    while (true) {
        decoded = decodeCharset(bytes.first(decodeLength), declared, decodeTruncated);
        if (decoded.status != DecodeStatus::Ok) {
            head.problem = HeadProblem::NotDecodable;
            head.problemText =
                decoded.status == DecodeStatus::UnknownCharset
                    ? u"is not UTF-8 and declares the charset \"%1\", which cannot be read"_s.arg(declared)
                    : u"is not valid %1 (byte %2)"_s.arg(declared).arg(decoded.invalidOffset);
            return head;
        }
        parse = parseUntilBody(decoded.text.utf8, !decodeTruncated, &complex);
        if (complex)
            return complexHead();
        if (parse)
            break;
        if (decodeLength == bytes.size())
            return std::nullopt;
        decodeLength = bytes.size();
        decodeTruncated = !atEnd;
    }
    const QByteArrayView text = decoded.text.utf8;
    PageHead result;
    fillHead(result, *parse, text, &decoded.text.sourceOffset);
    result.hasNonAscii = true;
    result.encoding = declared;
    return result;
}

PageHead readHead(PageFile &file)
{
    // A page not much larger than the first read is read whole at once: a
    // change then needs no second read, nor a copy into a larger buffer.
    qsizetype want = file.stamp().size <= 2 * kFirstRead ? qsizetype(file.stamp().size) + 1 : kFirstRead;
    while (true) {
        file.readUpTo(want);
        if (std::optional<PageHead> head = parseHead(file.bytes(), file.atEnd()))
            return *std::move(head);
        if (file.atEnd() || want >= kHeadByteLimit) {
            PageHead head;
            head.problem = HeadProblem::HeadTooLong;
            head.problemText = u"its head does not end within the first %1 MiB"_s.arg(kHeadByteLimit >> 20);
            return head;
        }
        want = std::min(want * 4, kHeadByteLimit);
    }
}

PageHead readHeadOfFile(const QString &path)
{
    PageFile file(path);
    return readHead(file);
}

} // namespace brindle::pagehead
