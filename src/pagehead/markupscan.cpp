#include "pagehead/markupscan.h"

#include "base/textutil.h"

#include <QByteArrayView>

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace brindle::pagehead {

namespace {

// What follows a start tag of that name: the tokenizer's state for its contents.
enum class Content
{
    Markup,
    RawText,   // up to the end tag, nothing else recognised
    Script,    // raw text with the script data's escapes
    PlainText, // to the end of the page
};

// A tag name in lower case, as far as the names compared here go.
class TagName
{
public:
    TagName(const char *p, qsizetype size) : m_size(size)
    {
        for (qsizetype i = 0; i < size && i < qsizetype(m_lower.size()); ++i)
            m_lower[std::size_t(i)] = asciiLower(p[i]);
    }
    bool is(std::string_view name) const
    {
        return m_size == qsizetype(name.size()) && std::string_view(m_lower.data(), name.size()) == name;
    }
    // Only for names that fit.
    bool operator==(const TagName &other) const { return m_size == other.m_size && m_lower == other.m_lower; }

private:
    std::array<char, 12> m_lower{};
    qsizetype m_size;
};

Content contentOf(const TagName &name)
{
    for (std::string_view raw :
         {"style", "xmp", "iframe", "noembed", "noframes", "noscript", "title", "textarea"}) {
        if (name.is(raw))
            return Content::RawText;
    }
    if (name.is("script"))
        return Content::Script;
    if (name.is("plaintext"))
        return Content::PlainText;
    return Content::Markup;
}

// Start tags that leave the head open (or, like <html>, do not close it).
bool isHeadTag(const TagName &name)
{
    for (std::string_view head : {"html", "head", "base", "basefont", "bgsound", "link", "meta", "noframes",
                                  "noscript", "script", "style", "template", "title"}) {
        if (name.is(head))
            return true;
    }
    return false;
}

bool isReaderAttribute(const TagName &name)
{
    for (std::string_view used : {"name", "content", "http-equiv", "charset", "property", "xmlns", "rel",
                                  "href", "hreflang", "media", "sizes", "type", "lang", "xml:lang"}) {
        if (name.is(used))
            return true;
    }
    return false;
}

struct AttributeSpan
{
    qsizetype begin;
    qsizetype nameEnd;
    qsizetype end;
};

class Scanner
{
public:
    explicit Scanner(QByteArrayView text) : m_p(text.data()), m_n(text.size()) {}

    // Scans the text; returns where it ends, cut after the body's start with cutAtBody.
    qsizetype run(bool cutAtBody)
    {
        qsizetype i = 0;
        while (i < m_n) {
            const char *lt = static_cast<const char *>(std::memchr(m_p + i, '<', std::size_t(m_n - i)));
            const qsizetype at = lt ? lt - m_p : m_n;
            if (!std::all_of(m_p + i, m_p + at, isAsciiBlank)) {
                m_onlyBlanks = false;
                // Text that is not blank has no place in a head: the body starts with it.
                m_bodyStarts = m_bodyStarts || m_templateDepth == 0;
            }
            if (at == m_n)
                break;
            const qsizetype tokensBefore = m_result.tokens;
            i = markupAt(at);
            if (cutAtBody && m_bodyStarts && m_result.tokens > tokensBefore && i < m_n) {
                m_result.bodyStarted = true;
                return i;
            }
        }
        return m_n;
    }

    const MarkupScan &result() const { return m_result; }

private:
    bool startsWithNoCase(qsizetype at, std::string_view lower) const
    {
        if (m_n - at < qsizetype(lower.size()))
            return false;
        for (std::size_t k = 0; k < lower.size(); ++k) {
            if (asciiLower(m_p[at + qsizetype(k)]) != lower[k])
                return false;
        }
        return true;
    }

    qsizetype pastNext(char c, qsizetype from) const
    {
        if (from >= m_n)
            return m_n;
        const void *found = std::memchr(m_p + from, c, std::size_t(m_n - from));
        return found ? static_cast<const char *>(found) - m_p + 1 : m_n;
    }

    void edit(qsizetype offset, qsizetype length, const char *bytes)
    {
        m_result.edits.push_back({offset, length, bytes});
    }

    void token()
    {
        ++m_result.tokens;
        if (m_templateSeen)
            ++m_result.tokensAfterTemplate;
    }

    // Handles what starts with the '<' at `at`; returns where data goes on.
    qsizetype markupAt(qsizetype at)
    {
        const qsizetype next = at + 1;
        if (next == m_n)
            return m_n;
        const char c = m_p[next];
        if (c == '!') {
            token();
            if (startsWithNoCase(next + 1, "--"))
                return commentEnd(at + 4);
            if (startsWithNoCase(next + 1, "doctype")) {
                // Only the first token may be the document's type; any later
                // one is ignored, and gumbo loses its strings in some places.
                if (!m_onlyBlanks)
                    edit(next + 1, 1, "_");
                m_onlyBlanks = false;
            }
            return pastNext('>', next + 1);
        }
        // Bogus comments may come before the document's type too.
        if (c == '?') {
            token();
            return pastNext('>', next + 1);
        }
        if (c == '/') {
            if (next + 1 == m_n)
                return m_n;
            if (m_p[next + 1] == '>')
                return next + 2;
            token();
            if (!isAsciiLetter(m_p[next + 1]))
                return pastNext('>', next + 1);
            m_onlyBlanks = false;
            return tag(next + 1, false);
        }
        m_onlyBlanks = false;
        if (isAsciiLetter(c)) {
            token();
            return tag(next, true);
        }
        return next;
    }

    // From just after "<!--".
    qsizetype commentEnd(qsizetype from) const
    {
        if (from < m_n && m_p[from] == '>')
            return from + 1;
        if (from + 1 < m_n && m_p[from] == '-' && m_p[from + 1] == '>')
            return from + 2;
        const QByteArrayView text(m_p, m_n);
        qsizetype k = from;
        while (true) {
            const qsizetype dashes = text.indexOf("--", k);
            if (dashes < 0)
                return m_n;
            qsizetype j = dashes + 2;
            while (j < m_n && m_p[j] == '-')
                ++j;
            if (j < m_n && m_p[j] == '>')
                return j + 1;
            if (j + 1 < m_n && m_p[j] == '!' && m_p[j + 1] == '>')
                return j + 2;
            k = j;
        }
    }

    // A start or end tag whose name begins at nameStart; returns where data
    // goes on, past what the tag's contents are read as.
    qsizetype tag(qsizetype nameStart, bool start)
    {
        qsizetype pos = nameStart;
        while (pos < m_n && !isAsciiBlank(m_p[pos]) && m_p[pos] != '/' && m_p[pos] != '>')
            ++pos;
        const TagName name(m_p + nameStart, pos - nameStart);
        m_spans.clear();
        const qsizetype end = attributes(pos);
        // A tag cut off by the end of the text is no tag, but the parser
        // still reads its attributes first.
        keepAttributes();
        if (end < 0)
            return m_n;
        if (!start) {
            if (name.is("template") && m_templateDepth > 0)
                --m_templateDepth;
            // After the head these end tags open the body.
            m_bodyStarts = m_bodyStarts ||
                           (m_templateDepth == 0 && (name.is("body") || name.is("html") || name.is("br")));
            return end;
        }

        if (name.is("template")) {
            m_templateSeen = true;
            ++m_templateDepth;
        }
        m_bodyStarts = m_bodyStarts || (m_templateDepth == 0 && !isHeadTag(name));
        switch (contentOf(name)) {
        case Content::Markup:
            return end;
        case Content::PlainText:
            return m_n;
        case Content::Script:
            return scriptEnd(end);
        case Content::RawText:
            break;
        }
        if (!name.is("noscript"))
            return rawTextEnd(end, QByteArrayView(m_p + nameStart, pos - nameStart), false);
        edit(nameStart, 8, "noframes");
        m_result.renamedNoscripts.push_back(nameStart - 1);
        const qsizetype close = rawTextEnd(end, "noscript", true);
        if (close < m_n)
            edit(close + 2, 8, "noframes");
        return close;
    }

    // The attributes from pos to the tag's '>'; one past it, or -1 when the
    // page ends first. Each attribute's span goes to m_spans.
    qsizetype attributes(qsizetype pos)
    {
        while (true) {
            while (pos < m_n && isAsciiBlank(m_p[pos]))
                ++pos;
            if (pos == m_n)
                return -1;
            if (m_p[pos] == '/') {
                ++pos;
                continue;
            }
            if (m_p[pos] == '>')
                return pos + 1;
            // A name, of which an '=' may be the first character.
            const qsizetype begin = pos++;
            while (pos < m_n && !isAsciiBlank(m_p[pos]) && m_p[pos] != '/' && m_p[pos] != '>' &&
                   m_p[pos] != '=')
                ++pos;
            const qsizetype nameEnd = pos;
            while (pos < m_n && isAsciiBlank(m_p[pos]))
                ++pos;
            if (pos == m_n)
                return -1;
            if (m_p[pos] != '=') {
                m_spans.push_back({begin, nameEnd, nameEnd});
                continue;
            }
            ++pos;
            while (pos < m_n && isAsciiBlank(m_p[pos]))
                ++pos;
            if (pos == m_n)
                return -1;
            const char quote = m_p[pos];
            if (quote == '"' || quote == '\'') {
                const void *close = std::memchr(m_p + pos + 1, quote, std::size_t(m_n - pos - 1));
                if (!close)
                    return -1;
                pos = static_cast<const char *>(close) - m_p + 1;
            } else {
                while (pos < m_n && !isAsciiBlank(m_p[pos]) && m_p[pos] != '>')
                    ++pos;
            }
            m_spans.push_back({begin, nameEnd, pos});
        }
    }

    void keepAttributes()
    {
        if (qsizetype(m_spans.size()) <= kTagAttributeLimit) {
            m_result.attributes += qsizetype(m_spans.size());
            return;
        }
        std::vector<TagName> kept;
        for (const AttributeSpan &span : m_spans) {
            const TagName name(m_p + span.begin, span.nameEnd - span.begin);
            const bool first = std::find(kept.begin(), kept.end(), name) == kept.end();
            if (first && isReaderAttribute(name)) {
                kept.push_back(name);
                continue;
            }
            m_result.edits.push_back({span.begin, span.end - span.begin, nullptr});
        }
        m_result.attributes += qsizetype(kept.size());
    }

    bool endTagAt(qsizetype at, QByteArrayView name) const
    {
        const qsizetype after = at + 2 + name.size();
        if (after >= m_n || m_p[at + 1] != '/' ||
            (!isAsciiBlank(m_p[after]) && m_p[after] != '/' && m_p[after] != '>'))
            return false;
        for (qsizetype k = 0; k < name.size(); ++k) {
            if (asciiLower(m_p[at + 2 + k]) != asciiLower(name[k]))
                return false;
        }
        return true;
    }

    // The '<' of the end tag that closes raw text begun at `from`, or the
    // page's end. With `respelt`, end tags of <noframes> within are broken
    // up, as they must not end the raw text that is now a <noframes>.
    qsizetype rawTextEnd(qsizetype from, QByteArrayView name, bool respelt)
    {
        const QByteArrayView text(m_p, m_n);
        qsizetype k = from;
        while (true) {
            const qsizetype at = text.indexOf("</", k);
            if (at < 0)
                return m_n;
            if (endTagAt(at, name))
                return at;
            if (respelt && endTagAt(at, "noframes"))
                edit(at + 1, 1, " ");
            k = at + 2;
        }
    }

    // The '<' of the </script> that ends script data begun at `from`, or the
    // page's end; "<!--" and "<script" inside it change where that is.
    qsizetype scriptEnd(qsizetype from) const
    {
        enum State
        {
            Data,
            Escaped,
            EscapedDash,
            EscapedDashDash,
            Double,
            DoubleDash,
            DoubleDashDash,
        };
        // Letters from k and whether "script" and a delimiter follow: the
        // switch into or out of the double-escaped state.
        const auto scriptWordAt = [this](qsizetype k, qsizetype *end) {
            qsizetype j = k;
            while (j < m_n && isAsciiLetter(m_p[j]))
                ++j;
            *end = j;
            return j < m_n && (isAsciiBlank(m_p[j]) || m_p[j] == '/' || m_p[j] == '>') &&
                   TagName(m_p + k, j - k).is("script");
        };
        State state = Data;
        qsizetype k = from;
        while (k < m_n) {
            const char c = m_p[k];
            if (c == '<') {
                if (state == Data || state == Escaped || state == EscapedDash || state == EscapedDashDash) {
                    if (endTagAt(k, "script"))
                        return k;
                    if (state == Data) {
                        if (k + 3 < m_n && m_p[k + 1] == '!' && m_p[k + 2] == '-' && m_p[k + 3] == '-') {
                            state = EscapedDashDash;
                            k += 4;
                        } else {
                            ++k;
                        }
                        continue;
                    }
                    qsizetype end = 0;
                    if (scriptWordAt(k + 1, &end)) {
                        state = Double;
                        k = end + 1;
                    } else {
                        state = Escaped;
                        k = std::max(k + 1, end);
                    }
                    continue;
                }
                // Double escaped: "</script" and a delimiter go back to escaped.
                qsizetype end = 0;
                if (k + 1 < m_n && m_p[k + 1] == '/' && scriptWordAt(k + 2, &end)) {
                    state = Escaped;
                    k = end + 1;
                } else {
                    state = Double;
                    k += k + 1 < m_n && m_p[k + 1] == '/' ? 2 : 1;
                }
                continue;
            }
            switch (state) {
            case Data:
                break;
            case Escaped:
            case EscapedDash:
                state = c == '-' ? (state == Escaped ? EscapedDash : EscapedDashDash) : Escaped;
                break;
            case EscapedDashDash:
                state = c == '-' ? EscapedDashDash : c == '>' ? Data : Escaped;
                break;
            case Double:
            case DoubleDash:
                state = c == '-' ? (state == Double ? DoubleDash : DoubleDashDash) : Double;
                break;
            case DoubleDashDash:
                state = c == '-' ? DoubleDashDash : c == '>' ? Data : Double;
                break;
            }
            ++k;
        }
        return m_n;
    }

    const char *m_p;
    qsizetype m_n;
    MarkupScan m_result;
    std::vector<AttributeSpan> m_spans;
    bool m_onlyBlanks = true; // nothing but blanks and comments so far
    bool m_templateSeen = false;
    int m_templateDepth = 0;
    bool m_bodyStarts = false;
};

} // namespace

MarkupScan scanMarkup(QByteArrayView text, bool cutAtBody)
{
    Scanner scanner(text);
    const qsizetype end = scanner.run(cutAtBody);
    MarkupScan scan = scanner.result();
    scan.end = end;
    return scan;
}

QByteArray preparedMarkup(QByteArrayView text, const MarkupScan &scan)
{
    QByteArray prepared = text.first(scan.end).toByteArray();
    for (const MarkupEdit &e : scan.edits) {
        // The raw text a cut ends in may hold the end tag it was scanned to.
        const qsizetype length = std::min(e.length, scan.end - e.offset);
        if (length <= 0)
            continue;
        if (e.bytes)
            std::memcpy(prepared.data() + e.offset, e.bytes, std::size_t(length));
        else
            std::memset(prepared.data() + e.offset, ' ', std::size_t(length));
    }
    return prepared;
}

} // namespace brindle::pagehead
