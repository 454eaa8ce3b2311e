#include "widgets/imagebutton.h"

#include "widgets/images.h"
#include "widgets/systemcolors.h"

#include <QEnterEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace brindle::widgets {

namespace {
constexpr int kMargin = 3;     // least room between the edge and the content
constexpr int kSpacing = 4;    // between the icon and the caption
constexpr qreal kRadius = 3.0; // of the hover and pressed background
} // namespace

ImageButton *makeImageButton(QWidget *parent, const PictureButton &button)
{
    auto *b = new ImageButton(parent);
    b->setObjectName(QString::fromUtf16(button.name));
    b->setGeometry(button.geometry);
    b->setText(QString::fromUtf16(button.caption));
    b->setToolTip(QString::fromUtf16(button.toolTip));
    if (b->text().isEmpty())
        b->setAccessibleName(b->toolTip());
    const QString image = QStringLiteral(":/images/") + QString::fromUtf16(button.image);
    b->setImages(image + QStringLiteral(".png"), image + QStringLiteral("-hover.png"));
    return b;
}

ImageButton::ImageButton(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::TabFocus);
}

void ImageButton::setImages(const QString &normal, const QString &hover, const QString &pressed)
{
    // Images are decoded when first drawn or measured: a window built hidden
    // costs nothing for them, which keeps start-up short.
    m_normalPath = normal;
    m_hoverPath = hover.isEmpty() ? normal : hover;
    m_pressedPath = pressed.isEmpty() ? normal : pressed;
    updateGeometry();
    update();
}

QPixmap ImageButton::currentImage() const
{
    if (isDown())
        return loadImage(m_pressedPath);
    if (m_hovered && isEnabled())
        return loadImage(m_hoverPath);
    return loadImage(m_normalPath);
}

QSize ImageButton::minimumSizeHint() const
{
    QSize size = loadImage(m_normalPath).deviceIndependentSize().toSize();
    if (!text().isEmpty()) {
        const QFontMetrics fm = fontMetrics();
        size.rwidth() += kSpacing + fm.horizontalAdvance(text());
        size.rheight() = std::max(size.height(), fm.height());
    }
    return size;
}

QSize ImageButton::sizeHint() const
{
    return minimumSizeHint() + QSize(2 * kMargin, 2);
}

void ImageButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect r = rect();

    // A light wash like a flat tool button's, so the pointer's target is visible even
    // where the hover image differs little from the normal one.
    if (isEnabled() && (isDown() || m_hovered)) {
        QColor fill = clHighlight(palette());
        QColor line = fill;
        fill.setAlpha(isDown() ? 70 : 35);
        line.setAlpha(isDown() ? 150 : 110);
        QPainterPath path;
        path.addRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);
        painter.fillPath(path, fill);
        painter.setPen(line);
        painter.drawPath(path);
    }

    QPixmap image = currentImage();
    if (!isEnabled() && !image.isNull()) {
        QStyleOption option;
        option.initFrom(this);
        image = style()->generatedIconPixmap(QIcon::Disabled, image, &option);
    }
    const QSize imageSize = image.deviceIndependentSize().toSize();
    const QFontMetrics fm = fontMetrics();
    const int textWidth = text().isEmpty() ? 0 : kSpacing + fm.horizontalAdvance(text());

    // Icon and caption are centred as one group; when they do not fit, the icon stays
    // whole and the caption is cut at the right.
    const int x = std::max(0, (r.width() - imageSize.width() - textWidth) / 2);
    const int shift = isDown() ? 1 : 0;
    if (!image.isNull())
        painter.drawPixmap(x + shift, (r.height() - imageSize.height()) / 2 + shift, image);

    if (textWidth > 0) {
        painter.setPen(isEnabled() ? clBtnText(palette())
                                   : palette().color(QPalette::Disabled, QPalette::ButtonText));
        const QRect textRect(x + imageSize.width() + kSpacing + shift, shift,
                             r.width() - x - imageSize.width() - kSpacing, r.height());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
    }

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = r.adjusted(2, 2, -2, -2);
        focus.backgroundColor = clBtnFace(palette());
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void ImageButton::enterEvent(QEnterEvent *event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void ImageButton::leaveEvent(QEvent *event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void ImageButton::hideEvent(QHideEvent *event)
{
    // A hidden button receives no leave event; it must not come back looking hovered.
    m_hovered = false;
    QAbstractButton::hideEvent(event);
}

void ImageButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange)
        update();
    QAbstractButton::changeEvent(event);
}

} // namespace brindle::widgets
