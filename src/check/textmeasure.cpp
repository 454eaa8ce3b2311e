#include "check/textmeasure.h"

#include "base/error.h"

#include <fontconfig/fontconfig.h>
#include <hb-ot.h>
#include <hb.h>

#include <QFile>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace brindle::check {

namespace {

// HarfBuzz's and fontconfig's objects are freed by functions of their own.
template<auto destroy>
struct FreeWith
{
    template<typename T>
    void operator()(T *p) const
    {
        destroy(p);
    }
};

} // namespace

struct FontMeasure::Font
{
    QString file;
    std::unique_ptr<hb_blob_t, FreeWith<hb_blob_destroy>> blob;
    std::unique_ptr<hb_face_t, FreeWith<hb_face_destroy>> face;
    std::unique_ptr<hb_font_t, FreeWith<hb_font_destroy>> font;
    unsigned upem = 0;

    // index: the face within a font collection (.ttc).
    Font(const QString &fontFile, unsigned index) : file(fontFile)
    {
        blob.reset(hb_blob_create_from_file_or_fail(QFile::encodeName(fontFile).constData()));
        if (!blob)
            throw Error(u"cannot read the font file \"%1\""_s.arg(fontFile));
        face.reset(hb_face_create(blob.get(), index));
        upem = hb_face_get_upem(face.get());
        if (hb_face_get_glyph_count(face.get()) == 0 || upem == 0)
            throw Error(u"\"%1\" is not a font file"_s.arg(fontFile));
        font.reset(hb_font_create(face.get()));
        hb_font_make_immutable(font.get());
    }

    bool has(char32_t c) const
    {
        hb_codepoint_t glyph = 0;
        return hb_font_get_nominal_glyph(font.get(), c, &glyph) != 0;
    }
};

// Fallback fonts, looked up once per character and loaded once per file.
struct FontMeasure::Fallbacks
{
    std::mutex mutex;
    // fontconfig's order of preference, asked for once.
    std::unique_ptr<FcFontSet, FreeWith<FcFontSetDestroy>> order;
    std::unordered_map<char32_t, const Font *> byCharacter; // nullptr: no font has it
    std::map<std::pair<QString, int>, std::unique_ptr<Font>> loaded;

    const Font *fontFor(char32_t c);
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

// The fonts fontconfig prefers for a regular upright text, best first, as it
// answers a browser that asks for a font with a character the page's font
// lacks: the first in this order that has the character. (A query with the
// character itself ranks the fonts that have it the same way but for a few
// marks and controls, at a hundred times the cost.) The language is fixed so
// that the figures do not follow the user's locale; among the fonts for a
// script it changes glyph shapes, not widths.
FcFontSet *fallbackOrder()
{
    FcPattern *pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8 *>("en"));
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet *sorted = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
    FcPatternDestroy(pattern);
    return sorted;
}

// The file and face of the first font in order that has the character.
std::pair<QString, int> fallbackFace(const FcFontSet *order, char32_t c)
{
    for (int i = 0; order && i < order->nfont; ++i) {
        FcPattern *font = order->fonts[i];
        FcCharSet *has = nullptr;
        FcChar8 *file = nullptr;
        if (FcPatternGetCharSet(font, FC_CHARSET, 0, &has) != FcResultMatch || !FcCharSetHasChar(has, c) ||
            FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch)
            continue;
        int index = 0;
        if (FcPatternGetInteger(font, FC_INDEX, 0, &index) != FcResultMatch)
            index = 0;
        return {QString::fromUtf8(reinterpret_cast<const char *>(file)), index};
    }
    return {};
}

bool isNeutral(hb_script_t script)
{
    return script == HB_SCRIPT_COMMON || script == HB_SCRIPT_INHERITED || script == HB_SCRIPT_UNKNOWN;
}

char32_t codePointAt(QStringView text, qsizetype i)
{
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
        return QChar::surrogateToUcs4(c, text.at(i + 1));
    return c.unicode();
}

qsizetype codePointLength(char32_t c)
{
    return QChar::requiresSurrogates(c) ? 2 : 1;
}

struct ScriptRun
{
    qsizetype start;
    qsizetype end;
    hb_script_t script;
};

// Runs of one script each, as a browser shapes them. Spaces, digits and
// punctuation belong to the run they stand in (leading ones to the first).
std::vector<ScriptRun> scriptRuns(QStringView text)
{
    hb_unicode_funcs_t *unicode = hb_unicode_funcs_get_default();
    std::vector<ScriptRun> runs;
    ScriptRun run{0, 0, HB_SCRIPT_COMMON};
    for (qsizetype i = 0; i < text.size();) {
        const char32_t c = codePointAt(text, i);
        const hb_script_t script = hb_unicode_script(unicode, c);
        if (!isNeutral(script) && script != run.script) {
            if (run.script == HB_SCRIPT_COMMON) {
                run.script = script;
            } else {
                run.end = i;
                runs.push_back(run);
                run = {i, 0, script};
            }
        }
        i += codePointLength(c);
    }
    run.end = text.size();
    runs.push_back(run);
    return runs;
}

} // namespace

const FontMeasure::Font *FontMeasure::Fallbacks::fontFor(char32_t c)
{
    const std::lock_guard lock(mutex);
    if (const auto it = byCharacter.find(c); it != byCharacter.end())
        return it->second;
    if (!order)
        order.reset(fallbackOrder());
    const Font *font = nullptr;
    const auto face = fallbackFace(order.get(), c);
    if (!face.first.isEmpty()) {
        auto &slot = loaded[face];
        if (!slot) {
            try {
                slot = std::make_unique<Font>(face.first, unsigned(face.second));
            } catch (const Error &) {
                // A font fontconfig lists but that cannot be read: as if absent.
            }
        }
        font = slot.get();
    }
    byCharacter.emplace(c, font);
    return font;
}

