#include "widgets/systemcolors.h"

#include <algorithm>

namespace brindle::widgets {

QColor clWindow(const QPalette &palette)
{
    return palette.color(QPalette::Active, QPalette::Base);
}

QColor clWindowText(const QPalette &palette)
{
    return palette.color(QPalette::Active, QPalette::Text);
}

// Window rather than Button: the face colour is the background of whole windows, and
// styles such as Fusion make Button a touch lighter than the window it sits on.
QColor clBtnFace(const QPalette &palette)
{
    return palette.color(QPalette::Active, QPalette::Window);
}

QColor clBtnShadow(const QPalette &palette)
{
    return palette.color(QPalette::Active, QPalette::Mid);
}

QColor clBtnText(const QPalette &palette)
{
    return palette.color(QPalette::Active, QPalette::ButtonText);
}

QColor clHighlight(const QPalette &palette)
{
    return palette.color(QPalette::Active, QPalette::Highlight);
}

QColor clHighlightText(const QPalette &palette)
{
    return palette.color(QPalette::Active, QPalette::HighlightedText);
}

QColor clInfoBk(const QPalette &palette)
{
    return palette.color(QPalette::Active, QPalette::ToolTipBase);
}

QColor adjustLightness(const QColor &color, int delta)
{
    int h = 0, s = 0, l = 0, a = 0;
    color.toHsl().getHsl(&h, &s, &l, &a);
    return QColor::fromHsl(h, s, std::clamp(l + delta, 0, 255), a).toRgb();
}

} // namespace brindle::widgets
