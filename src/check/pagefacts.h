#pragma once

// What the checker needs to know about a page: its titles, meta and link
// tags and structured data with their places, the language of its <html>,
// the charsets it declares, and whether its bytes decode with them. Taken
// from the head reader's result and the bytes it read (the head, and at
// least the first 64 KiB of the page); the rules never see markup.

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

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
    UnknownCharset, // a label browsers do not know, so they ignore it
    Refused,        // a label of the charsets browsers never decode ("hz-gb-2312")
};

struct CharsetFact
{
    QString charset; // as declared
    Position at;
    Decoding decoding = Decoding::Decodes;
    qsizetype endOffset = 0; // one past the declaring tag, in the page's bytes
};

struct LinkFact
{
    QString rel;                     // the rel attribute as written: tokens separated by whitespace
    QString href;                    // references decoded
    std::optional<QString> hreflang; // references decoded; none without the attribute
    Position at;

    // Whether rel holds the token (letter case does not matter).
    bool hasRel(QStringView token) const;
};

// A <script type="application/ld+json">.
struct StructuredDataFact
{
    QString text; // as written: a script's text holds no references
    Position at;
};

// A value as the page writes it: an attribute's between its quotes, or a
// title's text, for the rules of XHTML's syntax.
struct WrittenValue
{
    QString element;   // "meta"
    QString attribute; // "content"; empty for a title's text
    QString text;
    Position at; // of the element
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
    // The encoding of the byte-order mark the page begins with, which
    // browsers follow whatever the page declares; empty for none.
    QString byteOrderMark;

    std::vector<LinkFact> links;
    std::vector<StructuredDataFact> structuredData;
    // False for tag lines alone (the window's): no <html> around them and no
    // bytes before them, so the rules on those stay quiet.
    bool wholePage = true;
    bool htmlTagWritten = false;
    Position htmlAt;
    // The lang of the <html> tag (for XHTML also xml:lang), trimmed; empty
    // for none.
    QString htmlLanguage;
    bool xhtml = false;
    std::vector<WrittenValue> writtenValues; // only for XHTML pages
};

// Titles, metas and declared charsets of a head as the reader found them.
// The decoding fields stay to be filled by scanBytes.
PageFacts factsOfHead(const pagehead::PageHead &head);

// Character references in a text, decoded as the HTML parser decodes them in
// a title (or, with inAttribute, in an attribute value).
QString decodeReferences(const QString &text, bool inAttribute);

// Fills the encoding flags and every declared charset's decoding from the
// page's bytes, or its beginning when `complete` is false (a character cut
// off by their end is then no fault).
void scanBytes(PageFacts &facts, QByteArrayView bytes, bool complete = true);

// Whether bytes decode, as a whole, with a charset as a page declares it;
// nullopt for a charset with no decoder.
std::optional<bool> decodesWith(QByteArrayView bytes, const QString &charset);

} // namespace brindle::check
