// Feeds any bytes to the HTML-to-RTF converter: two texts, split at the
// first NUL, converted one after the other by the same converter so that
// the state carried between texts is exercised too. Each text sits in an
// allocation that ends at its NUL, so a read past it is a sanitizer report.
// The document must be plain ASCII and a balanced RTF group, and the same
// whether it is written whole or in slices, or read through a small window.

#include "render/htmlrtf.h"
#include "render/viewercolors.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace brindle::render;

namespace {

std::unique_ptr<char[]> terminated(const uint8_t *data, size_t size)
{
    auto text = std::make_unique<char[]>(size + 1);
    if (size > 0)
        std::memcpy(text.get(), data, size);
    text[size] = '\0';
    return text;
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkDocument(const QByteArray &rtf)
{
    check(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252"));
    check(rtf.endsWith(" }"));
    int depth = 0;
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        const auto c = static_cast<unsigned char>(rtf[i]);
        check(c != 0 && c < 128);
        if (c == '\\') {
            ++i; // a control symbol or the first letter of a word
            check(i < rtf.size());
        } else if (c == '{') {
            ++depth;
        } else if (c == '}') {
            --depth;
            check(depth >= 0);
            check(depth > 0 || i == rtf.size() - 1);
        }
    }
    check(depth == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto *nul = static_cast<const uint8_t *>(std::memchr(data, 0, size));
    const size_t firstSize = nul ? size_t(nul - data) : size;
    const auto first = terminated(data, firstSize);
    const uint8_t *rest = nul ? nul + 1 : data + size;
    const size_t restSize = size_t(data + size - rest);
    const auto *nul2 = static_cast<const uint8_t *>(std::memchr(rest, 0, restSize));
    const auto second = terminated(rest, nul2 ? size_t(nul2 - rest) : restSize);

    TsyxHTMLRTF converter;
    converter.SetupColors(kViewerColors);
    converter.SetText(first.get());
    const QByteArray whole = converter.ConvertToString();
    checkDocument(whole);

    // The same text through a stream that hands out slices of a size taken
    // from the input.
    QByteArray joined, buffer;
    {
        RtfStream stream(
            buffer, [&joined](QByteArrayView slice) { joined += slice; }, 1 + qsizetype(size % 97));
        TsyxHTMLRTF sliced;
        sliced.SetupColors(kViewerColors);
        sliced.SetText(first.get());
        sliced.ConvertToStream(stream);
    }
    check(joined == whole);

    // The text read piece by piece through a small window, in reads of a
    // few bytes, up to the first NUL. Repeated until it is several windows
    // long, so that tokens longer than the window and cuts at every place
    // occur for short inputs too.
    const qsizetype window = TsyxHTMLRTF::kMinimumWindow + qsizetype(size % 61);
    QByteArray text(first.get(), qsizetype(firstSize));
    if (!text.isEmpty())
        text = text.repeated(4 * window / text.size() + 1);
    const QByteArray fed =
        text + QByteArray(1, '\0') + QByteArray(reinterpret_cast<const char *>(rest), qsizetype(restSize));
    TsyxHTMLRTF reference;
    reference.SetupColors(kViewerColors);
    const auto repeated =
        terminated(reinterpret_cast<const uint8_t *>(text.constData()), size_t(text.size()));
    reference.SetText(repeated.get());
    const QByteArray expected = reference.ConvertToString();
    QByteArray streamed;
    {
        RtfStream stream(streamed);
        TsyxHTMLRTF windowed;
        windowed.SetupColors(kViewerColors);
        const qsizetype read = 1 + qsizetype(size % 13);
        qsizetype offset = 0;
        windowed.convertSourceToStream(
            [&](char *to, qsizetype capacity) {
                const qsizetype n = std::min({read, capacity, fed.size() - offset});
                std::memcpy(to, fed.constData() + offset, std::size_t(n));
                offset += n;
                return n;
            },
            stream, window);
        stream.finish();
    }
    check(streamed == expected);

    converter.SetText(second.get());
    checkDocument(converter.ConvertToString());
    return 0;
}
