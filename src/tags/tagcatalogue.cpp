#include "tags/tagcatalogue.h"

#include <algorithm>

namespace brindle::tags {

using namespace std::string_view_literals;

const std::array<std::string_view, kRowCount> kRowTexts = {
    "//Doc. Title"sv,      "Title"sv,         "//Meta Name"sv,   "Description"sv,
    "Keywords"sv,          "Author"sv,        "Copyright"sv,     "Owner"sv,
    "Distribution"sv,      "Rating"sv,        "Revisit-After"sv, "Robots"sv,
    "//Meta http-equiv"sv, "Cache-Control"sv, "Charset"sv,       "Content-Language"sv,
};

const std::array<std::string_view, 3> kDistributionItems = {"Global"sv, "Local"sv, "Private"sv};
const std::array<std::string_view, 4> kRatingItems = {"General"sv, "Mature"sv, "14 Years"sv, "Restricted"sv};
const std::array<std::string_view, 5> kRevisitAfterItems = {"3 days"sv, "7 days"sv, "14 days"sv, "30 days"sv,
                                                            "60 days"sv};
const std::array<std::string_view, 4> kRobotsItems = {"index,follow"sv, "index,nofollow"sv,
                                                      "noindex,follow"sv, "noindex,nofollow"sv};
const std::array<std::string_view, 4> kCacheControlItems = {"Public"sv, "Private"sv, "no-Cache"sv,
                                                            "no-Store"sv};

// The display texts keep their odd spellings; only the codes reach a page.
const std::array<std::string_view, 31> kCharsetItems = {
    "Arabic (ASMO 708)"sv,
    "Arabic (DOS)"sv,
    "Arabic (ISO)"sv,
    "Arabic (Windows)"sv,
    "Baltic (Windows)"sv,
    "Central European (DOS)"sv,
    "Central European (ISO)"sv,
    "Central European (Windows)"sv,
    "Chinese Simplified (G818030)"sv,
    "Chinese Simplified (G62312)"sv,
    "Chinese Simplified (HZ)"sv,
    "Chinese Traditional (Big5)"sv,
    "Cyrillic (DOS)"sv,
    "Cyrillic (ISO)"sv,
    "Cyrillic (K018-R)"sv,
    "Cyrillic (KOI8-U)"sv,
    "Cyrillic (Windows)"sv,
    "Greek (ISO)"sv,
    "Greek (Windows)"sv,
    "Hebrew (DOS)"sv,
    "Hebrew (ISO-Logical)"sv,
    "Hebrew (ISO-Visual)"sv,
    "Hebrew (Windows)"sv,
    "Japanese (EUC)"sv,
    "Japanese (Shift-]IS)"sv,
    "Korean"sv,
    "Thai (Windows)"sv,
    "Turkish (Windows)"sv,
    "Unicode (UTF-8)"sv,
    "Vietnamese (Windows)"sv,
    "Western European"sv,
};

const std::array<std::string_view, 31> CharsetCodes = {
    "ASMO-708"sv,     "DOS-720"sv,      "iso-8859-6"sv,   "windows-1256"sv, "windows-1257"sv,
    "ibm852"sv,       "iso-8859-2"sv,   "windows-1250"sv, "gb18030"sv,      "gb2312"sv,
    "hz-gb-2312"sv,   "big5"sv,         "cp866"sv,        "iso-8859-5"sv,   "koi8-r"sv,
    "koi8-ru"sv,      "windows-1251"sv, "iso-8859-7"sv,   "windows-1253"sv, "DOS-862"sv,
    "iso-8859-8-i"sv, "iso-8859-8"sv,   "windows-1255"sv, "euc-jp"sv,       "shift_jis"sv,
    "euc-kr"sv,       "windows-874"sv,  "iso-8859-9"sv,   "utf-8"sv,        "windows-1258"sv,
    "iso-8859-1"sv,
};

const std::array<std::string_view, 136> kContentLanguageItems = {
    "Abkhazian"sv,
    "Afar"sv,
    "Afrikaans"sv,
    "Albanian"sv,
    "Amharic"sv,
    "Arabic"sv,
    "Armenian"sv,
    "Assamese"sv,
    "Aymara"sv,
    "Azerbaijani"sv,
    "Bashkir"sv,
    "Basque"sv,
    "Bengali, Bangla"sv,
    "Bhutani"sv,
    "Bihari"sv,
    "Bislama"sv,
    "Breton"sv,
    "Bulgarian"sv,
    "Burmese"sv,
    "Byelorussian"sv,
    "Cambodian"sv,
    "Catalan"sv,
    "Chinese"sv,
    "Corsican"sv,
    "Croatian"sv,
    "Czech"sv,
    "Danish"sv,
    "Dutch"sv,
    "English"sv,
    "Esperanto"sv,
    "Estonian"sv,
    "Faeroese"sv,
    "Fiji"sv,
    "Finnish"sv,
    "French"sv,
    "Frisian"sv,
    "Gaelic (Scots Gaelic)"sv,
    "Galician"sv,
    "Georgian"sv,
    "German"sv,
    "Greek"sv,
    "Greenlandic"sv,
    "Guarani"sv,
    "Gujarati"sv,
    "Hausa"sv,
    "Hebrew"sv,
    "Hindi"sv,
    "Hungarian"sv,
    "Icelandic"sv,
    "Indonesian"sv,
    "Interlingua"sv,
    "Interlingue"sv,
    "Inupiak"sv,
    "Irish"sv,
    "Italian"sv,
    "Japanese"sv,
    "Javanese"sv,
    "Kannada"sv,
    "Kashmiri"sv,
    "Kazakh"sv,
    "Kinyarwanda"sv,
    "Kirghiz"sv,
    "Kirundi"sv,
    "Korean"sv,
    "Kurdish"sv,
    "Laothian"sv,
    "Latin"sv,
    "Latvian, Lettish"sv,
    "Lingala"sv,
    "Lithuanian"sv,
    "Macedonian"sv,
    "Malagasy"sv,
    "Malay"sv,
    "Malayalam"sv,
    "Maltese"sv,
    "Maori"sv,
    "Marathi"sv,
    "Moldavian"sv,
    "Mongolian"sv,
    "Nauru"sv,
    "Nepali"sv,
    "Norwegian"sv,
    "Occitan"sv,
    "Oriya"sv,
    "Oromo, Afan"sv,
    "Pashto, Pushto"sv,
    "Persian"sv,
    "Polish"sv,
    "Portuguese"sv,
    "Punjabi"sv,
    "Quechua"sv,
    "Rhaeto-Romance"sv,
    "Romanian"sv,
    "Russian"sv,
    "Samoan"sv,
    "Sangro"sv,
    "Sanskrit"sv,
    "Serbian"sv,
    "Serbo-Croatian"sv,
    "Sesotho"sv,
    "Setswana"sv,
    "Shona"sv,
    "Sindhi"sv,
    "Singhalese"sv,
    "Siswati"sv,
    "Slovak"sv,
    "Slovenian"sv,
    "Somali"sv,
    "Spanish"sv,
    "Sudanese"sv,
    "Swahili"sv,
    "Swedish"sv,
    "Tagalog"sv,
    "Tajik"sv,
    "Tamil"sv,
    "Tatar"sv,
    "Tegulu"sv,
    "Thai"sv,
    "Tibetan"sv,
    "Tigrinya"sv,
    "Tonga"sv,
    "Tsonga"sv,
    "Turkish"sv,
    "Turkmen"sv,
    "Twi"sv,
    "Ukrainian"sv,
    "Urdu"sv,
    "Uzbek"sv,
    "Vietnamese"sv,
    "Volapuk"sv,
    "Welsh"sv,
    "Wolof"sv,
    "Xhosa"sv,
    "Yiddish"sv,
    "Yoruba"sv,
    "Zulu"sv,
};

const std::array<int, 7> BasicRows = {1, 3, 4, 10, 11, 14, 15};

namespace {

const std::array<TagInfo, kTagCount> kTags = {{
    {1, "Title"sv, "eTitle"sv, InputKind::Text, 70, kNoItems, -1, "<title>#CNT#</title>"sv},
    {3, "Description"sv, "eDescription"sv, InputKind::Text, 250, kNoItems, -1,
     "<meta name=\"description\" content=\"#CNT#\"#CL#"sv},
    {4, "Keywords"sv, "eKeywords"sv, InputKind::Text, 250, kNoItems, -1,
     "<meta name=\"keywords\" content=\"#CNT#\"#CL#"sv},
    {5, "Author"sv, "eAuthor"sv, InputKind::Text, 100, kNoItems, -1,
     "<meta name=\"author\" content=\"#CNT#\"#CL#"sv},
    {6, "Copyright"sv, "eCopyright"sv, InputKind::Text, 100, kNoItems, -1,
     "<meta name=\"copyright\" content=\"#CNT#\"#CL#"sv},
    {7, "Owner"sv, "eOwner"sv, InputKind::Text, 100, kNoItems, -1,
     "<meta name=\"owner\" content=\"#CNT#\"#CL#"sv},
    {8, "Distribution"sv, "cbDistribution"sv, InputKind::Choice, 50, kDistributionItems, 0,
     "<meta name=\"distribution\" content=\"#CNT#\"#CL#"sv},
    {9, "Rating"sv, "cbRating"sv, InputKind::Choice, 50, kRatingItems, 0,
     "<meta name=\"rating\" content=\"#CNT#\"#CL#"sv},
    {10, "Revisit-After"sv, "cbRevisitAfter"sv, InputKind::Choice, 50, kRevisitAfterItems, 1,
     "<meta name=\"revisit-after\" content=\"#CNT#\"#CL#"sv},
    {11, "Robots"sv, "cbRobots"sv, InputKind::Choice, 50, kRobotsItems, 0,
     "<meta name=\"robots\" content=\"#CNT#\"#CL#"sv},
    {13, "Cache-Control"sv, "cbCacheControl"sv, InputKind::Choice, 50, kCacheControlItems, 0,
     "<meta http-equiv=\"cache-control\" content=\"#CNT#\"#CL#"sv},
    {14, "Charset"sv, "cbCharset"sv, InputKind::Choice, kNoLimit, kCharsetItems, kDefaultCharsetItem,
     "<meta http-equiv=\"content-type\" content=\"text/html; charset=#CNT#\"#CL#"sv},
    {15, "Content-Language"sv, "cbContentLanguage"sv, InputKind::Choice, 50, kContentLanguageItems, 28,
     "<meta http-equiv=\"content-language\" content=\"#CNT#\"#CL#"sv},
}};

} // namespace

const TagInfo &tagInfo(int tagIndex)
{
    return kTags.at(static_cast<std::size_t>(tagIndex));
}

int listRowOfTag(int tagIndex)
{
    return tagInfo(tagIndex).listRow;
}

int tagOfListRow(int listRow)
{
    for (int t = 0; t < kTagCount; ++t) {
        if (kTags[static_cast<std::size_t>(t)].listRow == listRow)
            return t;
    }
    return -1;
}

bool isGroupRowText(std::string_view text)
{
    return text.starts_with(kGroupPrefix);
}

std::string_view charsetCode(int itemIndex)
{
    if (itemIndex < 0 || itemIndex >= static_cast<int>(CharsetCodes.size()))
        return {};
    return CharsetCodes[static_cast<std::size_t>(itemIndex)];
}

int charsetIndexOfCode(std::string_view code)
{
    const auto it = std::find(CharsetCodes.begin(), CharsetCodes.end(), code);
    return it == CharsetCodes.end() ? -1 : static_cast<int>(it - CharsetCodes.begin());
}

int itemIndexOfText(int tagIndex, std::string_view text)
{
    const std::span<const std::string_view> items = tagInfo(tagIndex).items;
    const auto it = std::find(items.begin(), items.end(), text);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

} // namespace brindle::tags
