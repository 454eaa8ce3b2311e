#pragma once

// Language tags (BCP 47) for the content-language and alternate tags, and
// the tags of the languages in Brindle's content-language list, which
// writes their names.

#include <QString>
#include <QStringView>

#include <array>
#include <string_view>

namespace brindle::tags {

// Whether text is one language tag: well-formed, with a two-letter language
// and a two-letter region that exist. Three-letter languages, scripts and
// variants are only checked for their form. Letter case does not matter.
bool isLanguageTag(QStringView text);

// Whether a content-language value is a list of language tags separated by
// commas, as HTTP allows.
bool isLanguageTagList(QStringView text);

// The tag of a language in the content-language list, by item index; the
// list keeps the names of an old edition of ISO 639, so "Tegulu" is "te" and
// "Moldavian", whose code was withdrawn, is "ro".
extern const std::array<std::string_view, 136> kContentLanguageTags;

// The tag for a list item's name (letter case does not matter); empty when
// the text names no item.
QString languageTagOfListItem(QStringView name);

} // namespace brindle::tags
