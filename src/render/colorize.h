#pragma once

// HTML text to RTF in the tags viewer's colours: what the viewer shows and brindle-cli colorize writes.

#include "render/rtfsyntax.h"

#include <QByteArray>

namespace brindle::render {

// The RTF document of an HTML text (UTF-8, ends at the first NUL byte) in the
// tags viewer's colours: a new converter, the viewer colour table, the whole
// text, one conversion into memory.
QByteArray colorizeHtml(const QByteArray &text);

// The same document, written to a stream.
void colorizeHtml(const QByteArray &text, RtfStream &stream);
// The same document for a text read piece by piece: memory stays bounded
// whatever its length (see TsyxHTMLRTF::convertSourceToStream).
void colorizeHtml(const TextSource &source, RtfStream &stream);

} // namespace brindle::render
