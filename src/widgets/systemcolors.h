#pragma once

// The one mapping of the classic system colours (clWindow, clBtnShadow, ...) onto Qt palette roles.

#include <QApplication>
#include <QColor>
#include <QPalette>

// The system colours the windows were designed with, mapped onto the palette roles
// of the running desktop.
namespace brindle::widgets {

QColor clWindow(const QPalette &palette = QApplication::palette());
QColor clWindowText(const QPalette &palette = QApplication::palette());
QColor clBtnFace(const QPalette &palette = QApplication::palette());
QColor clBtnShadow(const QPalette &palette = QApplication::palette());
QColor clBtnText(const QPalette &palette = QApplication::palette());
QColor clHighlight(const QPalette &palette = QApplication::palette());
QColor clHighlightText(const QPalette &palette = QApplication::palette());
QColor clInfoBk(const QPalette &palette = QApplication::palette());

// Changes the HSL lightness, on a 0..255 scale, by delta (negative darkens), clamped to
// 0..255; hue and saturation stay.
QColor adjustLightness(const QColor &color, int delta);

} // namespace brindle::widgets
