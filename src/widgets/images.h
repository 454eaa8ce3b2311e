#pragma once

// The button pictures and the program icon, read once from the resources.

#include <QPixmap>
#include <QString>

namespace brindle::widgets {

// The program's own PNG images (":/images/..."), each decoded once.
// Read as PNG straight away: letting Qt guess the format would load every
// image format plug-in on the system first.
QPixmap loadImage(const QString &path);

} // namespace brindle::widgets
