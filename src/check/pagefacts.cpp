#include "check/pagefacts.h"

#include <QIODevice>

#include <array>
#include <cerrno>
#include <iconv.h>
#include <memory>

using namespace Qt::StringLiterals;

namespace brindle::check {

namespace {

// Names that iconv knows under another name; the codes of Brindle's charset
// list that it does not know at all (DOS-720, hz-gb-2312) stay unknown.
QByteArray iconvName(const QString &charset)
{
    const QString name = charset.trimmed().toLower();
    if (name.isEmpty())
        return {};
    // A "//" suffix would turn iconv's error reporting off.
    for (QChar c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != u'-' && c != u'_' && c != u'.' && c != u':')
            return {};
    }
    if (name == u"iso-8859-8-i"_s)
        return "ISO-8859-8";
    if (name == u"dos-862"_s)
        return "CP862";
    return name.toLatin1();
}

// Feeds a byte stream through one iconv conversion and remembers whether it
// met a byte sequence the charset does not have.
class StreamDecoder
{
public:
    // An empty name would mean the locale's charset to iconv: none here.
    explicit StreamDecoder(const QByteArray &fromName)
        : m_cd(fromName.isEmpty() ? reinterpret_cast<iconv_t>(-1) : iconv_open("UTF-8", fromName.constData()))
    {}
    ~StreamDecoder()
    {
        if (known())
            iconv_close(m_cd);
    }
    StreamDecoder(const StreamDecoder &) = delete;
    StreamDecoder &operator=(const StreamDecoder &) = delete;

    bool known() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    void feed(QByteArrayView chunk)
    {
        if (m_failed || !known())
            return;
        QByteArray input = m_pending;
        input.append(chunk.data(), chunk.size());
        m_pending.clear();
        char *in = input.data();
        std::size_t inLeft = std::size_t(input.size());
        while (inLeft > 0) {
            char *out = m_scratch.data();
            std::size_t outLeft = m_scratch.size();
            if (iconv(m_cd, &in, &inLeft, &out, &outLeft) != std::size_t(-1))
                break;
            if (errno == E2BIG)
                continue;
            if (errno == EINVAL) { // a sequence cut by the end of the chunk
                m_pending = QByteArray(in, qsizetype(inLeft));
                break;
            }
            m_failed = true;
            break;
        }
    }

    // Whether everything fed decoded; a sequence left unfinished does not.
    bool finish()
    {
        if (!known())
            return false;
        if (!m_failed && m_pending.isEmpty()) {
            char *out = m_scratch.data();
            std::size_t outLeft = m_scratch.size();
            if (iconv(m_cd, nullptr, nullptr, &out, &outLeft) == std::size_t(-1))
                m_failed = true;
        }
        return !m_failed && m_pending.isEmpty();
    }

private:
    iconv_t m_cd;
    QByteArray m_pending;
    bool m_failed = false;
    std::array<char, 4096> m_scratch{};
};

QString charsetParameter(const QString &content)
{
    // As browsers read it: the first "charset", then optional spaces, "=",
    // and a value that may be quoted.
    const QString lower = content.toLower();
    qsizetype at = 0;
    while ((at = lower.indexOf(u"charset"_s, at)) >= 0) {
        qsizetype i = at + 7;
        while (i < content.size() && content.at(i).isSpace())
            ++i;
        if (i >= content.size() || content.at(i) != u'=') {
            at += 7;
            continue;
        }
        ++i;
        while (i < content.size() && content.at(i).isSpace())
            ++i;
        if (i >= content.size())
            return {};
        const QChar quote = content.at(i);
        if (quote == u'"' || quote == u'\'') {
            const qsizetype end = content.indexOf(quote, i + 1);
            return end < 0 ? QString() : content.mid(i + 1, end - i - 1);
        }
        qsizetype end = i;
        while (end < content.size() && !content.at(end).isSpace() && content.at(end) != u';')
            ++end;
        return content.mid(i, end - i);
    }
    return {};
}

struct PageScan
{
    std::vector<std::unique_ptr<StreamDecoder>> decoders; // by charsets entry
    StreamDecoder utf8{"UTF-8"};
    bool ascii = true;

    explicit PageScan(const PageFacts &facts)
    {
        for (const CharsetFact &fact : facts.charsets)
            decoders.push_back(std::make_unique<StreamDecoder>(iconvName(fact.charset)));
    }
    void feed(QByteArrayView chunk)
    {
        if (ascii) {
            for (char c : chunk) {
                if (static_cast<unsigned char>(c) >= 0x80) {
                    ascii = false;
                    break;
                }
            }
        }
        utf8.feed(chunk);
        for (auto &decoder : decoders)
            decoder->feed(chunk);
    }
    void finish(PageFacts &facts)
    {
        facts.bytesAreAscii = ascii;
        facts.bytesAreUtf8 = utf8.finish();
        for (std::size_t i = 0; i < decoders.size(); ++i) {
            CharsetFact &fact = facts.charsets[i];
            if (!decoders[i]->known())
                fact.decoding = Decoding::UnknownCharset;
            else
                fact.decoding = decoders[i]->finish() ? Decoding::Decodes : Decoding::Fails;
        }
    }
};

void collectCharsets(PageFacts &facts)
{
    facts.charsets.clear();
    for (const MetaFact &meta : facts.metas) {
        const QString charset = declaredCharset(meta);
        if (!charset.isEmpty())
            facts.charsets.push_back({charset, meta.at, Decoding::Decodes});
    }
}

} // namespace

QString declaredCharset(const MetaFact &meta)
{
    if (!meta.charset.trimmed().isEmpty())
        return meta.charset.trimmed();
    if (meta.httpEquiv.trimmed().compare(u"content-type"_s, Qt::CaseInsensitive) == 0)
        return charsetParameter(meta.content).trimmed();
    return {};
}

std::optional<bool> decodesWith(QByteArrayView bytes, const QString &charset)
{
    StreamDecoder decoder(iconvName(charset));
    if (!decoder.known())
        return std::nullopt;
    decoder.feed(bytes);
    return decoder.finish();
}

std::optional<bool> decodesWith(QIODevice &device, const QString &charset)
{
    StreamDecoder decoder(iconvName(charset));
    if (!decoder.known())
        return std::nullopt;
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    qint64 got;
    while ((got = device.read(chunk.data(), chunk.size())) > 0)
        decoder.feed(QByteArrayView(chunk.constData(), qsizetype(got)));
    return decoder.finish();
}

void declareCharsets(PageFacts &facts, QByteArrayView bytes)
{
    collectCharsets(facts);
    PageScan scan(facts);
    scan.feed(bytes);
    scan.finish(facts);
}

void declareCharsets(PageFacts &facts, QIODevice &device)
{
    collectCharsets(facts);
    PageScan scan(facts);
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    qint64 got;
    while ((got = device.read(chunk.data(), chunk.size())) > 0)
        scan.feed(QByteArrayView(chunk.constData(), qsizetype(got)));
    scan.finish(facts);
}

} // namespace brindle::check
