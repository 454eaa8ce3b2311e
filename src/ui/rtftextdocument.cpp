#include "ui/rtftextdocument.h"

#include "render/rtfreader.h"

#include <QColor>
#include <QFontDatabase>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace brindle::ui {

namespace {

QFont documentFont(const render::RtfContent &content)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QString wanted = content.fontName.isEmpty() ? u"Courier New"_s : content.fontName;
    if (QFontDatabase::families().contains(wanted, Qt::CaseInsensitive))
        font = QFont(wanted);
    font.setStyleHint(QFont::TypeWriter);
    if (content.fontSizeHalfPoints > 0)
        font.setPointSizeF(content.fontSizeHalfPoints / 2.0);
    return font;
}

} // namespace

void loadRtf(QTextDocument &doc, QByteArrayView rtf)
{
    const render::RtfContent content = render::readRtf(rtf);
    const QFont font = documentFont(content);

    doc.clear();
    doc.setDefaultFont(font);
    QTextCursor cursor(&doc);
    cursor.beginEditBlock();
    QTextCharFormat format;
    format.setFont(font);
    cursor.setBlockCharFormat(format);
    const QString &text = content.text;
    for (const render::RtfRun &run : content.runs) {
        format.setForeground(QColor::fromRgb(run.rgb));
        // Split at CR LF: each line is a block of its own.
        qsizetype at = run.start;
        const qsizetype end = run.start + run.length;
        while (at < end) {
            qsizetype lineEnd = at;
            while (lineEnd < end && text[lineEnd] != u'\r' && text[lineEnd] != u'\n')
                ++lineEnd;
            if (lineEnd > at)
                cursor.insertText(text.mid(at, lineEnd - at), format);
            if (lineEnd >= end)
                break;
            // CR LF is one break, but either half may end a run on its own.
            if (text[lineEnd] == u'\r' || lineEnd == 0 || text[lineEnd - 1] != u'\r')
                cursor.insertBlock(QTextBlockFormat(), format);
            at = lineEnd + 1;
        }
    }
    cursor.endEditBlock();
}

QString sourceText(const QTextDocument &doc, int from, int to, const QString &source)
{
    const int count = doc.characterCount() - 1; // without the document's closing block break
    from = std::clamp(from, 0, count);
    to = std::clamp(to, from, count);
    if (from == to)
        return {};
    const auto isBreak = [](QChar c) { return c == u'\r' || c == u'\n'; };
    const qsizetype length = source.size();
    // Walks both texts up to the selection's end, noting where in the source
    // its first character begins and its last one ends.
    qsizetype j = 0, begin = 0, end = length;
    for (int p = 0; p < to; ++p) {
        const QChar c = doc.characterAt(p);
        const bool blockBreak = c == QChar::ParagraphSeparator;
        if (!blockBreak) {
            while (j < length && isBreak(source[j]) && source[j] != c)
                ++j; // a break the document lacks
        }
        if (p == from)
            begin = j;
        if (blockBreak) {
            if (j + 1 < length && source[j] == u'\r' && source[j + 1] == u'\n')
                j += 2;
            else if (j < length && isBreak(source[j]))
                ++j;
        } else if (j < length && source[j] == c) {
            ++j;
        }
    }
    if (to < count)
        end = j;
    if (from == 0)
        begin = 0;
    return source.mid(begin, end - begin);
}

} // namespace brindle::ui
