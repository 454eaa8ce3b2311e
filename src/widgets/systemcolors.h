#pragma once

// The one mapping of the classic system colours (clWindow, clBtnShadow, ...) onto Qt palette roles.

#include <QApplication>
#include <QColor>
#include <QPalette>

#include <functional>

class QPainter;

// The system colours the windows were designed with, mapped onto the palette roles
// of the running desktop.
namespace brindle::widgets {

enum class SystemColor
{
    Window,        // clWindow
    WindowText,    // clWindowText
    BtnFace,       // clBtnFace
    BtnShadow,     // clBtnShadow
    BtnText,       // clBtnText
    Highlight,     // clHighlight
    HighlightText, // clHighlightText
    InfoBk,        // clInfoBk
};

// The palette role that stands for a system colour.
QPalette::ColorRole roleOf(SystemColor color);

// The system colour in the palette's active group.
inline QColor systemColor(SystemColor color, const QPalette &palette = QApplication::palette())
{
    return palette.color(QPalette::Active, roleOf(color));
}

inline QColor clWindow(const QPalette &palette = QApplication::palette())
{
    return systemColor(SystemColor::Window, palette);
}
inline QColor clWindowText(const QPalette &palette = QApplication::palette())
{
    return systemColor(SystemColor::WindowText, palette);
}
inline QColor clBtnFace(const QPalette &palette = QApplication::palette())
{
    return systemColor(SystemColor::BtnFace, palette);
}
inline QColor clBtnShadow(const QPalette &palette = QApplication::palette())
{
    return systemColor(SystemColor::BtnShadow, palette);
}
inline QColor clBtnText(const QPalette &palette = QApplication::palette())
{
    return systemColor(SystemColor::BtnText, palette);
}
inline QColor clHighlight(const QPalette &palette = QApplication::palette())
{
    return systemColor(SystemColor::Highlight, palette);
}
inline QColor clHighlightText(const QPalette &palette = QApplication::palette())
{
    return systemColor(SystemColor::HighlightText, palette);
}
inline QColor clInfoBk(const QPalette &palette = QApplication::palette())
{
    return systemColor(SystemColor::InfoBk, palette);
}

// WCAG's contrast ratio of two colours, 1 to 21.
double contrastRatio(const QColor &a, const QColor &b);

// The colour nearest to `background` on its way to `ink` that stands out from
// the background at `ratio` (WCAG's 3:1 for what identifies a control): a
// line that reads without being heavier than it must. `ink` itself when even
// it does not.
QColor readableOutline(const QColor &background, const QColor &ink, double ratio = 3.0);

// Whether the outline of a control that `draw` paints into an image of `size`
// over `background` stands out from it at 3:1 all round, its corners aside
// (themes round them). The answer is kept under `look`, which names all the
// drawing depends on: style, palette and state.
bool drawnOutlineReads(const QString &look, const QSize &size, const QColor &background,
                       const std::function<void(QPainter &)> &draw);

// Draws the outline of `r` in readableOutline(): for a theme whose own
// outline does not read on the palette in use.
void drawReadableOutline(QPainter &p, const QRect &r, const QColor &background, const QColor &ink);

// Changes the HSL lightness, on a 0..255 scale, by delta (negative darkens), clamped to
// 0..255; hue and saturation stay.
QColor adjustLightness(const QColor &color, int delta);

} // namespace brindle::widgets
