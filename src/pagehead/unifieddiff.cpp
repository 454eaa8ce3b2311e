#include "pagehead/unifieddiff.h"

#include <algorithm>

namespace brindle::pagehead {

namespace {

constexpr qsizetype kContext = 3;

// Offsets where lines start; a line ends after LF, after CR LF, or after a
// CR not followed by LF.
std::vector<qsizetype> lineStarts(QByteArrayView text)
{
    std::vector<qsizetype> starts{0};
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
            starts.push_back(i + 1);
    }
    return starts;
}

qsizetype lineOf(const std::vector<qsizetype> &starts, qsizetype offset)
{
    return qsizetype(std::upper_bound(starts.begin(), starts.end(), offset) - starts.begin()) - 1;
}

void appendLines(QByteArray &out, char mark, QByteArrayView text)
{
    const std::vector<qsizetype> starts = lineStarts(text);
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const qsizetype from = starts[i];
        const qsizetype to = i + 1 < starts.size() ? starts[i + 1] : text.size();
        if (from == to)
            continue;
        out += mark;
        out += text.sliced(from, to - from);
        const char last = text[to - 1];
        if (last != '\n' && last != '\r')
            out += "\n\\ No newline at end of file\n";
    }
}

qsizetype countLines(QByteArrayView text)
{
    const std::vector<qsizetype> starts = lineStarts(text);
    return qsizetype(starts.size()) - (starts.back() == text.size() ? 1 : 0);
}

QByteArray range(qsizetype first, qsizetype count)
{
    // An empty range names the line before it, as diff does.
    return QByteArray::number(count == 0 ? first : first + 1) + ',' + QByteArray::number(count);
}

} // namespace

std::vector<QByteArrayView> editedPieces(QByteArrayView page, const std::vector<PageEdit> &edits)
{
    std::vector<QByteArrayView> pieces;
    pieces.reserve(2 * edits.size() + 1);
    qsizetype at = 0;
    for (const PageEdit &edit : edits) {
        pieces.push_back(page.sliced(at, edit.begin - at));
        pieces.push_back(edit.bytes);
        at = edit.end;
    }
    pieces.push_back(page.sliced(at));
    return pieces;
}

QByteArray applyEdits(QByteArrayView page, const std::vector<PageEdit> &edits)
{
    const std::vector<QByteArrayView> pieces = editedPieces(page, edits);
    QByteArray out;
    qsizetype size = 0;
    for (QByteArrayView piece : pieces)
        size += piece.size();
    out.reserve(size);
    for (QByteArrayView piece : pieces)
        out += piece;
    return out;
}

QByteArray unifiedDiff(QByteArrayView page, const std::vector<PageEdit> &edits, const QString &name)
{
    if (edits.empty())
        return {};
    const std::vector<qsizetype> starts = lineStarts(page);
    const auto lineCount = qsizetype(starts.size()) - (starts.back() == page.size() ? 1 : 0);
    const auto startOf = [&](qsizetype line) {
        return line < qsizetype(starts.size()) ? starts[std::size_t(line)] : page.size();
    };

    // Each change: the whole lines [first, last) the edits in it touch.
    struct Change
    {
        qsizetype first, last;
        std::vector<const PageEdit *> edits;
    };
    std::vector<Change> changes;
    for (const PageEdit &edit : edits) {
        const qsizetype first = lineOf(starts, edit.begin);
        qsizetype last;
        if (edit.begin == edit.end && edit.begin == startOf(first))
            last = first; // between two lines
        else
            last = lineOf(starts, std::max(edit.begin, edit.end - 1)) + 1;
        if (!changes.empty() && first < changes.back().last) {
            changes.back().last = std::max(changes.back().last, last);
            changes.back().edits.push_back(&edit);
        } else {
            changes.push_back({first, last, {&edit}});
        }
    }

    QByteArray out = "--- " + name.toUtf8() + "\n+++ " + name.toUtf8() + '\n';
    qsizetype shift = 0; // lines the new page has more than the old one before the hunk
    std::size_t c = 0;
    while (c < changes.size()) {
        // Changes whose context would touch go into one hunk.
        std::size_t end = c + 1;
        while (end < changes.size() && changes[end].first - changes[end - 1].last <= 2 * kContext)
            ++end;
        const qsizetype from = std::max<qsizetype>(0, changes[c].first - kContext);
        const qsizetype to = std::min(lineCount, changes[end - 1].last + kContext);
        QByteArray body;
        qsizetype oldLines = 0, newLines = 0, line = from;
        for (std::size_t k = c; k < end; ++k) {
            const Change &change = changes[k];
            const QByteArrayView context = page.sliced(startOf(line), startOf(change.first) - startOf(line));
            appendLines(body, ' ', context);
            oldLines += change.first - line;
            newLines += change.first - line;
            const qsizetype begin = startOf(change.first);
            const QByteArrayView before = page.sliced(begin, startOf(change.last) - begin);
            std::vector<PageEdit> local;
            for (const PageEdit *edit : change.edits)
                local.push_back({edit->begin - begin, edit->end - begin, edit->bytes});
            const QByteArray after = applyEdits(before, local);
            appendLines(body, '-', before);
            appendLines(body, '+', after);
            oldLines += change.last - change.first;
            newLines += countLines(after);
            line = change.last;
        }
        appendLines(body, ' ', page.sliced(startOf(line), startOf(to) - startOf(line)));
        oldLines += to - line;
        newLines += to - line;
        out += "@@ -" + range(from, oldLines) + " +" + range(from + shift, newLines) + " @@\n";
        out += body;
        shift += newLines - oldLines;
        c = end;
    }
    return out;
}

} // namespace brindle::pagehead
