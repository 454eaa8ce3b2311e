#pragma once

// The colour table the tags viewer gives the HTML-to-RTF converter.

#include "render/rtfsyntax.h"

#include <array>

namespace brindle::render {

// The tags viewer's colours for the converter's colour indices 1 to 11, as
// colour words ($00BBGGRR). They replace the converter's own defaults.
inline constexpr std::array<RtfColor, 11> kViewerColors = {
    0x000000FF, // 1 server script block        #FF0000
    0x00008000, // 2 comment, and "//" text       #008000
    0x00800080, // 3 attribute name               #800080
    0x00800080, // 4 listed tag name              #800080
    0x000000FF, // 5 whitespace and line breaks   #FF0000
    0x00FF0000, // 6 quoted string or value       #0000FF
    0x00800000, // 7 symbol < > =                 #000080
    0x00FF0000, // 8 text between tags            #0000FF
    0x000000FF, // 9 unlisted tag name            #FF0000
    0x000000FF, // 10 unquoted attribute value    #FF0000
    0x000000FF, // 11 character entity            #FF0000
};

} // namespace brindle::render
