#include "check/textmeasure.h"

#include "base/error.h"

#include <fontconfig/fontconfig.h>
#include <hb-ot.h>
#include <hb.h>

#include <cmath>

using namespace Qt::StringLiterals;

namespace brindle::check {

struct FontMeasure::Font
{
    hb_blob_t *blob = nullptr;
    hb_face_t *face = nullptr;
    hb_font_t *font = nullptr;
    unsigned upem = 0;

    ~Font()
    {
        hb_font_destroy(font);
        hb_face_destroy(face);
        hb_blob_destroy(blob);
    }
};

namespace {

QString findLiberationSans()
{
    const QString missing = u"the font %1 is not installed (Debian package fonts-liberation2)"_s.arg(
        QString::fromUtf16(kMeasureFamily));
    if (!FcInit())
        throw Error(missing);
    const QByteArray family = QString::fromUtf16(kMeasureFamily).toUtf8();
    FcPattern *pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family.constData()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern *match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    QString file;
    FcChar8 *value = nullptr;
    // fontconfig answers every request with some font: only the family itself will do.
    if (match && FcPatternGetString(match, FC_FAMILY, 0, &value) == FcResultMatch &&
        QString::fromUtf8(reinterpret_cast<const char *>(value)) == QString::fromUtf16(kMeasureFamily) &&
        FcPatternGetString(match, FC_FILE, 0, &value) == FcResultMatch)
        file = QString::fromUtf8(reinterpret_cast<const char *>(value));
    if (match)
        FcPatternDestroy(match);
    if (file.isEmpty())
        throw Error(missing);
    return file;
}

} // namespace

const FontMeasure &FontMeasure::liberationSans()
{
    static const FontMeasure measure(findLiberationSans());
    return measure;
}

FontMeasure::FontMeasure(const QString &fontFile) : m_fontFile(fontFile), m_font(std::make_unique<Font>())
{
    m_font->blob = hb_blob_create_from_file_or_fail(fontFile.toLocal8Bit().constData());
    if (!m_font->blob)
        throw Error(u"cannot read the font file \"%1\""_s.arg(fontFile));
    m_font->face = hb_face_create(m_font->blob, 0);
    m_font->upem = hb_face_get_upem(m_font->face);
    if (hb_face_get_glyph_count(m_font->face) == 0 || m_font->upem == 0)
        throw Error(u"\"%1\" is not a font file"_s.arg(fontFile));
    m_font->font = hb_font_create(m_font->face);
    hb_font_make_immutable(m_font->font);
}

FontMeasure::~FontMeasure() = default;

double FontMeasure::width(QStringView text, int pixelSize) const
{
    if (text.isEmpty())
        return 0;
    hb_buffer_t *buffer = hb_buffer_create();
    hb_buffer_add_utf16(buffer, reinterpret_cast<const uint16_t *>(text.utf16()), int(text.size()), 0,
                        int(text.size()));
    hb_buffer_guess_segment_properties(buffer);
    hb_shape(m_font->font, buffer, nullptr, 0);
    unsigned count = 0;
    const hb_glyph_info_t *infos = hb_buffer_get_glyph_infos(buffer, &count);
    const hb_glyph_position_t *positions = hb_buffer_get_glyph_positions(buffer, &count);
    const double scale = double(pixelSize) / m_font->upem;
    double total = 0;
    for (unsigned i = 0; i < count; ++i) {
        // Qt's font engine cuts each glyph's advance to 1/64 px before it
        // adds kerning; summing exact advances drifts by a pixel per line.
        const hb_position_t nominal = hb_font_get_glyph_h_advance(m_font->font, infos[i].codepoint);
        total += std::floor(nominal * scale * 64) / 64 + (positions[i].x_advance - nominal) * scale;
    }
    hb_buffer_destroy(buffer);
    return total;
}

QString collapseWhitespace(QStringView text)
{
    // HTML's whitespace only: a no-break space stays, as in a browser's title.
    const auto isSpace = [](QChar c) {
        return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
    };
    QString out;
    out.reserve(text.size());
    bool pendingSpace = false;
    for (QChar c : text) {
        if (isSpace(c)) {
            pendingSpace = !out.isEmpty();
            continue;
        }
        if (pendingSpace)
            out += u' ';
        pendingSpace = false;
        out += c;
    }
    return out;
}

int characterCount(QStringView text)
{
    int count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!(text.at(i).isLowSurrogate() && i > 0 && text.at(i - 1).isHighSurrogate()))
            ++count;
    }
    return count;
}

} // namespace brindle::check
