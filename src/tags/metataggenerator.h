#pragma once

// Turns the thirteen values and the check-list ticks into tag lines. The
// window side (unticking rows, filling and showing the viewer) applies the
// result; this part decides everything and touches no widget.

#include "tags/headtags.h"
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
    // charset line carries the code of charsetItem, or with no item the
    // charset the text names (see charsetChoice).
    std::array<QString, kTagCount> values;
    int charsetItem = kDefaultCharsetItem;
    // The social card group; its lines follow the thirteen tags' lines.
    SocialValues social;
    // The head group; its lines follow the social lines.
    HeadValues head;

    // The values of a new profile: empty texts, every choice at its default item.
    static TagValues defaults();
};

using RowTicks = std::array<bool, kRowCount>;

struct GeneratedTags
{
    std::vector<int> rowsToUntick; // ListRows of ticked text tags whose input is empty
    QStringList lines;             // in ListRow order, then the social and the head lines in field order
    QString caption;               // of the viewer
    int pageMode = 1;              // 1 HTML, 2 XHTML
    bool noticeDue = false;        // no line: show kNoTagsNotice instead of the viewer
    QString pageLanguage;          // the lang of the page's <html> when ticked; empty otherwise
};

// What the charset line names for the charset input: the code of its
// item; with no item, the text as typed (without blanks around it) when it
// names a charset browsers know: a label of the Encoding Standard
// ("windows-1252", "latin1") or a code of the charset table ("DOS-720").
// Any other text, an empty one included, is refused.
struct CharsetChoice
{
    QString code;       // empty when refused
    QString refusal;    // the message naming the text; empty when code is set
    QString encoding;   // the Encoding Standard's name for a typed label ("windows-1252" for "latin1")
    bool blank = false; // refused because no text names any charset
};
CharsetChoice charsetChoice(int item, const QString &text);

// What generateTags does with a ticked charset it refuses.
enum class RefusedCharset
{
    Throws,
    // Written as typed, so that a checker can name what is wrong with it.
    WrittenAsTyped,
};

// Throws brindle::Error when the social group is used and one of its values
// is refused (see socialLines), when a ticked head value is refused (see
// headLines), and when the charset row is ticked and its
// text refused (see charsetChoice).
GeneratedTags generateTags(const TagValues &input, const RowTicks &ticks, QStringView mode,
                           RefusedCharset refused = RefusedCharset::Throws);

// One tag's line; the closer goes into the template before the value, so
// nothing the user typed is ever rewritten.
QString tagLine(int tagIndex, const QString &value, QStringView mode);

// The viewer's text: every line followed by CR LF.
QString joinLines(const QStringList &lines);

} // namespace brindle::tags
