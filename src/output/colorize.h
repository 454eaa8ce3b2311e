#pragma once

#include <QByteArray>

namespace brindle::output {

// The RTF document of an HTML text (UTF-8, ends at the first NUL byte) in the
// tags viewer's colours: a new converter, the viewer colour table, the whole
// text, one conversion into memory.
QByteArray colorizeHtml(const QByteArray &text);

} // namespace brindle::output
