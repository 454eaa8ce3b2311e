#pragma once

// The social card values as a profile holds them, beside the two arrays of
// the thirteen tags: one text per field and the group's tick, "Y" or "N"
// when captured, whatever the file held when read.

#include "tags/socialtags.h"

#include <QString>

#include <algorithm>
#include <array>

namespace brindle::profile {

struct SocialEntries
{
    std::array<QString, tags::kSocialFieldCount> values;
    QString used = QStringLiteral("N");

    // What a profile without social values holds, and a file without the
    // "social" element reads as. Such a profile is written without it.
    bool isEmpty() const
    {
        return used == QStringLiteral("N") &&
               std::all_of(values.begin(), values.end(), [](const QString &v) { return v.isEmpty(); });
    }
    bool operator==(const SocialEntries &) const = default;

    static SocialEntries of(const tags::SocialValues &social)
    {
        SocialEntries entries;
        entries.values = social.values;
        entries.used = social.used ? QStringLiteral("Y") : QStringLiteral("N");
        return entries;
    }
    // Ticked exactly when "Y", as the thirteen ticks are.
    tags::SocialValues toValues() const { return {values, used == QStringLiteral("Y")}; }
};

} // namespace brindle::profile