// Shapes the runs of one text; its buffer is used again for each piece.
struct FontMeasure::Shaper
{
    Fallbacks &fallbacks;
    QStringView text;
    int pixelSize;
    hb_script_t script = HB_SCRIPT_COMMON;
    std::unique_ptr<hb_buffer_t, FreeWith<hb_buffer_destroy>> buffer{hb_buffer_create()};

    struct Cluster
    {
        unsigned start;
        double advance;
        bool missing;
    };

    // The width of text[start, end) in font; fonts in tried were already
    // found wanting for a piece of it.
    double measure(const Font &font, qsizetype start, qsizetype end, std::vector<const Font *> &tried)
    {
        hb_buffer_t *b = buffer.get();
        hb_buffer_clear_contents(b);
        // The whole text is the context, so that letters join across pieces.
        hb_buffer_add_utf16(b, reinterpret_cast<const uint16_t *>(text.utf16()), int(text.size()),
                            unsigned(start), int(end - start));
        hb_buffer_set_script(b, script);
        const hb_direction_t direction = hb_script_get_horizontal_direction(script);
        hb_buffer_set_direction(b, direction == HB_DIRECTION_INVALID ? HB_DIRECTION_LTR : direction);
        static const hb_language_t english = hb_language_from_string("en", -1);
        hb_buffer_set_language(b, english);
        hb_shape(font.font.get(), b, nullptr, 0);
        unsigned count = 0;
        const hb_glyph_info_t *infos = hb_buffer_get_glyph_infos(b, &count);
        const hb_glyph_position_t *positions = hb_buffer_get_glyph_positions(b, &count);
        const double scale = double(pixelSize) / font.upem;
        const auto advance = [&](unsigned i) {
            // Qt's font engine cuts each glyph's advance to 1/64 px before it
            // adds kerning; summing exact advances drifts by a pixel per line.
            const hb_position_t nominal = hb_font_get_glyph_h_advance(font.font.get(), infos[i].codepoint);
            return std::floor(nominal * scale * 64) / 64 + (positions[i].x_advance - nominal) * scale;
        };
        double total = 0;
        bool missing = false;
        for (unsigned i = 0; i < count; ++i) {
            total += advance(i);
            missing = missing || infos[i].codepoint == 0;
        }
        if (!missing)
            return total;
        std::vector<Cluster> clusters;
        for (unsigned i = 0; i < count; ++i) {
            // A cluster's glyphs are adjacent in the buffer, in either direction.
            if (clusters.empty() || clusters.back().start != infos[i].cluster)
                clusters.push_back({infos[i].cluster, 0, false});
            clusters.back().advance += advance(i);
            clusters.back().missing = clusters.back().missing || infos[i].codepoint == 0;
        }
        std::sort(clusters.begin(), clusters.end(),
                  [](const Cluster &a, const Cluster &b) { return a.start < b.start; });
        total = 0;
        for (std::size_t k = 0; k < clusters.size();) {
            if (!clusters[k].missing) {
                total += clusters[k++].advance;
                continue;
            }
            double lackingAdvance = 0;
            const qsizetype from = clusters[k].start;
            while (k < clusters.size() && clusters[k].missing)
                lackingAdvance += clusters[k++].advance;
            const qsizetype to = k < clusters.size() ? qsizetype(clusters[k].start) : end;
            total += fallback(font, from, to, lackingAdvance, tried);
        }
        return total;
    }

    // A piece the font lacks, measured in the font chosen for its first
    // letter; a character no font has keeps the missing glyph's width.
    double fallback(const Font &font, qsizetype from, qsizetype to, double lackingAdvance,
                    std::vector<const Font *> &tried)
    {
        hb_unicode_funcs_t *unicode = hb_unicode_funcs_get_default();
        char32_t hint = codePointAt(text, from);
        for (qsizetype i = from; i < to; i += codePointLength(codePointAt(text, i))) {
            if (!isNeutral(hb_unicode_script(unicode, codePointAt(text, i)))) {
                hint = codePointAt(text, i);
                break;
            }
        }
        const Font *next = fallbacks.fontFor(hint);
        if (!next || next == &font || std::find(tried.begin(), tried.end(), next) != tried.end())
            return lackingAdvance;
        tried.push_back(&font);
        const double width = measure(*next, from, to, tried);
        tried.pop_back();
        return width;
    }
};

const FontMeasure &FontMeasure::liberationSans()
{
    static const FontMeasure measure(findLiberationSans());
    return measure;
}

FontMeasure::FontMeasure(const QString &fontFile)
    : m_fontFile(fontFile), m_font(std::make_unique<Font>(fontFile, 0)),
      m_fallbacks(std::make_unique<Fallbacks>())
{}

FontMeasure::~FontMeasure() = default;

double FontMeasure::width(QStringView text, int pixelSize) const
{
    if (text.isEmpty())
        return 0;
    Shaper shaper{*m_fallbacks, text, pixelSize};
    std::vector<const Font *> tried;
    double total = 0;
    for (const ScriptRun &run : scriptRuns(text)) {
        shaper.script = run.script;
        total += shaper.measure(*m_font, run.start, run.end, tried);
    }
    return total;
}

QString FontMeasure::fontFileFor(char32_t c) const
{
    if (m_font->has(c))
        return m_fontFile;
    const Font *fallback = m_fallbacks->fontFor(c);
    return fallback ? fallback->file : QString();
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
