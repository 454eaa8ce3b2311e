#pragma once

// The labels of the WHATWG Encoding Standard and the encodings they name:
// how browsers read the charset a page declares or a user types.

#include <QLatin1StringView>
#include <QStringView>

#include <optional>

namespace brindle {

// The encoding a label names, by the standard's name for it ("latin1" and
// "us-ascii" name "windows-1252", "utf-16" names "UTF-16LE", "hz-gb-2312"
// names "replacement"). ASCII white space around the label is ignored, and so
// is ASCII letter case; nullopt for a label the standard does not know
// ("utf-7", "x-unknown").
std::optional<QLatin1StringView> encodingOfLabel(QStringView label);

} // namespace brindle
