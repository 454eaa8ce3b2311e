#include "pagehead/headreader.h"

#include "base/error.h"
#include "pagehead/markupscan.h"
#include "pagehead/pagecharset.h"

#include <QStringDecoder>
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

// The parser's time grows with the square of the markup nested in a
// <template>, the one element of a head that takes any markup: beyond
// this many tags after a template's start a head is not parsed.
constexpr qsizetype kTemplateMarkupLimit = 10000;

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
    // Parses the markup `scan` made of source, as far as it says.
    GumboParse(QByteArrayView source, MarkupScan scan) : m_scan(std::move(scan))
    {
        m_source = source.first(m_scan.end);
        // Only a page that needs an edit costs a copy.
        if (!m_scan.edits.empty())
            m_prepared = preparedMarkup(source, m_scan);
        m_text = m_scan.edits.empty() ? m_source : QByteArrayView(m_prepared);
        m_options = kGumboDefaultOptions;
        m_options.max_errors = 0; // the error list of a large broken page would only cost memory
        m_deep = m_scan.tokens > kDeepMarkup;
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
    qsizetype length() const { return m_source.size(); }
    qsizetype offsetOf(const char *p) const { return qsizetype(p - m_text.data()); }
    // The page's own bytes of a piece of the parser's text.
    QByteArrayView sourceOf(const GumboStringPiece &piece) const
    {
        return m_source.sliced(offsetOf(piece.data), qsizetype(piece.length));
    }
    // Whether the start tag at offset was a <noscript>, respelt for the parser.
    bool wasNoscript(qsizetype offset) const
    {
        const std::vector<qsizetype> &renamed = m_scan.renamedNoscripts;
        return std::binary_search(renamed.begin(), renamed.end(), offset);
    }

private:
    MarkupScan m_scan;
    QByteArrayView m_source;
    QByteArray m_prepared;
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

// Why a head is not parsed for the markup in it; empty when it is parsed.
QString markupProblem(const MarkupScan &scan)
{
    if (scan.tokens > kHeadTagLimit)
        return u"its head holds more than %1 tags; not read"_s.arg(kHeadTagLimit);
    if (scan.attributes > kHeadAttributeLimit)
        return u"its head holds more than %1 attributes; not read"_s.arg(kHeadAttributeLimit);
    if (scan.tokensAfterTemplate > kTemplateMarkupLimit)
        return u"its head holds <template> markup of more than %1 tags; not read"_s.arg(kTemplateMarkupLimit);
    return {};
}

// Parses as little as needed to see the body start: the first read (or
// less, where the markup shows the body's start within it), and twice as
// much each time that was not enough. nullptr when the text stops before
// the head is known to end, or when *problem says why the head is not parsed.
std::unique_ptr<GumboParse> parseUntilBody(QByteArrayView text, bool atEnd, QString *problem)
{
    qsizetype length = std::min(text.size(), kFirstRead);
    // Once the parser disagrees with the scan about where the body starts,
    // the scan no longer says where to stop.
    bool cutAtBody = true;
    while (true) {
        MarkupScan scan = scanMarkup(text.first(length), cutAtBody);
        *problem = markupProblem(scan);
        if (!problem->isEmpty())
            return nullptr;
        const qsizetype parsed = scan.end;
        auto parse = std::make_unique<GumboParse>(text, std::move(scan));
        const bool whole = parsed == text.size();
        if ((whole && atEnd) || bodyStartedWithin(*parse))
            return parse;
        if (whole)
            return nullptr;
        cutAtBody = cutAtBody && parsed == length;
        length = std::min(text.size(), std::max<qsizetype>(length * 2, 1024));
    }
}

QString textOf(QByteArrayView bytes)
{
    if (bytes.size() < 4096)
        return QString::fromUtf8(bytes.data(), bytes.size());
    // Sized exactly: a conversion that reserves a character for every byte
    // would hold twice what a long text of other scripts than Latin needs.
    qsizetype units = 0;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        units += (b & 0xC0) != 0x80 ? 1 : 0;
        units += b >= 0xF0 ? 1 : 0;
    }
    QString text(units, Qt::Uninitialized);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QChar *end = utf8.appendToBuffer(text.data(), bytes);
    text.truncate(end - text.constData());
    return text;
}

