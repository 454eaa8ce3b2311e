#pragma once

// Markup made ready for the HTML parser. libgumbo parses as a browser with
// scripting off would; browsers run with scripting on, where a <noscript>
// holds raw text just like a <noframes>. So the markup's <noscript> tags are
// respelt <noframes> (same length) before the parser sees them, and the
// reader calls them <noscript> again. The same pass also keeps the parser
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

#include <vector>

namespace brindle::pagehead {

// A tag with more attributes than this keeps only the first of each
// attribute that the reader uses: name, content, http-equiv, charset,
// property and xmlns.
inline constexpr int kTagAttributeLimit = 32;

struct MarkupScan
{
    std::vector<qsizetype> renamedNoscripts; // offsets of the '<' of each <noscript> start tag respelt
    qsizetype tokens = 0;                    // tags, comments and doctypes
    qsizetype attributes = 0;                // attributes left to the parser
    qsizetype tokensAfterTemplate = 0;       // tokens from the first <template> start tag on
    bool bodyStarted = false;                // the text was cut just after what starts the body
};

// Prepares text in place, keeping the offset of every byte. With
// `cutAtBody`, the text ends just after the token that starts the body
// (past the first tag outside a <template> that has no place in a head, or
// the token after the first text that is not blank), so that the parser
// need not build what follows; the parser has the last word on where the
// body starts.
MarkupScan prepareMarkup(QByteArray &text, bool cutAtBody);

} // namespace brindle::pagehead
