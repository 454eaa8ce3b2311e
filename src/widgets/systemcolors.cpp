#include "widgets/systemcolors.h"

#include <QHash>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>

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

double contrastRatio(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &c) {
        const auto channel = [](double v) {
            return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOutline(const QColor &background, const QColor &ink, double ratio)
{
    // In 64 steps: the lightest that reads is all that is wanted.
    constexpr int kSteps = 64;
    for (int i = 1; i <= kSteps; ++i) {
        const auto mix = [&](int from, int to) { return from + (to - from) * i / kSteps; };
        const QColor c(mix(background.red(), ink.red()), mix(background.green(), ink.green()),
                       mix(background.blue(), ink.blue()));
        if (contrastRatio(c, background) >= ratio)
            return c;
    }
    return ink;
}

bool drawnOutlineReads(const QString &look, const QSize &size, const QColor &background,
                       const std::function<void(QPainter &)> &draw)
{
    static QHash<QString, bool> known;
    const QString key = look + u'/' + QString::number(size.width()) + u'x' + QString::number(size.height()) +
                        u'/' + background.name();
    if (const auto it = known.constFind(key); it != known.constEnd())
        return *it;
    QImage image(size, QImage::Format_RGB32);
    image.fill(background);
    {
        QPainter p(&image);
        draw(p);
    }
    const QRect r = image.rect();
    bool reads = r.width() > 4 && r.height() > 4;
    const auto check = [&](int x, int y) {
        reads = reads && contrastRatio(image.pixelColor(x, y), background) >= 3.0;
    };
    for (int x = r.left() + 2; x <= r.right() - 2; ++x) {
        check(x, r.top());
        check(x, r.bottom());
    }
    for (int y = r.top() + 2; y <= r.bottom() - 2; ++y) {
        check(r.left(), y);
        check(r.right(), y);
    }
    known.insert(key, reads);
    return reads;
}

void drawReadableOutline(QPainter &p, const QRect &r, const QColor &background, const QColor &ink)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(readableOutline(background, ink));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.restore();
}

QColor adjustLightness(const QColor &color, int delta)
{
    int h = 0, s = 0, l = 0, a = 0;
    color.toHsl().getHsl(&h, &s, &l, &a);
    return QColor::fromHsl(h, s, std::clamp(l + delta, 0, 255), a).toRgb();
}

} // namespace brindle::widgets
