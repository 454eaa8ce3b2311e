#pragma once

// Maps the head of a page to the thirteen tags: what the window's inputs and
// ticks hold after importing the page.

#include "pagehead/headreader.h"
#include "tags/metataggenerator.h"
#include "tags/tagcatalogue.h"

#include <QString>

#include <array>
#include <vector>

namespace brindle::pagehead {

// Which of the thirteen tags a head element is: <title>, <meta name=...> for
// the nine named tags (names without regard to case), <meta http-equiv=...>
// for cache-control, content-language and content-type (the charset tag),
// <meta charset=...>. -1 for any other element, and for elements nested in
// another one: only the head's own children are the page's tags.
int tagOfElement(const HeadElement &element);

// Which social card field a head element is: <meta property=...> or
// <meta name=...> naming og:title, twitter:card and the others (without
// regard to case; pages use either attribute for either kind). -1 for any
// other element, and for nested ones.
int socialFieldOfElement(const HeadElement &element);

// Which head field a head element is: <meta name=viewport>, <meta
// name=theme-color> (one without a media query: those with one are
// variants beside it), <link rel=canonical>, <link rel=alternate> with an
// hreflang (every one of them: the alternates are one field),
// <link rel=icon> or "shortcut icon" (one without sizes or media: sized
// icons are variants), and a <script type="application/ld+json"> whose
// @type is one the structured data field takes. Rel tokens and names
// without regard to case. -1 for any other element, and for nested ones;
// the language is the <html> element's, no element of the head.
int headFieldOfElement(const HeadElement &element);

// The @type of a <script type="application/ld+json"> whose text is a JSON
// object with a string @type; empty for anything else.
QString structuredDataTypeOf(const HeadElement &element);

// The language a page's <html> start tag gives: its lang, or its xml:lang
// when it has no lang; null when it has neither.
QString languageOfPage(const PageHead &head);

// The value of such an element as the user would have typed it: the title's
// text, the content attribute, the charset of a content type or <meta charset>.
// On one line, as an input holds it: CR LF, CR, LF, TAB and form feed become
// a space each, and a title's blanks are collapsed and trimmed as browsers
// show it (document.title). Character references stay as written.
QString tagValueOf(const HeadElement &element, int tagIndex);

// A value on one line, as tagValueOf gives it.
QString singleLineValue(const QString &value);

// Option and report name of a tag: its row text in lower case ("revisit-after").
QString tagName(int tagIndex);

// Something of the page that import leaves out, with the reason.
struct ImportWarning
{
    int line = 0;
    QString text;
};

struct TagFinding
{
    int tagIndex = -1; // -1 for a social card or head tag
    int socialField = -1;
    int line = 0;
    bool repeated = false; // a later occurrence; the first one is used
    int headField = -1;
};

// Report name of a finding: tagName, the social tag's property
// ("og:title"), or the head field's key ("canonical", "lang").
QString findingName(const TagFinding &finding);

struct ImportedProfile
{
    // What the inputs show: the text tags' texts, the choice inputs' item
    // texts or typed texts.
    std::array<QString, tags::kTagCount> texts;
    // The choice inputs' items, -1 where the text selects none; the text
    // tags' entries are -1.
    std::array<int, tags::kTagCount> items{};
    tags::RowTicks ticks{};
    // The social card tags found; the group is ticked when there is one.
    tags::SocialValues social;
    // The head fields found, each ticked when it has a value that is not
    // refused.
    tags::HeadValues head;
    std::vector<TagFinding> findings; // every tag found, in page order
    QString unknownCharset;           // a charset that is not in the table
    int unknownCharsetLine = 0;
    // Social card and head values the windows would refuse, left empty.
    std::vector<ImportWarning> warnings;
    bool xhtml = false;

    // The values as the generator takes them.
    tags::TagValues tagValues() const;
};

// The profile of a new window: empty texts, default items, nothing ticked.
ImportedProfile newProfileValues();

ImportedProfile importHead(const PageHead &head);

// Reads the page and maps its head. Throws brindle::Error, naming the page,
// when the page cannot be read, is no text or has no head.
ImportedProfile importPage(const QString &path);

// The message for a page that cannot be used: "<path>: <reason>".
QString pageMessage(const QString &path, const QString &reason);

} // namespace brindle::pagehead
