#pragma once

// Turns the thirteen values and the check-list ticks into tag lines. The
// window side (unticking rows, filling and showing the viewer) applies the
// result; this part decides everything and touches no widget.

#include "tags/socialtags.h"
#include "tags/tagcatalogue.h"

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

namespace brindle::tags {

inline constexpr char16_t kNoTagsNotice[] = u"Plese select tag(s) to be used!";
inline constexpr char16_t kNoticeCaption[] = u"Information";
inline constexpr char16_t kModeHtml[] = u"HTML";
inline constexpr char16_t kModeXhtml[] = u"XHTML";

struct TagValues
{
    // Text of the text inputs and current text of the choice inputs. The
    // charset entry is not used: its line carries the code of charsetItem.
    std::array<QString, kTagCount> values;
    int charsetItem = kDefaultCharsetItem;
    // The social card group; its lines follow the thirteen tags' lines.
    SocialValues social;

    // The values of a new profile: empty texts, every choice at its default item.
    static TagValues defaults();
};

using RowTicks = std::array<bool, kRowCount>;

struct GeneratedTags
{
    std::vector<int> rowsToUntick; // ListRows of ticked text tags whose input is empty
    QStringList lines;             // in ListRow order, then the social lines in field order
    QString caption;               // of the viewer
    int pageMode = 1;              // 1 HTML, 2 XHTML
    bool noticeDue = false;        // no line: show kNoTagsNotice instead of the viewer
};

// Throws brindle::Error when the social group is used and one of its values
// is refused (see socialLines).
GeneratedTags generateTags(const TagValues &input, const RowTicks &ticks, QStringView mode);

// One tag's line; the closer goes into the template before the value, so
// nothing the user typed is ever rewritten.
QString tagLine(int tagIndex, const QString &value, QStringView mode);

// The viewer's text: every line followed by CR LF.
QString joinLines(const QStringList &lines);

} // namespace brindle::tags
