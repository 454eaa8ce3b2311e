#include "tags/headtags.h"

#include "base/textutil.h"
#include "tags/metataggenerator.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace brindle::tags {

namespace {

const std::array<HeadFieldInfo, kHeadFieldCount> kHeadFields = {{
    {"viewport", "Viewport", true},
    {"canonical", "Canonical address", true},
    {"alternate", "Alternates", true},
    {"theme-color", "Theme colour", true},
    {"icon", "Icon", true},
    {"lang", "Language", true},
    {"structured-data", "Structured data", true},
    {"published", "Date published", false},
    {"modified", "Date modified", false},
    {"logo", "Logo", false},
}};

} // namespace

const HeadFieldInfo &headFieldInfo(int field)
{
    return kHeadFields.at(std::size_t(field));
}

int headFieldOfKey(QStringView key)
{
    for (int f = 0; f < kHeadFieldCount; ++f) {
        if (key == toQString(kHeadFields[std::size_t(f)].key))
            return f;
    }
    return -1;
}

bool HeadValues::hasValues() const
{
    return std::any_of(values.begin(), values.end(), [](const QString &v) { return !v.isEmpty(); });
}

bool HeadValues::anyUsed() const
{
    return std::any_of(used.begin(), used.end(), [](bool u) { return u; });
}

// Placeholders until the group's lines are written.
QList<Alternate> parseAlternates(const QString &)
{
    return {};
}

QString alternatesText(const QList<Alternate> &)
{
    return {};
}

QString headValueProblem(int, const QString &)
{
    return {};
}

QStringList headValueProblems(const HeadValues &)
{
    return {};
}

QString effectiveHeadValue(const HeadValues &head, int field)
{
    if (field == Viewport && head[field].isEmpty())
        return QString::fromUtf16(kDefaultViewport);
    return head[field];
}

QString structuredDataJson(const TagValues &)
{
    return {};
}

QStringList headLines(const TagValues &, TagMode)
{
    return {};
}

} // namespace brindle::tags
