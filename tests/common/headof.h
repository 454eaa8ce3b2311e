#pragma once

// headOf: the head the head reader finds in a whole page.

#include "pagehead/headreader.h"

#include <QByteArray>

#include <optional>

namespace brindle::test {

// An empty head when the page has none.
inline pagehead::PageHead headOf(const QByteArray &page)
{
    const std::optional<pagehead::PageHead> head = pagehead::parseHead(page, true);
    return head ? *head : pagehead::PageHead{};
}

} // namespace brindle::test
