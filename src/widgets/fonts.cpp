#include "widgets/fonts.h"

#include <QDir>
#include <QFontDatabase>
#include <cmath>

using namespace Qt::StringLiterals;

namespace brindle::widgets {

namespace {

int pointsToPixels(int pointSize)
{
    return int(std::lround(pointSize * 96.0 / 72.0));
}

// Debian's fonts-wine ships a free Tahoma outside the font configuration's folders;
// register it for this process when no Tahoma is installed.
bool registerWineTahoma()
{
    const QDir dir(u"/usr/share/wine/fonts"_s);
    bool found = false;
    // Only the regular face: its bold face is drawn nearly as thin as the
    // regular one, while the emboldened regular face reads as bold.
    for (const QString &file : {u"tahoma.ttf"_s}) {
        if (dir.exists(file) && QFontDatabase::addApplicationFont(dir.filePath(file)) >= 0)
            found = true;
    }
    return found && QFontDatabase::families().contains(u"Tahoma"_s);
}

QString findUiFamily()
{
    if (QFontDatabase::families().contains(u"Tahoma"_s) || registerWineTahoma())
        return u"Tahoma"_s;
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

} // namespace

QString uiFontFamily()
{
    static const QString family = findUiFamily();
    return family;
}

QFont uiPixelFont(int pixelSize, bool bold)
{
    QFont font(uiFontFamily());
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QFont uiFont(int pointSize, bool bold)
{
    return uiPixelFont(pointsToPixels(pointSize), bold);
}

QFont arialFont(int pointSize)
{
    QFont font(u"Arial"_s);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pointsToPixels(pointSize));
    return font;
}

} // namespace brindle::widgets
