#pragma once

// Loads the converter's RTF into the tags viewer's text document.

#include <QByteArrayView>

class QTextDocument;

namespace brindle::ui {

// Replaces the content of `doc` with an RTF document: one block per line,
// each run in its colour, all in the document's font (Courier New when
// installed, else the desktop's fixed-width font) at its size.
void loadRtf(QTextDocument &doc, QByteArrayView rtf);

} // namespace brindle::ui
