#pragma once

// Reads the head of a web page: every element in it with its place in the
// page's bytes, the charset the page declares and the one its bytes are
// in. The HTML parser recovers from broken markup as browsers do; only the
// part of the page before its body is parsed, and of a file only as much is
// read as the head needs, up to kHeadByteLimit.

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
    int depth = 0; // 0 for a child of the head element
    std::vector<HeadAttribute> attributes;
    QString text; // the title's text as written (no character reference decoded)

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
    TooComplex,   // too much markup in a <template> to parse in reasonable time
};

struct PageHead
{
    HeadProblem problem = HeadProblem::None;
    QString problemText; // "contains NUL bytes", ...

    // The charset the page's bytes were read in ("utf-8" or a declared one)
    // and whether they decoded in it.
    QString encoding;
    bool decodes = true;
    bool hasNonAscii = false; // in the bytes before the body

    // Every element inside the head, nested ones included, in source order.
    std::vector<HeadElement> elements;
    std::vector<CharsetDeclaration> charsets;

    bool headTagWritten = false; // an explicit <head> start tag
    qsizetype headStartTagEnd = -1;
    qsizetype headEndTag = -1; // offset of an explicit </head>, else -1
    qsizetype bodyStart = 0;   // where the body (or what comes after the head) starts
    bool xhtml = false;        // the doctype or the html element's xmlns says XHTML
    QByteArray lineEnd;        // the page's first line end ("\r\n", "\n" or "\r"); "\n" for none

    std::vector<const HeadElement *> titles() const;
    std::vector<const HeadElement *> metas() const;
};

// The charset of a content-type value ("text/html; charset=X"), extracted
// as browsers do; nullopt when it names none.
std::optional<QString> charsetOfContentType(const QString &content);

// Reads the head from bytes that are the whole page (atEnd) or its
// beginning. Returns nullopt when the bytes stop before the head is known
// to end: more are needed.
std::optional<PageHead> parseHead(QByteArrayView bytes, bool atEnd);

// Reads the head of an open page, reading as much of the file as it needs.
PageHead readHead(PageFile &file);
// Opens the page and reads its head; throws brindle::Error when the file
// cannot be read, with the reason alone.
PageHead readHeadOfFile(const QString &path);

} // namespace brindle::pagehead
