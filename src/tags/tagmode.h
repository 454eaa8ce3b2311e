#pragma once

// Whether tag lines are made for HTML or for XHTML documents. It decides the
// closer of every meta line, the viewer's caption and which document types
// the page builder offers afterwards.

#include <QStringView>

namespace brindle::tags {

enum class TagMode
{
    Html,
    Xhtml,
};

// The name the viewer's caption shows: "HTML" or "XHTML".
constexpr QStringView modeName(TagMode mode)
{
    return mode == TagMode::Html ? QStringView(u"HTML") : QStringView(u"XHTML");
}

// What ends every meta line: ">" for HTML, " />" for XHTML.
constexpr QStringView closerOf(TagMode mode)
{
    return mode == TagMode::Html ? QStringView(u">") : QStringView(u" />");
}

// The viewer's page mode: 1 for HTML documents, 2 for XHTML documents.
constexpr int pageModeOf(TagMode mode)
{
    return mode == TagMode::Html ? 1 : 2;
}

} // namespace brindle::tags
