#include "render/colorize.h"

#include "render/htmlrtf.h"
#include "render/viewercolors.h"

namespace brindle::render {

void colorizeHtml(const QByteArray &text, RtfStream &stream)
{
    TsyxHTMLRTF converter;
    converter.SetupColors(kViewerColors);
    converter.SetText(text.constData());
    converter.ConvertToStream(stream);
}

void colorizeHtml(const TextSource &source, RtfStream &stream)
{
    TsyxHTMLRTF converter;
    converter.SetupColors(kViewerColors);
    converter.convertSourceToStream(source, stream);
}

QByteArray colorizeHtml(const QByteArray &text)
{
    QByteArray rtf;
    RtfStream stream(rtf);
    // Typical HTML grows to about twice its size; reserving more than that
    // spares the copies of geometric growth, and untouched pages cost nothing.
    stream.reserve(3 * text.size() + 1024);
    colorizeHtml(text, stream);
    stream.finish();
    return rtf;
}

} // namespace brindle::render
