#pragma once

// How a search result shows a page, for the preview window.

#include <QString>
#include <QStringView>

namespace brindle::check {

inline constexpr char16_t kExampleAddress[] = u"example.com";

// The address line: the owner value when it looks like a web address
// ("https://example.org/shop/", "www.example.org"), shown as search results
// show one ("https://example.org › shop"); otherwise "example.com".
QString resultAddress(QStringView owner);

} // namespace brindle::check
