#include "tags/languagetag.h"

#include "base/textutil.h"
#include "tags/tagcatalogue.h"

#include <QLocale>

#include <algorithm>

using namespace Qt::StringLiterals;
using namespace std::string_view_literals;

namespace brindle::tags {

const std::array<std::string_view, 136> kContentLanguageTags = {
    "ab"sv, "aa"sv, "af"sv, "sq"sv, "am"sv, "ar"sv, "hy"sv, "as"sv, "ay"sv, "az"sv, // Abkhazian..Azerbaijani
    "ba"sv, "eu"sv, "bn"sv, "dz"sv, "bh"sv, "bi"sv, "br"sv, "bg"sv, "my"sv, "be"sv, // Bashkir..Byelorussian
    "km"sv, "ca"sv, "zh"sv, "co"sv, "hr"sv, "cs"sv, "da"sv, "nl"sv, "en"sv, "eo"sv, // Cambodian..Esperanto
    "et"sv, "fo"sv, "fj"sv, "fi"sv, "fr"sv, "fy"sv, "gd"sv, "gl"sv, "ka"sv, "de"sv, // Estonian..German
    "el"sv, "kl"sv, "gn"sv, "gu"sv, "ha"sv, "he"sv, "hi"sv, "hu"sv, "is"sv, "id"sv, // Greek..Indonesian
    "ia"sv, "ie"sv, "ik"sv, "ga"sv, "it"sv, "ja"sv, "jv"sv, "kn"sv, "ks"sv, "kk"sv, // Interlingua..Kazakh
    "rw"sv, "ky"sv, "rn"sv, "ko"sv, "ku"sv, "lo"sv, "la"sv, "lv"sv, "ln"sv, "lt"sv, // Kinyarwanda..Lithuanian
    "mk"sv, "mg"sv, "ms"sv, "ml"sv, "mt"sv, "mi"sv, "mr"sv, "ro"sv, "mn"sv, "na"sv, // Macedonian..Nauru
    "ne"sv, "no"sv, "oc"sv, "or"sv, "om"sv, "ps"sv, "fa"sv, "pl"sv, "pt"sv, "pa"sv, // Nepali..Punjabi
    "qu"sv, "rm"sv, "ro"sv, "ru"sv, "sm"sv, "sg"sv, "sa"sv, "sr"sv, "sh"sv, "st"sv, // Quechua..Sesotho
    "tn"sv, "sn"sv, "sd"sv, "si"sv, "ss"sv, "sk"sv, "sl"sv, "so"sv, "es"sv, "su"sv, // Setswana..Sudanese
    "sw"sv, "sv"sv, "tl"sv, "tg"sv, "ta"sv, "tt"sv, "te"sv, "th"sv, "bo"sv, "ti"sv, // Swahili..Tigrinya
    "to"sv, "ts"sv, "tr"sv, "tk"sv, "tw"sv, "uk"sv, "ur"sv, "uz"sv, "vi"sv, "vo"sv, // Tonga..Volapuk
    "cy"sv, "wo"sv, "xh"sv, "yi"sv, "yo"sv, "zu"sv,                                 // Welsh..Zulu
};

namespace {

bool allOf(QStringView s, bool (*pred)(QChar))
{
    return !s.isEmpty() && std::all_of(s.begin(), s.end(), pred);
}
bool isAlpha(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}
bool isAlnum(QChar c)
{
    return isAlpha(c) || isDigit(c);
}

// Tags from before the grammar that do not fit it.
constexpr std::array<std::u16string_view, 17> kIrregularTags = {
    u"en-gb-oed", u"i-ami", u"i-bnn",     u"i-default", u"i-enochian", u"i-hak",
    u"i-klingon", u"i-lux", u"i-mingo",   u"i-navajo",  u"i-pwn",      u"i-tao",
    u"i-tay",     u"i-tsu", u"sgn-be-fr", u"sgn-be-nl", u"sgn-ch-de",
};

bool knownTwoLetterLanguage(QStringView code)
{
    if (QLocale::codeToLanguage(code) != QLocale::AnyLanguage)
        return true;
    // Qt's locale data lacks a few that the list uses ("bh", "tw").
    const QString lower = code.toString().toLower();
    return std::any_of(kContentLanguageTags.begin(), kContentLanguageTags.end(),
                       [&](std::string_view tag) { return toQString(tag) == lower; });
}

} // namespace

bool isLanguageTag(QStringView text)
{
    if (text.isEmpty())
        return false;
    const QString lower = text.toString().toLower();
    for (std::u16string_view irregular : kIrregularTags) {
        if (lower == QStringView(irregular.data(), qsizetype(irregular.size())))
            return true;
    }
    const QList<QStringView> parts = QStringView(text).split(u'-');
    qsizetype i = 0;
    const auto at = [&](qsizetype k) { return k < parts.size() ? parts.at(k) : QStringView(); };
    const auto privateUse = [&](qsizetype from) {
        if (from + 1 >= parts.size())
            return false;
        for (qsizetype k = from + 1; k < parts.size(); ++k) {
            if (parts.at(k).size() > 8 || !allOf(parts.at(k), isAlnum))
                return false;
        }
        return true;
    };
    if (at(0).compare(u"x"_s, Qt::CaseInsensitive) == 0)
        return privateUse(0);

    // Language: two or three letters (longer ones are reserved or unused),
    // then up to three extended language subtags.
    const QStringView language = at(i++);
    if (language.size() < 2 || language.size() > 3 || !allOf(language, isAlpha))
        return false;
    if (language.size() == 2 && !knownTwoLetterLanguage(language))
        return false;
    for (int ext = 0; ext < 3 && at(i).size() == 3 && allOf(at(i), isAlpha); ++ext)
        ++i;
    if (at(i).size() == 4 && allOf(at(i), isAlpha)) // script
        ++i;
    if (at(i).size() == 2 && allOf(at(i), isAlpha)) { // region
        if (QLocale::codeToTerritory(at(i)) == QLocale::AnyTerritory)
            return false;
        ++i;
    } else if (at(i).size() == 3 && allOf(at(i), isDigit)) {
        ++i;
    }
    // Variants.
    while (i < parts.size()) {
        const QStringView v = at(i);
        if ((v.size() >= 5 && v.size() <= 8 && allOf(v, isAlnum)) ||
            (v.size() == 4 && isDigit(v.at(0)) && allOf(v, isAlnum)))
            ++i;
        else
            break;
    }
    // Extensions, then private use.
    while (i < parts.size()) {
        const QStringView singleton = at(i);
        if (singleton.size() != 1 || !isAlnum(singleton.at(0)))
            return false;
        if (singleton.compare(u"x"_s, Qt::CaseInsensitive) == 0)
            return privateUse(i);
        qsizetype k = i + 1;
        while (k < parts.size() && parts.at(k).size() >= 2 && parts.at(k).size() <= 8 &&
               allOf(parts.at(k), isAlnum))
            ++k;
        if (k == i + 1)
            return false;
        i = k;
    }
    return true;
}

bool isLanguageTagList(QStringView text)
{
    const QList<QStringView> tags = text.split(u',');
    return std::all_of(tags.begin(), tags.end(),
                       [](QStringView tag) { return isLanguageTag(tag.trimmed()); });
}

QString languageTagOfListItem(QStringView name)
{
    const QString trimmed = name.trimmed().toString();
    for (std::size_t i = 0; i < tags::kContentLanguageItems.size(); ++i) {
        if (trimmed.compare(toQString(tags::kContentLanguageItems[i]), Qt::CaseInsensitive) == 0)
            return toQString(kContentLanguageTags[i]);
    }
    return {};
}

} // namespace brindle::tags
