#include "render/rtfsyntax.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace brindle::render {

void RtfStream::writeNumber(qint64 number)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, number);
    write(QByteArrayView(digits, result.ptr - digits));
}

namespace {

// A large document is written into fresh memory page by page; in 2 MiB pages
// the kernel takes a few hundred times fewer faults for it.
void adviseHugePages([[maybe_unused]] char *begin, [[maybe_unused]] char *end)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kHuge = std::uintptr_t(2) << 20;
    // The whole huge pages between begin and end; only a hint to the kernel.
    const std::uintptr_t toFirst = (kHuge - reinterpret_cast<std::uintptr_t>(begin) % kHuge) % kHuge;
    const std::uintptr_t pastLast = reinterpret_cast<std::uintptr_t>(end) % kHuge;
    if (std::uintptr_t(end - begin) > toFirst + pastLast)
        madvise(begin + toFirst, std::uintptr_t(end - begin) - toFirst - pastLast, MADV_HUGEPAGE);
#endif
}

} // namespace

void RtfStream::grow(qsizetype bytes)
{
    if (m_sink && m_begin) {
        if (m_cursor > m_begin)
            m_sink(QByteArrayView(m_begin, m_cursor - m_begin));
        m_cursor = m_begin;
        if (m_end - m_cursor >= bytes)
            return;
    }
    const qsizetype used = size();
    const qsizetype wanted =
        m_sink ? std::max(used + bytes, m_slice) : std::max({used + bytes, 2 * used, qsizetype(4096)});
    // Growing the array's size (not only its capacity) keeps QByteArray's own
    // bookkeeping out of the write path; finish() cuts the spare room off.
    m_target.resize(wanted);
    m_begin = m_target.data();
    if (!m_sink)
        adviseHugePages(m_begin + used, m_begin + wanted);
    m_cursor = m_begin + used;
    m_end = m_begin + wanted;
}

void RtfStream::finish()
{
    if (!m_begin)
        return;
    if (m_sink) {
        if (m_cursor > m_begin)
            m_sink(QByteArrayView(m_begin, m_cursor - m_begin));
        m_cursor = m_begin;
    }
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

void TsyxRTFSyntax::FormatToken(int colorIndex, QByteArrayView token, RtfStream &out)
{
    writeColoredToken(colorIndex, token, out);
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

QByteArray TsyxRTFSyntax::ColorEntry(RtfColor color) const
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

void TsyxRTFSyntax::SetupFonts(std::span<const RtfFont> fonts)
{
    m_fontEntries.clear();
    qsizetype number = 0;
    for (const RtfFont &font : fonts) {
        m_fontEntries += "{\\f" + QByteArray::number(number++) + '\\';
        m_fontEntries += familyKeyword(font.pitchAndFamily);
        m_fontEntries += '\\';
        m_fontEntries += charSetKeyword(font.charSet);
        m_fontEntries += ' ' + font.name + ";}";
    }
}

void TsyxRTFSyntax::SetupColors(std::span<const RtfColor> colors)
{
    m_colorTable = QByteArrayLiteral("{\\colortbl\\red0\\green0\\blue0;");
    for (const RtfColor color : colors)
        m_colorTable += ColorEntry(color);
    m_colorTable += QByteArrayLiteral("}\r\n");
}

void TsyxRTFSyntax::writeProlog(RtfStream &stream) const
{
    stream.write(m_header);
    stream.write(m_fontEntries);
    stream.write(m_fontTableClosing);
    stream.write(m_colorTable);
    stream.write(m_documentStart);
    stream.write(QByteArrayView("\\f0 ", 4));
}

void TsyxRTFSyntax::ConvertToStream(RtfStream &stream)
{
    writeProlog(stream);
    // Through the virtual operations, for scanners that are not final.
    while (!AtEnd()) {
        QByteArrayView token = CurrentToken();
        const int colorIndex = CurrentColorIndex();
        EscapeToken(token);
        if (!token.isEmpty() && token.size() <= 2 && token[0] == '\r' &&
            (token.size() == 1 || token[1] == '\n'))
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

} // namespace brindle::render
