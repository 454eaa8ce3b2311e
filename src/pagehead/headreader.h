#pragma once

// Reads the head of a web page as a browser with scripting on reads it:
// every element in it with its place in the page's bytes, the charset the
// page declares and the one its bytes are in. The HTML parser recovers from
// broken markup as browsers do; a <noscript> in the head holds raw text, and
// the contents of a <template> are not part of the head. Only the part of the
// page before its body is parsed, and of a file only as much is read as the
// head needs, up to kHeadByteLimit.

#include "pagehead/pagefile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

namespace brindle::pagehead {

// A head that does not end within this many bytes is not read.
inline constexpr qsizetype kHeadByteLimit = qsizetype(16) << 20;
// Nor is one with more tags (comments and doctypes count as tags), or more
// attributes: its tree would take more memory than a head is worth.
inline constexpr qsizetype kHeadTagLimit = 50000;
inline constexpr qsizetype kHeadAttributeLimit = 200000;

struct SourcePosition
{
    qsizetype offset = 0; // in the page's bytes
    int line = 1;         // from 1; CR LF, LF and a lone CR end a line
    int column = 1;       // from 1, in characters
};

struct HeadAttribute
{
    QString name;  // in lower case
    QString value; // as written between its quotes, except that "&quot;" is '"'
    qsizetype offset = 0;
};

struct HeadElement
{
    QString name; // tag name in lower case
    SourcePosition start;
    qsizetype startTagEnd = 0; // one past the '>' of the start tag
    // One past the end tag when one is written, else startTagEnd. For a
    // title without end tag: the end of what was read.
    qsizetype end = 0;
    bool endTagWritten = false;
    int depth = 0; // 0 for a child of the head element, the only ones a browser's head has
    std::vector<HeadAttribute> attributes;
    QString text; // a title's or script's text as written (no character reference decoded)

    // The first attribute of that name (lower case), or nullptr.
    const HeadAttribute *attribute(QStringView name) const;
};

// A charset that a <meta charset> or a <meta http-equiv="content-type">
// declares.
struct CharsetDeclaration
{
    QString charset;  // as written, may be empty
    int element = -1; // index in PageHead::elements
};

enum class HeadProblem
{
    None,
    Binary,       // NUL bytes before the body
    NotDecodable, // neither UTF-8 nor in a charset it declares
    HeadTooLong,  // no end of the head within kHeadByteLimit
    TooComplex,   // more markup than kHeadTagLimit and its kind, or in a <template>, allow
};

struct PageHead
{
    HeadProblem problem = HeadProblem::None;
    QString problemText; // "contains NUL bytes", ...

    // The charset the page is in, by the Encoding Standard's name for it:
    // that of its byte-order mark, else "UTF-8" when its bytes are UTF-8
    // with other characters than ASCII, else the one it declares
    // ("windows-1252" for a page that declares iso-8859-1; a name browsers
    // do not know is taken as written when iconv knows it as a charset that
    // keeps ASCII, like "DOS-720"), else "UTF-8". And whether the bytes
    // decoded in it.
    QString encoding;
    bool decodes = true;
    QString byteOrderMark;    // the encoding of the byte-order mark the page begins with, or empty
    QString declaredCharset;  // the declaration that decides, as written; empty for none
    bool hasNonAscii = false; // in the bytes before the body

    // Every element inside the head, in source order: the head's children,
    // a <template> but not its contents, and elements nested in others
    // only where a broken head has them (depth above 0).
    std::vector<HeadElement> elements;
    std::vector<CharsetDeclaration> charsets;

    // The <html> start tag when the page writes one (name, start,
    // startTagEnd and attributes; end is startTagEnd): where its lang is.
    std::optional<HeadElement> html;
    bool headTagWritten = false; // an explicit <head> start tag
    qsizetype headStartTagEnd = -1;
    qsizetype headEndTag = -1; // offset of an explicit </head>, else -1
    qsizetype bodyStart = 0;   // where the body (or what comes after the head) starts
    bool xhtml = false;        // the doctype or the html element's xmlns says XHTML
    QByteArray lineEnd;        // the page's first line end ("\r\n", "\n" or "\r"); "\n" for none

    // The head's own <title> and <meta> elements.
    std::vector<const HeadElement *> titles() const;
    std::vector<const HeadElement *> metas() const;
};

// Reads the head from bytes that are the whole page (atEnd) or its
// beginning. Returns nullopt when the bytes stop before the head is known
// to end: more are needed.
std::optional<PageHead> parseHead(QByteArrayView bytes, bool atEnd);

// The charset lines written into the page go in: the page's own, or the one
// a new charset tag names (newCharset, empty for none). Only charsets that
// keep ASCII bytes as they are take lines, and a page may get a charset tag
// for another charset only when its bytes mean the same in it (plain ASCII,
// or valid UTF-8 for UTF-8). Throws brindle::Error with the reason
// otherwise. wholePage must be all of the page when newCharset names
// another charset than the page's.
QString charsetForLines(const PageHead &head, QByteArrayView wholePage, const QString &newCharset);

// Reads the head of an open page, reading as much of the file as it needs.
PageHead readHead(PageFile &file);
// Opens the page and reads its head; throws brindle::Error when the file
// cannot be read, with the reason alone.
PageHead readHeadOfFile(const QString &path);

} // namespace brindle::pagehead
