#include "render/webpage.h"

#include "base/error.h"
#include "base/textutil.h"

using namespace Qt::StringLiterals;

namespace brindle::render {

namespace {

// A bare CR is no line end for most tools here, and a bare LF none for the
// tools the page may be opened with elsewhere: every line ends in CR LF.
QString withCrLf(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            out += u"\r\n"_s;
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else if (c == u'\n') {
            out += u"\r\n"_s;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

int documentTypeRow(bool xhtml, int item)
{
    for (int row = 0; row < int(kDocumentTypes.size()); ++row) {
        const DocumentType &type = kDocumentTypes[std::size_t(row)];
        if (type.xhtml == xhtml && type.item == item)
            return row;
    }
    return -1;
}

int documentTypeRow(QStringView listText)
{
    for (int row = 0; row < int(kDocumentTypes.size()); ++row) {
        if (listText.compare(toQString(kDocumentTypes[std::size_t(row)].listText), Qt::CaseInsensitive) == 0)
            return row;
    }
    return -1;
}

namespace {

QString escapedAttribute(QString value)
{
    value.replace(u'&', u"&amp;"_s);
    value.replace(u'<', u"&lt;"_s);
    value.replace(u'"', u"&quot;"_s);
    return value;
}

QString htmlStartTag(const DocumentType &type, const QString &language)
{
    QString tag = u"<html"_s;
    if (type.xhtml)
        tag += u" xmlns=\""_s + toQString(kXhtmlNamespace) + u'"';
    if (!language.isEmpty()) {
        const QString value = escapedAttribute(language);
        // XML reads xml:lang, HTML parsers lang: an XHTML page says it twice.
        if (type.xhtml)
            tag += u" xml:lang=\""_s + value + u'"';
        tag += u" lang=\""_s + value + u'"';
    }
    return tag + u'>';
}

} // namespace

QString declarationText(int row, const QString &language)
{
    if (row < 0 || row >= int(kDocumentTypes.size()))
        return {};
    const DocumentType &type = kDocumentTypes[std::size_t(row)];
    if (type.keyword.empty())
        return htmlStartTag(type, language);
    QString text = u"<!DOCTYPE "_s + toQString(type.keyword);
    if (!type.publicId.empty())
        text += u" PUBLIC \""_s + toQString(type.publicId) + u"\" \""_s + toQString(type.systemId) + u'"';
    text += u">\r"_s;
    return text + htmlStartTag(type, language);
}

QString pageText(const QString &declaration, const QString &tagsText, const QString &language)
{
    QString withLanguage = declaration;
    if (!language.isEmpty()) {
        for (int row = 0; row < int(kDocumentTypes.size()); ++row) {
            if (declarationText(row) == declaration)
                withLanguage = declarationText(row, language);
        }
    }

    QString tags = tagsText;
    // Exact and case-sensitive on purpose: "</TITLE>" gets the placeholder too.
    if (!tags.contains(u"</title>"_s, Qt::CaseSensitive))
        tags.prepend(QString::fromUtf16(kPlaceholderTitle) + u'\r');
    QString page = QString::fromUtf16(kPageSkeleton);
    // The declaration first, so that "#DTD#" typed into a tag value stays as typed.
    page.replace(u"#DTD#"_s, withLanguage);
    page.replace(u"#TAGS#"_s, tags);
    return withCrLf(page + u"\r\n"_s);
}

QByteArray pageBytes(const QString &declaration, const QString &tagsText, const QString &language)
{
    return pageText(declaration, tagsText, language).toUtf8();
}

} // namespace brindle::render
