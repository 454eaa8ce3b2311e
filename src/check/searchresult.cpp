#include "check/searchresult.h"

#include <QUrl>

using namespace Qt::StringLiterals;

namespace brindle::check {

namespace {

bool isHostName(QStringView host)
{
    // At least two labels of letters, digits and hyphens: "localhost" or a
    // person's name is no address on the web.
    if (!host.contains(u'.') || host.startsWith(u'.') || host.endsWith(u'.') || host.contains(u".."))
        return false;
    for (QChar c : host) {
        if (!c.isLetterOrNumber() && c != u'-' && c != u'.')
            return false;
    }
    return true;
}

} // namespace

QString resultAddress(QStringView owner)
{
    const QString text = owner.trimmed().toString();
    for (QChar c : text) {
        if (c.isSpace())
            return QString::fromUtf16(kExampleAddress);
    }
    const bool hasScheme = text.startsWith(u"http://"_s, Qt::CaseInsensitive) ||
                           text.startsWith(u"https://"_s, Qt::CaseInsensitive);
    const QUrl url(hasScheme ? text : u"https://"_s + text, QUrl::StrictMode);
    if (!url.isValid() || !isHostName(url.host()) || !url.userInfo().isEmpty())
        return QString::fromUtf16(kExampleAddress);
    QString shown = hasScheme ? url.scheme() + u"://"_s + url.host() : url.host();
    if (url.port() > 0)
        shown += u':' + QString::number(url.port());
    const QStringList parts = url.path().split(u'/', Qt::SkipEmptyParts);
    for (const QString &part : parts)
        shown += u" › "_s + QUrl::fromPercentEncoding(part.toUtf8());
    return shown;
}

} // namespace brindle::check
