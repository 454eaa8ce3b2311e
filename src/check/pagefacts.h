#pragma once

// What the checker needs to know about a page: its titles and meta tags with
// their places, the charsets it declares, and whether its bytes decode with
// them. Taken from the head reader's result and the page's bytes; the rules
// never see markup.

#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

class QIODevice;

namespace brindle::pagehead {
struct PageHead;
}

namespace brindle::check {

// 1-based; 0 when not known.
struct Position
{
    int line = 0;
    int column = 0;
};

struct TitleFact
{
    QString text; // as a browser shows it: references decoded, whitespace as written
    Position at;
};

struct MetaFact
{
    QString name;      // the name attribute, or empty
    QString httpEquiv; // the http-equiv attribute, or empty
    QString property;  // the property attribute (Open Graph), or empty
    QString content;   // references decoded
    Position at;
};

enum class Decoding
{
    Decodes,
    Fails,
    UnknownCharset,
};

struct CharsetFact
{
    QString charset; // as declared
    Position at;
    Decoding decoding = Decoding::Decodes;
};

struct PageFacts
{
    std::vector<TitleFact> titles;
    std::vector<MetaFact> metas;
    std::vector<CharsetFact> charsets; // in page order
    // Whether the page's bytes are valid UTF-8, and whether they are all
    // below 0x80; an ASCII page reads the same in every charset here.
    bool bytesAreUtf8 = true;
    bool bytesAreAscii = true;
};

// Titles, metas and declared charsets of a head as the reader found them.
// The decoding fields stay to be filled by scanBytes.
PageFacts factsOfHead(const pagehead::PageHead &head);

// Character references in a text, decoded as the HTML parser decodes them in
// a title (or, with inAttribute, in an attribute value).
QString decodeReferences(const QString &text, bool inAttribute);

// Reads the page's bytes to their end, in pieces so that a large page is
// never held whole, and fills the encoding flags and every declared
// charset's decoding. Returns false, leaving the facts as they were, when
// the device fails to read.
bool scanBytes(PageFacts &facts, QIODevice &device);
void scanBytes(PageFacts &facts, QByteArrayView bytes);

// Whether bytes decode, as a whole, with a charset; nullopt for a charset
// with no decoder.
std::optional<bool> decodesWith(QByteArrayView bytes, const QString &charset);

} // namespace brindle::check
