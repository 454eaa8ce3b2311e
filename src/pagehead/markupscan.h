#pragma once

// Markup made ready for the HTML parser. libgumbo parses as a browser with
// scripting off would; browsers run with scripting on, where a <noscript>
// holds raw text just like a <noframes>. So the markup's <noscript> tags are
// respelt <noframes> (same length) for the parser, and the reader calls
// them <noscript> again. The same pass also keeps the parser
// within bounds: a DOCTYPE where none may stand becomes a comment of the
// same extent (the parser leaks the strings of some of those), and a tag with
// more than kTagAttributeLimit attributes keeps only those the reader uses,
// the others blanked out (the parser checks each new attribute against all
// earlier ones of its tag). Every byte keeps its offset, so positions in the
// prepared text are positions in the page.
//
// The scan follows the tokenizer of the HTML standard in the markup the
// head is made of (tags, attributes, comments, raw text, script data).

#include <QByteArray>
#include <QByteArrayView>

#include <vector>

namespace brindle::pagehead {

// A tag with more attributes than this keeps only the first of each
// attribute that the reader uses: name, content, http-equiv, charset,
// property, xmlns, and those of the links, scripts and <html> that import
// and apply know (rel, href, hreflang, media, sizes, type, lang, xml:lang).
inline constexpr int kTagAttributeLimit = 32;

// A change the parser is to see: `length` bytes at `offset` become `bytes`,
// or blanks where it is null.
struct MarkupEdit
{
    qsizetype offset = 0;
    qsizetype length = 0;
    const char *bytes = nullptr;
};

struct MarkupScan
{
    std::vector<qsizetype> renamedNoscripts; // offsets of the '<' of each <noscript> start tag respelt
    qsizetype tokens = 0;                    // tags, comments and doctypes
    qsizetype attributes = 0;                // attributes left to the parser
    qsizetype tokensAfterTemplate = 0;       // tokens from the first <template> start tag on
    qsizetype end = 0;                       // where the markup for the parser ends
    bool bodyStarted = false;                // it ends just after what starts the body
    std::vector<MarkupEdit> edits;           // in page order
};

// Scans text for the parser. With `cutAtBody`, the markup for the parser
// ends just after the token that starts the body (past the first tag outside
// a <template> that has no place in a head, or the token after the first
// text that is not blank), so that the parser need not build what follows;
// the parser has the last word on where the body starts.
MarkupScan scanMarkup(QByteArrayView text, bool cutAtBody);

// The markup as the parser is to read it: the text up to the scan's end
// with its edits made. Every byte keeps its offset.
QByteArray preparedMarkup(QByteArrayView text, const MarkupScan &scan);

} // namespace brindle::pagehead
