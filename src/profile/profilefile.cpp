#include "profile/profilefile.h"

#include "core/dialogs.h"
#include "core/error.h"
#include "core/filewriter.h"

#include <QFile>
#include <QStringConverter>
#include <QStringDecoder>

#include <cstring>

#include <pugixml.hpp>

using namespace Qt::StringLiterals;

namespace brindle::profile {

namespace {

constexpr char kRootName[] = "OvalinBrindleProfile";
constexpr char kAuthorAttribute[] = "Author";
constexpr char kAuthorValue[] = "OvalinBrindle";
constexpr char kTagElement[] = "tagname";
constexpr char kContentAttribute[] = "content";
constexpr char kUsedAttribute[] = "isused";
constexpr int kSourceExcerptLength = 40;

// Declarations, comments and processing instructions must become nodes so
// that one in front of the root is seen as the first node and rejected.
// Whitespace-only text is dropped (no parse_ws_pcdata); a DOCTYPE is skipped
// and entities are never expanded beyond the five predefined ones.
constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_declaration | pugi::parse_comments | pugi::parse_pi;

class ByteArrayWriter final : public pugi::xml_writer
{
public:
    explicit ByteArrayWriter(QByteArray &out) : m_out(out) {}
    void write(const void *data, size_t size) override
    {
        m_out.append(static_cast<const char *>(data), static_cast<qsizetype>(size));
    }

private:
    QByteArray &m_out;
};

// pugixml works on UTF-8 here; a file saved as UTF-16 or UTF-32 (with a BOM,
// or recognisable by its leading "<") is converted first, so that the error
// offsets and excerpts refer to the same text the parser saw.
QByteArray asUtf8(QByteArrayView data)
{
    const std::optional<QStringConverter::Encoding> encoding = QStringConverter::encodingForData(data, u'<');
    if (!encoding || *encoding == QStringConverter::Utf8)
        return data.toByteArray();
    QStringDecoder decode(*encoding);
    const QString text = decode(data);
    return text.toUtf8();
}

int lineAt(const QByteArray &text, qsizetype offset)
{
    int line = 1;
    for (qsizetype i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')))
            ++line;
    }
    return line;
}

QString excerptAt(const QByteArray &text, qsizetype offset)
{
    if (offset >= text.size())
        return {};
    // Four bytes are enough for any character in UTF-8.
    QString excerpt = QString::fromUtf8(text.mid(offset, kSourceExcerptLength * 4));
    qsizetype characters = 0;
    qsizetype i = 0;
    while (i < excerpt.size() && characters < kSourceExcerptLength) {
        i +=
            excerpt[i].isHighSurrogate() && i + 1 < excerpt.size() && excerpt[i + 1].isLowSurrogate() ? 2 : 1;
        ++characters;
    }
    excerpt.truncate(i);
    return excerpt;
}

struct Walk
{
    TOvStringArray values;
    TOvStringArray used;
    int counter = -1;

    bool full() const { return counter + 1 >= TOvStringArray::Count; }

    // Depth-first, pre-order: a node nested in a "tagname" element takes the
    // next index and moves every later node up by one. Stops after thirteen
    // nodes, which also bounds the recursion depth.
    void visit(const pugi::xml_node &node)
    {
        ++counter;
        const pugi::xml_attribute content = node.attribute(kContentAttribute);
        if (!content)
            throw Error(QString::fromUtf16(kMissingAttributeError));
        values[counter] = QString::fromUtf8(content.value());
        const pugi::xml_attribute used = node.attribute(kUsedAttribute);
        if (!used)
            throw Error(QString::fromUtf16(kMissingAttributeError));
        this->used[counter] = QString::fromUtf8(used.value());
        for (const pugi::xml_node &child : node.children()) {
            if (full())
                return;
            visit(child);
        }
    }
};

} // namespace

QString parseErrorMessage(const QString &reason, int line, const QString &source)
{
    return reason + u"\r\n"_s + u"Line"_s + u": "_s + QString::number(line) + u"\r\n"_s + source;
}

QByteArray profileBytes(const TOvStringArray &values, const TOvStringArray &used)
{
    pugi::xml_document document;
    pugi::xml_node root = document.append_child(kRootName);
    root.append_attribute(kAuthorAttribute).set_value(kAuthorValue);
    for (int i = 0; i < TOvStringArray::Count; ++i) {
        pugi::xml_node tag = root.append_child(kTagElement);
        tag.append_attribute(kContentAttribute).set_value(values[i].toUtf8().constData());
        tag.append_attribute(kUsedAttribute).set_value(used[i].toUtf8().constData());
    }
    QByteArray bytes;
    ByteArrayWriter writer(bytes);
    document.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return bytes;
}

void WriteProfile(const TOvStringArray &values, const TOvStringArray &used, const QString &path)
{
    writeFileSafely(path, profileBytes(values, used));
}

ReadOutcome readProfileBytes(QByteArrayView data, TOvStringArray &values, TOvStringArray &used)
{
    const QByteArray text = asUtf8(data);
    pugi::xml_document document;
    const pugi::xml_parse_result result = document.load_buffer(
        text.constData(), static_cast<size_t>(text.size()), kParseOptions, pugi::encoding_utf8);
    if (!result) {
        const qsizetype offset = static_cast<qsizetype>(result.offset);
        throw Error(parseErrorMessage(QString::fromUtf8(result.description()), lineAt(text, offset),
                                      excerptAt(text, offset)));
    }

    // The first top-level node of any kind: a declaration ("xml"), a comment
    // or a processing instruction in front of the root fails this test.
    if (std::strcmp(document.first_child().name(), kRootName) != 0)
        return ReadOutcome::NotAProfile;

    Walk walk{values, used};
    for (const pugi::xml_node &child : document.document_element().children()) {
        if (walk.full())
            break;
        walk.visit(child);
    }
    values = walk.values;
    used = walk.used;
    return ReadOutcome::Accepted;
}

bool ReadProfile(const QString &path, TOvStringArray &values, TOvStringArray &used, Dialogs &dialogs,
                 QWidget *parent)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(parseErrorMessage(file.errorString(), 0, {}));
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Error(parseErrorMessage(file.errorString(), 0, {}));
    file.close();
    if (readProfileBytes(data, values, used) == ReadOutcome::NotAProfile) {
        dialogs.information(parent, QString::fromUtf16(kApplicationTitle),
                            QString::fromUtf16(kNotAProfileMessage));
        return false;
    }
    return true;
}

} // namespace brindle::profile
