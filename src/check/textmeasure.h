#pragma once

// The rendered width of a search result's title and description. Search
// results set them in Arial; Liberation Sans has the same advance widths and
// is measured here from its font file, so the figures are the same on every
// machine and need no display.

#include <QString>
#include <QStringView>

#include <memory>

namespace brindle::check {

// A search result's lines, as the checker measures them.
inline constexpr int kTitlePixelSize = 20;
inline constexpr double kTitleMaxPixels = 600;
inline constexpr int kTitleAboutCharacters = 60;
inline constexpr int kDescriptionPixelSize = 14;
inline constexpr double kDescriptionMaxPixels = 920;
inline constexpr int kDescriptionAboutCharacters = 160;
inline constexpr int kDescriptionMinCharacters = 50;

inline constexpr char16_t kMeasureFamily[] = u"Liberation Sans";

class TextMeasure
{
public:
    virtual ~TextMeasure() = default;
    // Width in pixels of one line of text at a pixel size.
    virtual double width(QStringView text, int pixelSize) const = 0;
};

// Liberation Sans Regular, shaped with HarfBuzz (kerning included) and with
// each advance cut to 1/64 px as Qt's font engine does, so the widths agree
// with what the windows draw. Characters the font lacks are measured in the
// font fontconfig picks for them, as a browser falls back: each run of one
// script is shaped in the main font, and each stretch of it that comes out
// as missing glyphs is shaped again in the fallback font. Safe to use from
// several threads.
class FontMeasure : public TextMeasure
{
public:
    // The font as fontconfig finds it; throws brindle::Error when Liberation
    // Sans is not installed (Debian package fonts-liberation2).
    static const FontMeasure &liberationSans();
    // A given font file; throws brindle::Error when it cannot be read.
    explicit FontMeasure(const QString &fontFile);
    ~FontMeasure() override;
    FontMeasure(const FontMeasure &) = delete;
    FontMeasure &operator=(const FontMeasure &) = delete;

    double width(QStringView text, int pixelSize) const override;
    const QString &fontFile() const { return m_fontFile; }
    // The file of the font a character is measured in: the main font's when
    // it has the character, else the fallback's; empty when no font has it.
    QString fontFileFor(char32_t c) const;

private:
    struct Font;
    struct Fallbacks;
    struct Shaper;
    QString m_fontFile;
    std::unique_ptr<Font> m_font;
    std::unique_ptr<Fallbacks> m_fallbacks;
};

// Whitespace runs become one space and the ends are trimmed, as a search
// result shows the text.
QString collapseWhitespace(QStringView text);

// Characters as a reader counts them: code points, not UTF-16 units.
int characterCount(QStringView text);

} // namespace brindle::check
