#pragma once

// The head tags a page needs today beyond the thirteen and the social cards:
// viewport, canonical address, alternates by language, theme colour, icon,
// the page's language and structured data. An opt-in group like the social
// cards: each line has its own tick, and while none is ticked nothing of the
// group reaches the output.

#include "tags/tagmode.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <string_view>

namespace brindle::tags {

struct TagValues;

enum HeadField : int
{
    Viewport,
    Canonical,
    Alternates, // "LANG=URL" entries separated by blanks or line breaks
    ThemeColor,
    Icon,
    Language,       // the lang of the page's <html>; not a line of its own
    StructuredData, // the type: "WebSite", "Organization" or "Article"
    DatePublished,  // the structured data's own fields, without a tick
    DateModified,
    Logo,
};
inline constexpr int kHeadFieldCount = 10;

inline constexpr char16_t kDefaultViewport[] = u"width=device-width, initial-scale=1";

struct HeadFieldInfo
{
    std::string_view key;   // "theme-color": the command-line option, the profile's attribute, a --use name
    std::string_view label; // "Theme colour": the window's label
    bool tickable;          // has a tick (and, but for Language, a line) of its own
};

const HeadFieldInfo &headFieldInfo(int field);
// The field of a key ("theme-color"); -1 for none.
int headFieldOfKey(QStringView key);

struct Alternate
{
    QString language; // a BCP 47 tag or "x-default"
    QString address;  // absolute http:// or https://
    bool operator==(const Alternate &) const = default;
};

struct HeadValues
{
    std::array<QString, kHeadFieldCount> values;
    std::array<bool, kHeadFieldCount> used{}; // ticks; only tickable fields are ever ticked

    const QString &operator[](int field) const { return values.at(std::size_t(field)); }
    QString &operator[](int field) { return values.at(std::size_t(field)); }
    bool isUsed(int field) const { return used.at(std::size_t(field)); }
    bool hasValues() const;
    bool anyUsed() const;
    bool operator==(const HeadValues &) const = default;
};

// The alternates a text holds, in order; throws brindle::Error naming the
// field and the entry that is not "LANG=URL" with a valid tag and address.
QList<Alternate> parseAlternates(const QString &text);
// The text parseAlternates reads back: entries separated by one blank.
QString alternatesText(const QList<Alternate> &alternates);

// Why a value is refused, naming the field; empty when it is fine or empty.
QString headValueProblem(int field, const QString &value);
// Every refused value at once, in field order (the window names them all).
QStringList headValueProblems(const HeadValues &head);

// The value a ticked field writes: its own, or the default viewport text.
QString effectiveHeadValue(const HeadValues &head, int field);

// The structured data's JSON, on one line, "</" never in it; values taken
// from the classic and social values where they mean the same.
QString structuredDataJson(const TagValues &input);

// The group's lines in field order (alternates in their order, the
// structured data's script last), for the ticked fields with a value; none
// while nothing is ticked. Language gives no line. Throws brindle::Error
// with headValueProblem's text for the first refused value.
QStringList headLines(const TagValues &input, TagMode mode);

} // namespace brindle::tags
