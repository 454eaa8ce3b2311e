#pragma once

// GradientPanel, the background of tool bars, status bars and headers.

#include <QColor>
#include <QWidget>

namespace brindle::widgets {

// A panel painted as a vertical gradient, with a flat one-pixel line on chosen sides.
// Children are placed on it with absolute coordinates.
class GradientPanel : public QWidget
{
    Q_OBJECT

public:
    // System: from clWindow at the top to clBtnFace darkened by 10 at the bottom,
    // following palette changes. Custom: the colours given to setGradientColors.
    enum class ColorStyle
    {
        System,
        Custom
    };

    explicit GradientPanel(QWidget *parent = nullptr);

    void setColorStyle(ColorStyle style);
    ColorStyle colorStyle() const { return m_style; }
    // Also switches the panel to the custom style.
    void setGradientColors(const QColor &start, const QColor &stop);
    QColor startColor() const;
    QColor stopColor() const;

    void setBorderSides(Qt::Edges sides);
    Qt::Edges borderSides() const { return m_borderSides; }
    // An invalid colour means clBtnShadow of the current palette.
    void setBorderColor(const QColor &color);
    QColor borderColor() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    ColorStyle m_style = ColorStyle::System;
    QColor m_start;
    QColor m_stop;
    QColor m_border;
    Qt::Edges m_borderSides;
};

} // namespace brindle::widgets
