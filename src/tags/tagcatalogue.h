#pragma once

// The fixed description of the thirteen tags and the sixteen check-list rows.
// Everything here is constant data; the generator, the profile workflow, the
// main window and the check list all read it.

#include <array>
#include <span>
#include <string_view>

namespace brindle::tags {

inline constexpr int kTagCount = 13;
inline constexpr int kRowCount = 16;
inline constexpr int kTextTagCount = 6; // TagIndex 0..5 are text tags, 6..12 choice tags
inline constexpr int kNoLimit = 0;      // maximum length of an input without a limit

enum TagIndex : int
{
    Title,
    Description,
    Keywords,
    Author,
    Copyright,
    Owner,
    Distribution,
    Rating,
    RevisitAfter,
    Robots,
    CacheControl,
    Charset,
    ContentLanguage,
};

enum class InputKind
{
    Text,
    Choice
};

// The items of a text tag or field: none.
inline constexpr std::span<const std::string_view> kNoItems{};

struct TagInfo
{
    int listRow;
    std::string_view rowText;   // also the name the main window looks the row up by
    std::string_view inputName; // object name of the main window's input
    InputKind kind;
    int maxLength;                           // kNoLimit for none
    std::span<const std::string_view> items; // empty for text tags
    int defaultItem;                         // -1 for text tags
    std::string_view templ;                  // "#CNT#" = value, "#CL#" = closer
};

// Row texts by ListRow; rows starting with the group prefix head a group.
inline constexpr std::string_view kGroupPrefix = "//";
extern const std::array<std::string_view, kRowCount> kRowTexts;

extern const std::array<std::string_view, 3> kDistributionItems;
extern const std::array<std::string_view, 4> kRatingItems;
extern const std::array<std::string_view, 5> kRevisitAfterItems;
extern const std::array<std::string_view, 4> kRobotsItems;
extern const std::array<std::string_view, 4> kCacheControlItems;
extern const std::array<std::string_view, 31> kCharsetItems;
extern const std::array<std::string_view, 31> CharsetCodes;
extern const std::array<std::string_view, 136> kContentLanguageItems;

// The rows that "Select Basic Only" ticks, in the order they are ticked.
extern const std::array<int, 7> BasicRows;

const TagInfo &tagInfo(int tagIndex);
int listRowOfTag(int tagIndex);
// -1 for a group row or a row out of range.
int tagOfListRow(int listRow);
bool isGroupRowText(std::string_view text);

// Code for a charset item index; empty outside 0..30 (typed text that selects no item).
std::string_view charsetCode(int itemIndex);
// Item index for a charset code (exact), -1 when the code is not in the table.
int charsetIndexOfCode(std::string_view code);
// Index of the choice tag's item whose text is exactly the given UTF-8 text;
// -1 for typed text that is no item, and for text tags.
int itemIndexOfText(int tagIndex, std::string_view text);

inline constexpr int kDefaultCharsetItem = 28; // "Unicode (UTF-8)"

} // namespace brindle::tags
