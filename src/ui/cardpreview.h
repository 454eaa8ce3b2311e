#pragma once

// A link preview drawn as the two common cards look: the large-picture card
// with the picture across the top and the text below it, and the summary
// card with a small square picture beside the text. The text is the site
// name in small capitals, the title in bold and the description, each cut to
// two lines. The picture is scaled to cover its box and cropped to it. It is
// read only from a local file; a remote address is shown as a grey box with
// the address, so the preview never touches the network.

#include <QDateTime>
#include <QFont>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace brindle::ui {

struct CardContent
{
    QString siteName;
    QString title;
    QString description;
    QString image;             // a local path or file: URL, or any other address
    bool smallPicture = false; // the summary card
};

class CardPreview : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kCardWidth = 360;
    // The large-image card's picture is 1.91 times as wide as it is high.
    static constexpr int kImageHeight = 188;
    // The summary card's square picture, as high as the card.
    static constexpr int kSmallPicture = 124;

    explicit CardPreview(QWidget *parent = nullptr);

    void setContent(const CardContent &content);
    const CardContent &content() const { return m_content; }

    // What the card shows, as drawn.
    QString siteText() const;
    QStringList titleLines() const;
    QStringList descriptionLines() const;
    // Whether the image was read from a local file; otherwise the grey box.
    bool showsImage() const { return !m_image.isNull(); }
    // The picture's box within the card.
    QRect pictureRect() const;

    QFont siteFont() const;
    QFont titleFont() const;
    QFont descriptionFont() const;

    // The words of text on at most maxLines lines of width pixels; when it
    // does not fit, the last line ends in an ellipsis. Line breaks and tabs
    // in the text count as blanks.
    static QStringList cutToLines(const QString &text, const QFont &font, int width, int maxLines);
    // The local file an image address names: an absolute path or a file: URL;
    // empty for anything else.
    static QString localImagePath(const QString &address);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void loadImage();
    QRect textRect() const;
    int textWidth() const;

    CardContent m_content;
    QImage m_image;
    QString m_imagePath; // of m_image, and when it was read
    QDateTime m_imageModified;
};

} // namespace brindle::ui
