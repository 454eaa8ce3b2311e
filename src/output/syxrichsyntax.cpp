#include "output/syxrichsyntax.h"

#include <algorithm>
#include <charconv>

namespace brindle::output {

void RtfStream::writeNumber(qint64 number)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, number);
    write(QByteArrayView(digits, result.ptr - digits));
}

void RtfStream::grow(qsizetype bytes)
{
    const qsizetype used = size();
    const qsizetype wanted = std::max({used + bytes, 2 * used, qsizetype(4096)});
    // Growing the array's size (not only its capacity) keeps QByteArray's own
    // bookkeeping out of the write path; finish() cuts the spare room off.
    m_target.resize(wanted);
    m_begin = m_target.data();
    m_cursor = m_begin + used;
    m_end = m_begin + wanted;
}

void RtfStream::finish()
{
    if (!m_begin)
        return;
    m_target.resize(m_cursor - m_begin);
    m_begin = m_cursor = m_end = nullptr;
}

TsyxRTFSyntax::TsyxRTFSyntax()
{
    m_codePage = 1252;
    SetupFonts(std::span(&kCourierNew, 1));
    m_header = QByteArrayLiteral("{\\rtf1\\ansi\\ansicpg") + QByteArray::number(m_codePage) +
               QByteArrayLiteral("\\deff0\\deftab720{\\fonttbl");
    m_fontTableClosing = QByteArrayLiteral("}\r\n");
    m_documentStart = QByteArrayLiteral("\\deflang1033\\pard\\plain\\f0\\fs20");
    m_colorTable.clear();
}

TsyxRTFSyntax::~TsyxRTFSyntax() = default;

void TsyxRTFSyntax::EscapeToken(QByteArrayView &) {}

void TsyxRTFSyntax::WriteColoredToken(int colorIndex, QByteArrayView token, RtfStream &out)
{
    out.reserve(token.size() + 16);
    out.write(QByteArrayView("\\cf", 3));
    out.writeNumber(colorIndex);
    out.write(' ');
    out.write(token);
}

void TsyxRTFSyntax::FormatToken(int colorIndex, QByteArrayView token, RtfStream &out)
{
    WriteColoredToken(colorIndex, token, out);
}

void TsyxRTFSyntax::NextToken() {}

bool TsyxRTFSyntax::AtEnd() const
{
    return true;
}

QByteArrayView TsyxRTFSyntax::CurrentToken() const
{
    return {};
}

int TsyxRTFSyntax::CurrentColorIndex() const
{
    return 0;
}

QByteArray TsyxRTFSyntax::ColorEntry(TsyxColor color) const
{
    // The core cannot resolve system colour references (high byte set); only
    // the three colour bytes count.
    return QByteArrayLiteral("\\red") + QByteArray::number(color & 0xFF) + QByteArrayLiteral("\\green") +
           QByteArray::number((color >> 8) & 0xFF) + QByteArrayLiteral("\\blue") +
           QByteArray::number((color >> 16) & 0xFF) + ';';
}

void TsyxRTFSyntax::SetInput(const char *, int) {}

void TsyxRTFSyntax::SetText(const char *text)
{
    SetInput(text, 1);
}

namespace {

QByteArrayView familyKeyword(quint8 pitchAndFamily)
{
    switch (pitchAndFamily & 0xF0) {
    case 0x00:
        return "fdontcare";
    case 0x10:
        return "froman";
    case 0x20:
        return "fswiss";
    case 0x30:
        return "fmodern";
    case 0x40:
        return "fscript";
    case 0x50:
        return "fdecorative";
    default:
        return "froman";
    }
}

QByteArrayView charSetKeyword(quint8 charSet)
{
    switch (charSet) {
    case 0:
        return "fcharset0";
    case 1:
        return "fcharset1";
    case 2:
        return "fcharset2";
    case 128:
        return "fcharset128";
    case 255:
        return "fcharset255";
    default:
        return {};
    }
}

} // namespace

void TsyxRTFSyntax::SetupFonts(std::span<const TsyxFont> fonts)
{
    m_fontEntries.clear();
    qsizetype number = 0;
    for (const TsyxFont &font : fonts) {
        m_fontEntries += "{\\f" + QByteArray::number(number++) + '\\';
        m_fontEntries += familyKeyword(font.pitchAndFamily);
        m_fontEntries += '\\';
        m_fontEntries += charSetKeyword(font.charSet);
        m_fontEntries += ' ' + font.name + ";}";
    }
}

void TsyxRTFSyntax::SetupColors(std::span<const TsyxColor> colors)
{
    m_colorTable = QByteArrayLiteral("{\\colortbl\\red0\\green0\\blue0;");
    for (const TsyxColor color : colors)
        m_colorTable += ColorEntry(color);
    m_colorTable += QByteArrayLiteral("}\r\n");
}

void TsyxRTFSyntax::ConvertToStream(RtfStream &stream)
{
    stream.write(m_header);
    stream.write(m_fontEntries);
    stream.write(m_fontTableClosing);
    stream.write(m_colorTable);
    stream.write(m_documentStart);
    stream.write(QByteArrayView("\\f0 ", 4));
    while (!AtEnd()) {
        QByteArrayView token = CurrentToken();
        const int colorIndex = CurrentColorIndex();
        EscapeToken(token);
        // No space after \par: the backslash of the following \cf ends the word.
        if (token == QByteArrayView("\r\n", 2) || token == QByteArrayView("\r", 1))
            stream.write(QByteArrayView("\\par", 4));
        FormatToken(colorIndex, token, stream);
        NextToken();
    }
    stream.write(QByteArrayView(" }", 2));
}

QByteArray TsyxRTFSyntax::ConvertToString()
{
    QByteArray result;
    RtfStream stream(result);
    ConvertToStream(stream);
    stream.finish();
    return result;
}

void TsyxRTFSyntax::SetDefaultColors() {}

} // namespace brindle::output
