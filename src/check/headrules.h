#pragma once

// The rules on what a page's head needs today beyond its title and meta
// tags: the viewport, the language of <html>, the canonical address and the
// alternates by language, XHTML's syntax in the values, and structured data.

#include "check/checker.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <vector>

class QUrl;

namespace brindle::check {

// Adds the findings of these rules; the caller puts them in page order.
void checkHead(const PageFacts &facts, std::vector<Finding> &findings);

// An absolute http:// or https:// address with a host, as search engines
// take it; nullopt otherwise.
std::optional<QUrl> webAddress(const QString &text);

// Whether a text begins with a scheme ("mailto:", "c:"), so that it is no
// relative address.
bool hasScheme(QStringView text);

// Where a value breaks XML: the index of its first '<', or of an '&' that
// begins no reference ("&amp;", "&#38;", "&#x26;"); -1 for none.
qsizetype firstBareXmlCharacter(QStringView value);

// Why structured data is refused ("has no @type"), empty when it is JSON
// with @context and @type; `missing` gets, for each node of a type with
// required properties, "TYPE lacks A, B".
QString structuredDataProblem(const QString &text, QStringList *missing = nullptr);

} // namespace brindle::check