// The attribute text between its quotes, as written but for "&quot;": the
// generator writes a double quote that way.
QString attributeValue(const GumboParse &parse, const GumboAttribute &attribute)
{
    // An attribute without a value has the name's text as its "value".
    if (attribute.original_value.data == attribute.original_name.data)
        return {};
    QByteArrayView value = parse.sourceOf(attribute.original_value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    else if (!value.isEmpty() && (value.front() == '"' || value.front() == '\''))
        value = value.sliced(1); // cut off by the end of the page
    QString text = textOf(value);
    text.replace(u"&quot;"_s, u"\""_s);
    return text;
}

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

// From offsets in the parsed text to the page's bytes: past a byte-order
// mark, and through the decoding of a page in another charset than UTF-8.
struct SourceMap
{
    qsizetype base = 0;
    const DecodedText *decoded = nullptr;

    qsizetype operator()(qsizetype offset) const
    {
        return base + (decoded ? decoded->sourceOffset(offset) : offset);
    }
};

// Fills the head from a parse of text, the UTF-8 text the parse covers.
void fillHead(PageHead &head, const GumboParse &parse, QByteArrayView text, SourceMap source)
{
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
    const auto addAttributes = [&](HeadElement &element, const GumboElement &e) {
        for (unsigned i = 0; i < e.attributes.length; ++i) {
            const auto *a = static_cast<const GumboAttribute *>(e.attributes.data[i]);
            element.attributes.push_back({QString::fromUtf8(a->name), attributeValue(parse, *a),
                                          source(parse.offsetOf(a->original_name.data))});
        }
    };
    if (out.root && out.root->v.element.original_tag.length > 0) {
        const GumboElement &e = out.root->v.element;
        const qsizetype start = parse.offsetOf(e.original_tag.data);
        HeadElement html;
        html.name = u"html"_s;
        html.start = position(start);
        html.startTagEnd = source(start + qsizetype(e.original_tag.length));
        html.end = html.startTagEnd;
        addAttributes(html, e);
        // A later <html> tag lends the root its attributes: they are not
        // where this tag could change them.
        std::erase_if(html.attributes, [&](const HeadAttribute &a) {
            return a.offset < html.start.offset || a.offset >= html.startTagEnd;
        });
        head.html = std::move(html);
    }
    if (out.root) {
        const GumboVector &attributes = out.root->v.element.attributes;
        for (unsigned i = 0; i < attributes.length; ++i) {
            const auto *a = static_cast<const GumboAttribute *>(attributes.data[i]);
            if (QByteArrayView(a->name) == "xmlns" &&
                attributeValue(parse, *a).trimmed() == u"http://www.w3.org/1999/xhtml"_s)
                head.xhtml = true;
        }
    }
    head.lineEnd = firstLineEnd(text);

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

    // Depth first without recursion: a head of deeply nested elements must
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
        // A template's contents are a document fragment of their own that
        // browsers never show nor read metadata from; the parser may also
        // give them positions out of page order (formatting elements it
        // makes again, tags it moves).
        if (pending.node->type != GUMBO_NODE_TEMPLATE) {
            for (unsigned i = e.children.length; i > 0; --i)
                stack.push_back({static_cast<const GumboNode *>(e.children.data[i - 1]), pending.depth + 1});
        }
        if (e.original_tag.length == 0)
            continue; // put in by the parser, not written in the page

        HeadElement element;
        const qsizetype start = parse.offsetOf(e.original_tag.data);
        const qsizetype startTagEnd = start + qsizetype(e.original_tag.length);
        if (e.tag == GUMBO_TAG_NOFRAMES && parse.wasNoscript(start))
            element.name = u"noscript"_s;
        else if (e.tag != GUMBO_TAG_UNKNOWN)
            element.name = QString::fromLatin1(gumbo_normalized_tagname(e.tag));
        if (element.name.isEmpty()) {
            GumboStringPiece name = e.original_tag;
            gumbo_tag_from_original_text(&name);
            element.name = textOf(parse.sourceOf(name)).toLower();
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
        if ((e.tag == GUMBO_TAG_TITLE || e.tag == GUMBO_TAG_SCRIPT) && contentEnd >= startTagEnd)
            element.text = textOf(text.sliced(startTagEnd, contentEnd - startTagEnd));
        addAttributes(element, e);
        head.elements.push_back(std::move(element));
    }
    // The stack walk visits in document order, which for what the parser
    // puts into a head is source order; sorting keeps that promise anyway.
    std::stable_sort(
        head.elements.begin(), head.elements.end(),
        [](const HeadElement &a, const HeadElement &b) { return a.start.offset < b.start.offset; });

    for (int i = 0; i < int(head.elements.size()); ++i) {
        const HeadElement &e = head.elements[std::size_t(i)];
        if (e.name != u"meta"_s || e.depth != 0)
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

constexpr QStringView kAsciiOnly = u"Brindle writes lines only in charsets that keep ASCII bytes as they are";

PageHead problemHead(HeadProblem problem, const QString &text)
{
    PageHead head;
    head.problem = problem;
    head.problemText = text;
    head.decodes = false;
    return head;
}

PageHead binaryHead()
{
    return problemHead(HeadProblem::Binary, u"contains NUL bytes: not a text page"_s);
}

// The charset declaration that counts: the first in the page's first bytes
// (as browsers look before parsing), else the first in the head that browsers
// know, else the first of any name.
QString decidingDeclaration(const Prescan &prescan, const PageHead &head)
{
    if (!prescan.label.isEmpty())
        return prescan.label.trimmed();
    for (const CharsetDeclaration &declaration : head.charsets) {
        if (!declaredEncoding(declaration.charset).isEmpty())
            return declaration.charset;
    }
    for (const CharsetDeclaration &declaration : head.charsets) {
        if (!declaration.charset.isEmpty())
            return declaration.charset;
    }
    return {};
}

// Reads the head of a page whose text is in a charset other than UTF-8:
// bytes from `base` on are decoded and the text is parsed. Where the head
// ends in the text may differ from what the raw bytes suggested, so more
// of them may be decoded. nullopt when the bytes stop too early.
std::optional<PageHead> decodedHead(QByteArrayView bytes, qsizetype base, qsizetype firstLength, bool atEnd,
                                    const QString &encoding)
{
    const QByteArrayView rest = bytes.sliced(base);
    qsizetype decodeLength = std::min(firstLength, rest.size());
    bool truncated = !(atEnd && decodeLength == rest.size());
    DecodeResult decoded;
    std::unique_ptr<GumboParse> parse;
    while (true) {
        decoded = decodeCharset(rest.first(decodeLength), encoding, truncated);
        if (decoded.status == DecodeStatus::Invalid && decoded.invalidOffset > 0) {
            // A fault past the head's end is no fault of the head.
            DecodeResult before = decodeCharset(rest.first(decoded.invalidOffset), encoding, true);
            QString problem;
            if (before.status == DecodeStatus::Ok) {
                if (auto headOnly = parseUntilBody(before.text.utf8, false, &problem);
                    headOnly && problem.isEmpty()) {
                    decoded = std::move(before); // the parse's text moves along with it
                    parse = std::move(headOnly);
                    break;
                }
            }
        }
        if (decoded.status != DecodeStatus::Ok) {
            PageHead head = problemHead(
                HeadProblem::NotDecodable,
                decoded.status == DecodeStatus::UnknownCharset
                    ? u"is not UTF-8 and declares the charset \"%1\", which cannot be read"_s.arg(encoding)
                    : u"is not valid %1 (byte %2)"_s.arg(encoding).arg(base + decoded.invalidOffset));
            head.encoding = encoding;
            return head;
        }
        QString problem;
        parse = parseUntilBody(decoded.text.utf8, !truncated, &problem);
        if (!problem.isEmpty())
            return problemHead(HeadProblem::TooComplex, problem);
        if (parse)
            break;
        if (decodeLength == rest.size())
            return std::nullopt;
        decodeLength = rest.size();
        truncated = !atEnd;
    }
    const QByteArrayView text = QByteArrayView(decoded.text.utf8).first(parse->length());
    if (text.contains('\0'))
        return binaryHead();
    PageHead head;
    fillHead(head, *parse, text, {base, &decoded.text});
    head.hasNonAscii = true;
    head.encoding = encoding;
    return head;
}

// A shortcut for the common legacy page: bytes that are not UTF-8 in a
// charset the first bytes declare are decoded without parsing them raw
// first. False where the full way has to decide; else *head is the head,
// or nullopt when the bytes stop too early.
bool readInDeclaredCharset(QByteArrayView bytes, bool atEnd, const QString &label,
                           std::optional<PageHead> *head)
{
    const QString encoding = declaredEncoding(label);
    if (encoding.isEmpty() || encoding == u"replacement"_s || isUtf8Name(encoding))
        return false;
    const bool asciiKept = keepsAscii(encoding).value_or(false);
    if (asciiKept && isValidUtf8(bytes, !atEnd))
        return false;
    *head = decodedHead(bytes, 0, kFirstRead, atEnd, encoding);
    if (!*head)
        return true;
    if ((*head)->problem != HeadProblem::None)
        return false;
    // A head of UTF-8 before bytes that are not is read as UTF-8.
    const QByteArrayView raw = bytes.first(std::min((*head)->bodyStart, bytes.size()));
    if (asciiKept && !isAscii(raw) && isValidUtf8(raw, true))
        return false;
    (*head)->declaredCharset = label;
    return true;
}

std::optional<PageHead> headAfterByteOrderMark(QByteArrayView bytes, bool atEnd, const ByteOrderMark &bom)
{
    const QString encoding(bom.encoding);
    std::optional<PageHead> head;
    if (encoding == u"UTF-8"_s) {
        const QByteArrayView rest = bytes.sliced(bom.length);
        QString problem;
        const std::unique_ptr<GumboParse> parse = parseUntilBody(rest, atEnd, &problem);
        if (!problem.isEmpty())
            return problemHead(HeadProblem::TooComplex, problem);
        if (!parse)
            return std::nullopt;
        const QByteArrayView parsed = rest.first(parse->length());
        if (parsed.contains('\0'))
            return binaryHead();
        if (!isValidUtf8(parsed, !(atEnd && parsed.size() == rest.size()))) {
            head = problemHead(HeadProblem::NotDecodable,
                               u"begins with the byte-order mark of UTF-8 but is not valid UTF-8"_s);
        } else {
            head.emplace();
            fillHead(*head, *parse, parsed, {bom.length, nullptr});
            head->hasNonAscii = !isAscii(parsed);
        }
    } else {
        head = decodedHead(bytes, bom.length, kFirstRead, atEnd, encoding);
        if (!head)
            return std::nullopt;
    }
    head->encoding = encoding;
    head->byteOrderMark = encoding;
    return head;
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
        if (e.name == u"title"_s && e.depth == 0)
            found.push_back(&e);
    }
    return found;
}

std::vector<const HeadElement *> PageHead::metas() const
{
    std::vector<const HeadElement *> found;
    for (const HeadElement &e : elements) {
        if (e.name == u"meta"_s && e.depth == 0)
            found.push_back(&e);
    }
    return found;
}

std::optional<PageHead> parseHead(QByteArrayView bytes, bool atEnd)
{
    // The first bytes may be the beginning of a byte-order mark.
    if (!atEnd && bytes.size() < 3)
        return std::nullopt;
    if (const ByteOrderMark bom = byteOrderMarkOf(bytes); bom.length > 0)
        return headAfterByteOrderMark(bytes, atEnd, bom);
    const Prescan prescan = prescanCharset(bytes, atEnd);
    if (prescan.needMore)
        return std::nullopt;
    if (std::optional<PageHead> head; readInDeclaredCharset(bytes, atEnd, prescan.label, &head))
        return head;

    QString problem;
    std::unique_ptr<GumboParse> raw = parseUntilBody(bytes, atEnd, &problem);
    if (!problem.isEmpty())
        return problemHead(HeadProblem::TooComplex, problem);
    if (!raw)
        return std::nullopt;
    const qsizetype length = raw->length();
    const QByteArrayView parsed = bytes.first(length);
    const bool truncated = !(atEnd && length == bytes.size());
    if (parsed.contains('\0'))
        return binaryHead();

    PageHead head;
    fillHead(head, *raw, parsed, {});
    head.hasNonAscii = !isAscii(parsed);
    const QString declared = decidingDeclaration(prescan, head);
    head.declaredCharset = declared;
    QString encoding = declaredEncoding(declared);
    if (encoding == u"replacement"_s) {
        head.problem = HeadProblem::NotDecodable;
        head.problemText =
            u"declares the charset \"%1\", which browsers do not decode: they show nothing of the page"_s.arg(
                declared);
        head.decodes = false;
        return head;
    }
    // A name browsers do not know they ignore. One that glibc knows, for a
    // charset that keeps ASCII as it is, is still what the page's author
    // wrote the bytes in; any other reads as if nothing were declared.
    if (encoding.isEmpty() && !declared.isEmpty() && keepsAscii(declared).value_or(false))
        encoding = declared;
    const bool asciiKept = encoding.isEmpty() || keepsAscii(encoding).value_or(false);
    if (asciiKept && isValidUtf8(parsed, truncated)) {
        // ASCII reads the same in every such charset; the declaration then
        // says what the rest of the page is in.
        head.encoding = !head.hasNonAscii && !encoding.isEmpty() ? encoding : u"UTF-8"_s;
        return head;
    }
    head.decodes = false;
    head.encoding = encoding;
    if (encoding.isEmpty() || isUtf8Name(encoding)) {
        head.problem = HeadProblem::NotDecodable;
        head.problemText =
            declared.isEmpty() ? u"is not UTF-8 and declares no charset"_s
            : encoding.isEmpty()
                ? u"is not UTF-8 and declares the charset \"%1\", which cannot be read"_s.arg(declared)
                : u"declares UTF-8 but is not valid UTF-8"_s;
        return head;
    }
    // Neither the tree nor what was read from it is needed while the
    // decoded text is parsed, but for a page that turns out not to decode.
    raw.reset();
    head.elements.clear();
    head.elements.shrink_to_fit();
    std::optional<PageHead> decoded = decodedHead(bytes, 0, length, atEnd, encoding);
    if (decoded && decoded->problem == HeadProblem::NotDecodable) {
        // The raw parse is still what a reader that guesses sees.
        raw = parseUntilBody(bytes, atEnd, &problem);
        PageHead guessed;
        fillHead(guessed, *raw, parsed, {});
        head.elements = std::move(guessed.elements);
        head.problem = decoded->problem;
        head.problemText = decoded->problemText;
        return head;
    }
    if (decoded)
        decoded->declaredCharset = declared;
    return decoded;
}

QString charsetForLines(const PageHead &head, QByteArrayView wholePage, const QString &newCharset)
{
    const QString &page = head.encoding;
    const QString &bom = head.byteOrderMark;
    if (!bom.isEmpty() && bom != u"UTF-8"_s)
        throw Error(u"is in %1 (it begins with a byte-order mark); %2"_s.arg(bom, kAsciiOnly));
    if (newCharset.isEmpty()) {
        // The page keeps its declaration, so the lines go into what it declares.
        const QString &declared = head.declaredCharset;
        if (!declared.isEmpty() && declaredEncoding(declared).isEmpty() &&
            !keepsAscii(declared).value_or(false)) {
            throw Error(
                keepsAscii(declared).has_value()
                    ? u"declares the charset \"%1\"; %2"_s.arg(declared, kAsciiOnly)
                    : u"declares the charset \"%1\", which is not known; no lines are written into it"_s.arg(
                          declared));
        }
        if (!keepsAscii(page).value_or(false))
            throw Error(u"is in %1; %2"_s.arg(page, kAsciiOnly));
        return page;
    }
    // The charset tag goes in: the page's bytes must mean the same in the charset it names.
    const QString encoding = declaredEncoding(newCharset);
    if (encoding == u"replacement"_s)
        throw Error(u"a charset tag for %1 would make browsers show nothing of it"_s.arg(newCharset));
    QString lines = encoding.isEmpty() ? newCharset : encoding;
    if (!keepsAscii(lines).value_or(false))
        throw Error(u"a charset tag for %1 would misstate it; %2"_s.arg(newCharset, kAsciiOnly));
    if (sameCharset(lines, page))
        return lines;
    if (!bom.isEmpty())
        throw Error(u"begins with the byte-order mark of %1; a charset tag for %2 would misstate it"_s.arg(
            bom, newCharset));
    if (keepsAscii(page).value_or(false) &&
        (isAscii(wholePage) || (isUtf8Name(lines) && isValidUtf8(wholePage))))
        return lines;
    // Named as the page names it, where it does.
    const QString written = sameCharset(head.declaredCharset, page) ? head.declaredCharset : page;
    throw Error(u"is written in %1; a charset tag for %2 would misstate it"_s.arg(written, newCharset));
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
