#pragma once

// What the checker needs to know about a page's head: its titles, its meta
// tags with their places, and whether the page's bytes decode with the
// charsets it declares. Filled from a parsed page, or from the window's
// inputs; the rules never see markup.

#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

class QIODevice;

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
    QString name;      // the name attribute as written, or empty
    QString httpEquiv; // the http-equiv attribute as written, or empty
    QString content;   // references decoded
    bool hasContent = false;
    QString charset; // the charset attribute, or empty
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
    std::vector<CharsetFact> charsets; // in page order; see declareCharsets
    // Whether the page's bytes are valid UTF-8, and whether they hold any byte
    // above 0x7F; an ASCII page decodes the same with every charset here.
    bool bytesAreUtf8 = true;
    bool bytesAreAscii = true;
};

// The charset a meta tag declares: its charset attribute, or the charset
// parameter of an http-equiv content-type's content. Empty for none.
QString declaredCharset(const MetaFact &meta);

// Whether bytes decode, as a whole, with a charset. Knows the charset table's
// codes and the names glibc's iconv knows; nullopt for a charset it cannot
// decode with at all.
std::optional<bool> decodesWith(QByteArrayView bytes, const QString &charset);

// The same over a device, read in pieces so that a large page is never held
// whole. Reads the device to its end.
std::optional<bool> decodesWith(QIODevice &device, const QString &charset);

// Fills facts.charsets from facts.metas and the encoding flags from the
// bytes: every meta that declares a charset, with whether the bytes decode
// with it.
void declareCharsets(PageFacts &facts, QByteArrayView bytes);
void declareCharsets(PageFacts &facts, QIODevice &device);

} // namespace brindle::check
