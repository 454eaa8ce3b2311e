#include "tags/socialtags.h"

#include "base/error.h"
#include "base/textutil.h"
#include "tags/metataggenerator.h"

#include <QUrl>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace brindle::tags {

const std::array<std::string_view, 6> kOgTypeItems = {"website", "article",     "profile",
                                                      "book",    "video.movie", "music.song"};
const std::array<std::string_view, 2> kTwitterCardItems = {"summary", "summary_large_image"};

namespace {

const std::array<SocialFieldInfo, kSocialFieldCount> kSocialFields = {{
    {"og:title", "og-title", false, SocialCheck::None, kNoItems},
    {"og:description", "og-description", false, SocialCheck::None, kNoItems},
    {"og:type", "og-type", false, SocialCheck::None, kOgTypeItems},
    {"og:url", "og-url", false, SocialCheck::AbsoluteAddress, kNoItems},
    {"og:image", "og-image", false, SocialCheck::AbsoluteAddress, kNoItems},
    {"og:image:alt", "og-image-alt", false, SocialCheck::None, kNoItems},
    {"og:site_name", "og-site-name", false, SocialCheck::None, kNoItems},
    {"og:locale", "og-locale", false, SocialCheck::Locale, kNoItems},
    {"twitter:card", "twitter-card", true, SocialCheck::None, kTwitterCardItems},
    {"twitter:site", "twitter-site", true, SocialCheck::None, kNoItems},
    {"twitter:creator", "twitter-creator", true, SocialCheck::None, kNoItems},
}};

} // namespace

bool isAbsoluteWebAddress(const QString &value)
{
    // Blanks are not allowed in an address; the lenient parser would take them.
    if (std::any_of(value.begin(), value.end(), [](QChar c) { return c.isSpace(); }))
        return false;
    const QUrl url(value, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http"_s || scheme == u"https"_s) && !url.host().isEmpty();
}

namespace {

bool looksLikeLocale(const QString &value)
{
    const auto lower = [](QChar c) { return c >= u'a' && c <= u'z'; };
    const auto upper = [](QChar c) { return c >= u'A' && c <= u'Z'; };
    return value.size() == 5 && lower(value[0]) && lower(value[1]) && value[2] == u'_' && upper(value[3]) &&
           upper(value[4]);
}

} // namespace

const SocialFieldInfo &socialFieldInfo(int field)
{
    return kSocialFields.at(std::size_t(field));
}

int socialFieldOfProperty(QStringView property)
{
    for (int f = 0; f < kSocialFieldCount; ++f) {
        if (property.compare(toQString(kSocialFields[std::size_t(f)].property), Qt::CaseInsensitive) == 0)
            return f;
    }
    return -1;
}

int socialFieldOfKey(QStringView key)
{
    for (int f = 0; f < kSocialFieldCount; ++f) {
        if (key == toQString(kSocialFields[std::size_t(f)].key))
            return f;
    }
    return -1;
}

bool SocialValues::hasValues() const
{
    return std::any_of(values.begin(), values.end(), [](const QString &v) { return !v.isEmpty(); });
}

QString socialValueProblem(int field, const QString &value)
{
    if (value.isEmpty())
        return {};
    const SocialFieldInfo &info = socialFieldInfo(field);
    switch (info.check) {
    case SocialCheck::AbsoluteAddress:
        if (!isAbsoluteWebAddress(value))
            return u"%1: \"%2\" is not an absolute http:// or https:// address"_s.arg(
                toQString(info.property), value);
        break;
    case SocialCheck::Locale:
        if (!looksLikeLocale(value))
            return u"%1: \"%2\" does not look like en_US (language, underscore, country)"_s.arg(
                toQString(info.property), value);
        break;
    case SocialCheck::None:
        break;
    }
    return {};
}

QString effectiveSocialValue(const SocialValues &social, int field, const QString &classicTitle,
                             const QString &classicDescription)
{
    const QString &own = social[field];
    if (!own.isEmpty())
        return own;
    if (field == OgTitle)
        return classicTitle;
    if (field == OgDescription)
        return classicDescription;
    return {};
}

QString socialLine(int field, const QString &value, TagMode mode)
{
    const SocialFieldInfo &info = socialFieldInfo(field);
    QString content = value;
    content.replace(u'"', u"&quot;"_s);
    return u"<meta "_s + (info.nameAttribute ? u"name"_s : u"property"_s) + u"=\""_s +
           toQString(info.property) + u"\" content=\""_s + content + u'"' + closerOf(mode).toString();
}

QStringList socialLines(const SocialValues &social, const QString &classicTitle,
                        const QString &classicDescription, TagMode mode)
{
    QStringList lines;
    if (!social.used)
        return lines;
    for (int f = 0; f < kSocialFieldCount; ++f) {
        const QString value = effectiveSocialValue(social, f, classicTitle, classicDescription);
        if (value.isEmpty())
            continue;
        if (const QString problem = socialValueProblem(f, value); !problem.isEmpty())
            throw Error(problem);
        lines.append(socialLine(f, value, mode));
    }
    return lines;
}

} // namespace brindle::tags
