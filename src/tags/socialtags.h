#pragma once

// The social card tags: Open Graph and Twitter card lines that chat programs
// and social networks build their link previews from. An opt-in group beside
// the thirteen tags: while it is not used nothing of it reaches the output.

#include "tags/tagmode.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <span>
#include <string_view>

namespace brindle::tags {

enum SocialField : int
{
    OgTitle,
    OgDescription,
    OgType,
    OgUrl,
    OgImage,
    OgImageAlt,
    OgSiteName,
    OgLocale,
    TwitterCard,
    TwitterSite,
    TwitterCreator,
};
inline constexpr int kSocialFieldCount = 11;

enum class SocialCheck
{
    None,
    AbsoluteAddress, // an absolute http:// or https:// address
    Locale,          // language, underscore, country: "en_US"
};

struct SocialFieldInfo
{
    std::string_view property; // "og:title"; the line's property (Open Graph) or name (Twitter)
    std::string_view key;      // "og-title": the command-line option and the profile's attribute
    bool nameAttribute;        // written as name="..." rather than property="..."
    SocialCheck check;
    std::span<const std::string_view> items; // suggestions; any other text is taken as well
};

extern const std::array<std::string_view, 6> kOgTypeItems;
extern const std::array<std::string_view, 2> kTwitterCardItems;

const SocialFieldInfo &socialFieldInfo(int field);
// The field of a property or name ("og:title"), without regard to case; -1 for none.
int socialFieldOfProperty(QStringView property);
// The field of a key ("og-title"); -1 for none.
int socialFieldOfKey(QStringView key);

struct SocialValues
{
    std::array<QString, kSocialFieldCount> values;
    bool used = false; // the group's tick

    const QString &operator[](int field) const { return values.at(std::size_t(field)); }
    QString &operator[](int field) { return values.at(std::size_t(field)); }
    bool hasValues() const;
    bool operator==(const SocialValues &) const = default;
};

// An absolute http:// or https:// address with a host, without blanks.
bool isAbsoluteWebAddress(const QString &value);

// Why a value is refused, naming the field; empty when it is fine. Only the
// two addresses and the locale are checked, and an empty value never is.
QString socialValueProblem(int field, const QString &value);

// What a field's line carries: its own value, or for og:title and
// og:description left empty the classic title and description.
QString effectiveSocialValue(const SocialValues &social, int field, const QString &classicTitle,
                             const QString &classicDescription);

// One field's line, with the generator's closer for the mode and its
// double quotes written as "&quot;".
QString socialLine(int field, const QString &value, TagMode mode);

// The group's lines in field order, one per field with a value (after the
// fallback); none while the group is not used. Throws brindle::Error with
// socialValueProblem's text for the first value that is refused.
QStringList socialLines(const SocialValues &social, const QString &classicTitle,
                        const QString &classicDescription, TagMode mode);

} // namespace brindle::tags
