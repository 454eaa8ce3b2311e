// Feeds any bytes to the RTF reader, which must neither crash nor hang and
// must cover its text with runs. The same bytes, up to the first NUL, are
// also taken as an HTML text: converted to RTF and read back, they must give
// the original text, with valid UTF-8 decoded, every other byte read in code
// page 1252, CR LF and lone CR as paragraph ends and lone LF gone.

#include "render/colorize.h"
#include "render/rtfreader.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace brindle::render;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkRuns(const RtfContent &content)
{
    qsizetype next = 0;
    for (const RtfRun &run : content.runs) {
        check(run.start == next && run.length > 0 && run.rgb <= 0xFFFFFF);
        next += run.length;
    }
    check(next == content.text.size());
}

// Length of a valid UTF-8 sequence at p (0 if none) and its code point.
int utf8Length(const unsigned char *p, size_t n, char32_t &cp)
{
    const unsigned char b = p[0];
    int length;
    unsigned char low = 0x80, high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2, cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3, cp = b & 0x0F;
        low = b == 0xE0 ? 0xA0 : 0x80;
        high = b == 0xED ? 0x9F : 0xBF;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4, cp = b & 0x07;
        low = b == 0xF0 ? 0x90 : 0x80;
        high = b == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (n < size_t(length))
        return 0;
    for (int i = 1; i < length; ++i) {
        if (p[i] < low || p[i] > high)
            return 0;
        low = 0x80, high = 0xBF;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    return length;
}

QString expectedText(const unsigned char *p, size_t n)
{
    QString text;
    for (size_t i = 0; i < n;) {
        const unsigned char b = p[i];
        if (b == '\r') {
            text += QLatin1StringView("\r\n");
            i += (i + 1 < n && p[i + 1] == '\n') ? 2 : 1;
        } else if (b == '\n') {
            ++i;
        } else if (b < 0x80) {
            text += QChar(char16_t(b));
            ++i;
        } else if (char32_t cp; const int length = utf8Length(p + i, n - i, cp)) {
            const char32_t units[] = {cp};
            text += QString::fromUcs4(units, 1);
            i += size_t(length);
        } else {
            text += cp1252Char(b);
            ++i;
        }
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));
    checkRuns(readRtf(bytes));

    const auto *nul = static_cast<const uint8_t *>(std::memchr(data, 0, size));
    const size_t htmlSize = nul ? size_t(nul - data) : size;
    const QByteArray html(reinterpret_cast<const char *>(data), qsizetype(htmlSize));
    const RtfContent back = readRtf(colorizeHtml(html));
    checkRuns(back);
    check(back.text == expectedText(data, htmlSize));
    check(back.fontName == QLatin1StringView("Courier New") && back.fontSizeHalfPoints == 20);
    return 0;
}
