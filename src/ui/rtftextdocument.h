#pragma once

// Loads the converter's RTF into the tags viewer's text document.

#include <QByteArrayView>
#include <QString>

class QTextDocument;

namespace brindle::ui {

// Replaces the content of `doc` with an RTF document: one block per line,
// each run in its colour, all in the document's font (Courier New when
// installed, else the desktop's fixed-width font) at its size.
void loadRtf(QTextDocument &doc, QByteArrayView rtf);

// The part of `source`, the text the document was made from, that the
// document's positions from..to show. The document holds each line break
// of the source as a block break, and may lack a lone line feed or carriage
// return inside a line (RTF readers drop them): such characters are part of
// a selection they lie inside, and of one that starts at 0 or runs to the
// end of the document.
QString sourceText(const QTextDocument &doc, int from, int to, const QString &source);

} // namespace brindle::ui
