#pragma once

// A unified diff of a page and the page with some byte ranges replaced,
// built from the replacements themselves: no line matching, so a head of
// many thousand lines costs no more than reading it.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <vector>

namespace brindle::pagehead {

// Bytes [begin, end) of a page replaced by `bytes`; begin == end inserts.
struct PageEdit
{
    qsizetype begin = 0;
    qsizetype end = 0;
    QByteArray bytes;
};

// The page with the edits made; edits are sorted and do not overlap.
QByteArray applyEdits(QByteArrayView page, const std::vector<PageEdit> &edits);
// The same as pieces of the page and of the edits, in order, not copied:
// they are valid while both are.
std::vector<QByteArrayView> editedPieces(QByteArrayView page, const std::vector<PageEdit> &edits);

// "--- NAME", "+++ NAME" and hunks with three lines of context. Lines
// keep their own line ends; a last line without one is marked
// "\ No newline at end of file". Empty when the edits change nothing.
QByteArray unifiedDiff(QByteArrayView page, const std::vector<PageEdit> &edits, const QString &name);

} // namespace brindle::pagehead
