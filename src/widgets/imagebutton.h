#pragma once

// ImageButton, the frameless picture button of the tool bars and the hint buttons.

#include <QAbstractButton>
#include <QPixmap>
#include <QRect>

namespace brindle::widgets {

// A frameless button showing a PNG image, with an optional caption to its right.
// The hover image shows while the pointer is over the button, the pressed image while
// it is held down. It takes the focus only from the keyboard, as tool bar buttons do.
class ImageButton : public QAbstractButton
{
    Q_OBJECT

public:
    explicit ImageButton(QWidget *parent = nullptr);

    // Qt resource paths; an empty pressed path means the normal image.
    void setImages(const QString &normal, const QString &hover, const QString &pressed = {});
    // The image the button draws in its current state.
    QPixmap currentImage() const;
    bool isHovered() const { return m_hovered; }
    // A picture that does nothing when pressed (the hint popup's icon): told
    // to assistive technology as an image, not as a button.
    void setPicture(bool picture) { m_picture = picture; }
    bool isPicture() const { return m_picture; }

    QSize sizeHint() const override;
    // Room for the image and the whole caption, without margins.
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QString m_normalPath;
    QString m_hoverPath;
    QString m_pressedPath;
    bool m_hovered = false;
    bool m_picture = false;
};

// How a window lays out one of its picture buttons.
struct PictureButton
{
    const char16_t *name; // the object name
    QRect geometry;
    const char16_t *caption; // u"" for the picture alone
    const char16_t *toolTip;
    const char16_t *image; // ":/images/<image>.png", and "<image>-hover.png" under the pointer
};

// Makes the button on parent. One without a caption is named for screen
// readers by its tooltip.
ImageButton *makeImageButton(QWidget *parent, const PictureButton &button);

} // namespace brindle::widgets
