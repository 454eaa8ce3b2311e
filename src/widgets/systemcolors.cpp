#include "widgets/systemcolors.h"

#include <algorithm>

namespace brindle::widgets {

QPalette::ColorRole roleOf(SystemColor color)
{
    switch (color) {
    case SystemColor::Window:
        return QPalette::Base;
    case SystemColor::WindowText:
        return QPalette::Text;
    // Window rather than Button: the face colour is the background of whole windows, and
    // styles such as Fusion make Button a touch lighter than the window it sits on.
    case SystemColor::BtnFace:
        return QPalette::Window;
    case SystemColor::BtnShadow:
        return QPalette::Mid;
    case SystemColor::BtnText:
        return QPalette::ButtonText;
    case SystemColor::Highlight:
        return QPalette::Highlight;
    case SystemColor::HighlightText:
        return QPalette::HighlightedText;
    case SystemColor::InfoBk:
        return QPalette::ToolTipBase;
    }
    return QPalette::Base;
}

QColor adjustLightness(const QColor &color, int delta)
{
    int h = 0, s = 0, l = 0, a = 0;
    color.toHsl().getHsl(&h, &s, &l, &a);
    return QColor::fromHsl(h, s, std::clamp(l + delta, 0, 255), a).toRgb();
}

} // namespace brindle::widgets
