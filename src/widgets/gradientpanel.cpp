#include "widgets/gradientpanel.h"

#include "widgets/systemcolors.h"

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>

namespace brindle::widgets {

GradientPanel::GradientPanel(QWidget *parent) : QWidget(parent)
{
    // The gradient covers every pixel; nothing behind it needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GradientPanel::setColorStyle(ColorStyle style)
{
    if (m_style == style)
        return;
    m_style = style;
    update();
}

void GradientPanel::setGradientColors(const QColor &start, const QColor &stop)
{
    m_start = start;
    m_stop = stop;
    m_style = ColorStyle::Custom;
    update();
}

QColor GradientPanel::startColor() const
{
    return m_style == ColorStyle::Custom ? m_start : clWindow(palette());
}

QColor GradientPanel::stopColor() const
{
    return m_style == ColorStyle::Custom ? m_stop : adjustLightness(clBtnFace(palette()), -10);
}

void GradientPanel::setBorderSides(Qt::Edges sides)
{
    m_borderSides = sides;
    update();
}

void GradientPanel::setBorderColor(const QColor &color)
{
    m_border = color;
    update();
}

QColor GradientPanel::borderColor() const
{
    return m_border.isValid() ? m_border : clBtnShadow(palette());
}

void GradientPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect r = rect();
    if (r.height() <= 1) {
        painter.fillRect(r, startColor());
    } else {
        // First row exactly the start colour, last row exactly the stop colour.
        QLinearGradient gradient(0, 0.5, 0, r.height() - 0.5);
        gradient.setColorAt(0, startColor());
        gradient.setColorAt(1, stopColor());
        painter.fillRect(r, gradient);
    }

    if (!m_borderSides)
        return;
    const QColor line = borderColor();
    if (m_borderSides & Qt::TopEdge)
        painter.fillRect(0, 0, r.width(), 1, line);
    if (m_borderSides & Qt::BottomEdge)
        painter.fillRect(0, r.height() - 1, r.width(), 1, line);
    if (m_borderSides & Qt::LeftEdge)
        painter.fillRect(0, 0, 1, r.height(), line);
    if (m_borderSides & Qt::RightEdge)
        painter.fillRect(r.width() - 1, 0, 1, r.height(), line);
}

void GradientPanel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        update();
    QWidget::changeEvent(event);
}

} // namespace brindle::widgets
