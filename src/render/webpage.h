#pragma once

// Wraps the viewer's tag lines into a blank web page with a chosen document
// type declaration.

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <array>
#include <string_view>

namespace brindle::render {

struct DocumentType
{
    std::u16string_view listText; // as the builder's drop-down list shows it
    bool xhtml;
    int item;                     // index in its list
    std::u16string_view keyword;  // "html" or "HTML"; empty: no declaration at all
    std::u16string_view publicId; // empty: the short declaration "<!DOCTYPE html>"
    std::u16string_view systemId;
};

inline constexpr std::u16string_view kXhtmlNamespace = u"http://www.w3.org/1999/xhtml";

// XHTML rows first (items 0..3), then the HTML rows (items 0..3). "HTML 5"
// came last so that the other items keep their indexes.
inline constexpr std::array<DocumentType, 8> kDocumentTypes = {{
    {u"XHTML 1.0 Transitional", true, 0, u"html", u"-//W3C//DTD XHTML 1.0 Transitional//EN",
     u"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd"},
    {u"XHTML 1.0 Strict", true, 1, u"html", u"-//W3C//DTD XHTML 1.0 Strict//EN",
     u"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd"},
    {u"XHTML 1.1", true, 2, u"html", u"-//W3C//DTD XHTML 1.1//EN",
     u"http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd"},
    {u"XHTML Mobile 1.0", true, 3, u"html", u"-//WAPFORUM//DTD XHTML Mobile 1.0//EN",
     u"http://www.wapforum.org/DTD/xhtml-mobile10.dtd"},
    {u"None", false, 0, {}, {}, {}},
    {u"HTML 4.01 Transitional", false, 1, u"HTML", u"-//W3C//DTD HTML 4.01 Transitional//EN",
     u"http://www.w3.org/TR/html4/loose.dtd"},
    {u"HTML 4.01 Strict", false, 2, u"HTML", u"-//W3C//DTD HTML 4.01//EN",
     u"http://www.w3.org/TR/html4/strict.dtd"},
    {u"HTML 5", false, 3, u"html", {}, {}},
}};

// Selected in the lists when the builder is created.
inline constexpr int kDefaultXhtmlItem = 0; // "XHTML 1.0 Transitional"
inline constexpr int kDefaultHtmlItem = 1;  // "HTML 4.01 Transitional"

// The page around the tags. Lines are separated by a bare CR here; the
// written page gets CR LF everywhere (see pageText).
inline constexpr char16_t kPageSkeleton[] = u"#DTD#\r<head>\r#TAGS#\r</head>\r\r<body>\r\r"
                                            u"<!--insert your contents here-->\r\r</body>\r</html>";
inline constexpr char16_t kPlaceholderTitle[] = u"<title>Untitled Document</title>";

// The viewer's page mode: 1 offers the HTML types, every other value XHTML.
inline bool offersHtmlTypes(int pageMode)
{
    return pageMode == 1;
}

// Row of kDocumentTypes for an item of the HTML or XHTML list; -1 outside it.
int documentTypeRow(bool xhtml, int item);
// Row whose list text matches, ignoring case; -1 for none.
int documentTypeRow(QStringView listText);

// The stored declaration of a row: the DOCTYPE, a bare CR and the html start
// tag, or only "<html>" for "None". Empty for a row out of range. With a
// language the start tag says it: lang for HTML, xml:lang and lang for XHTML.
QString declarationText(int row, const QString &language = {});

// The whole page as text, every line end CR LF, the last line included. A
// language goes into the html start tag of a declaration that
// declarationText gives; any other declaration is written as it is.
QString pageText(const QString &declaration, const QString &tagsText, const QString &language = {});
// The same as the bytes written to the file (UTF-8, no byte-order mark).
QByteArray pageBytes(const QString &declaration, const QString &tagsText, const QString &language = {});

} // namespace brindle::render
