#pragma once

// The one mapping of the classic system colours (clWindow, clBtnShadow, ...) onto Qt palette roles.

#include <QApplication>
#include <QColor>
#include <QPalette>

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

// Changes the HSL lightness, on a 0..255 scale, by delta (negative darkens), clamped to
// 0..255; hue and saturation stay.
QColor adjustLightness(const QColor &color, int delta);

} // namespace brindle::widgets
