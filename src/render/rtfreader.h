#pragma once

// Reads an RTF document into plain text with the colour of every run: what
// the rich text area of the tags viewer shows. It reads the converter's
// output and ordinary RTF from other programs alike, and accepts any byte
// sequence: what it does not understand it skips.

#include <QByteArrayView>
#include <QChar>
#include <QList>
#include <QString>
#include <QtGlobal>

namespace brindle::render {

// The size of RTF's default font, 12 pt, in half points (\fs).
inline constexpr int kDefaultFontSizeHalfPoints = 24;

struct RtfRun
{
    qsizetype start;
    qsizetype length;
    quint32 rgb; // 0xRRGGBB
};

struct RtfContent
{
    // Paragraphs end with CR LF (each \par gives "\r\n"), as the viewer's
    // plain text needs.
    QString text;
    // Consecutive runs of one colour covering the whole text, in order.
    QList<RtfRun> runs;
    // The font and size (in half points) at the start of the text; the font
    // name is empty when the document has no font table.
    QString fontName;
    int fontSizeHalfPoints = kDefaultFontSizeHalfPoints;
};

RtfContent readRtf(QByteArrayView rtf);

// The character a byte stands for in code page 1252 (the five unassigned
// bytes map to the C1 controls of the same value).
QChar cp1252Char(uchar byte);

} // namespace brindle::render
