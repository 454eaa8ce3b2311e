#pragma once

// The windows' fonts: Tahoma, Arial, sized in pixels.

#include <QFont>

namespace brindle::widgets {

// The windows are laid out in pixels, so their fonts are sized in pixels as well, with
// points converted at 96 dots per inch (8 pt gives 11 px): a desktop set to a larger
// font DPI must not push captions out of their fixed boxes.

// Tahoma when available (installed, or registered from Wine's font folder), otherwise
// the desktop's general font family.
QFont uiFont(int pointSize = 8, bool bold = false);
// The same family at an exact pixel height.
QFont uiPixelFont(int pixelSize, bool bold = false);
// Arial, or what the font configuration substitutes for it (Liberation Sans).
QFont arialFont(int pointSize = 8);

// The family uiFont uses. Like the functions above it needs a QGuiApplication.
QString uiFontFamily();

} // namespace brindle::widgets
