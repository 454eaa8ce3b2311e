#include "ui/cardpreview.h"

#include "widgets/fonts.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QUrl>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace brindle::ui {

namespace {

constexpr int kPadding = 12;
constexpr int kGap = 4;
constexpr int kMaxLines = 2;
constexpr qreal kCornerRadius = 10;
// A card's colours are those of the page it is shown on, not the desktop's:
// a light page, as the tags viewer's.
const QColor kCardBackground(255, 255, 255);
const QColor kCardBorder(207, 217, 222);
const QColor kTitleColour(15, 20, 25);
const QColor kMutedColour(83, 100, 113);
const QColor kImageBox(225, 232, 237);

QString oneLine(QString text)
{
    for (QChar &c : text) {
        if (c == u'\n' || c == u'\r' || c == u'\t')
            c = u' ';
    }
    return text;
}

} // namespace

CardPreview::CardPreview(QWidget *parent) : QWidget(parent)
{
    setObjectName(u"cardPreview"_s);
    setAccessibleName(u"Card preview"_s);
    setFixedSize(sizeHint());
}

QFont CardPreview::siteFont() const
{
    QFont font = widgets::arialFont(8);
    font.setCapitalization(QFont::SmallCaps);
    return font;
}

QFont CardPreview::titleFont() const
{
    QFont font = widgets::arialFont(10);
    font.setBold(true);
    return font;
}

QFont CardPreview::descriptionFont() const
{
    return widgets::arialFont(9);
}

QRect CardPreview::pictureRect() const
{
    if (m_content.smallPicture)
        return {0, 0, kSmallPicture, kSmallPicture};
    return {0, 0, kCardWidth, kImageHeight};
}

// Where the lines go: below the large picture, beside the small one.
QRect CardPreview::textRect() const
{
    const QRect picture = pictureRect();
    if (m_content.smallPicture)
        return QRect(QPoint(picture.right() + 1 + kPadding, kPadding), QPoint(kCardWidth - 1 - kPadding, 0));
    return QRect(QPoint(kPadding, picture.bottom() + 1 + kPadding), QPoint(kCardWidth - 1 - kPadding, 0));
}

int CardPreview::textWidth() const
{
    return textRect().width();
}

QSize CardPreview::sizeHint() const
{
    const int site = QFontMetrics(siteFont()).lineSpacing();
    const int title = QFontMetrics(titleFont()).lineSpacing() * kMaxLines;
    const int description = QFontMetrics(descriptionFont()).lineSpacing() * kMaxLines;
    const int lines = site + kGap + title + kGap + description;
    if (m_content.smallPicture)
        return {kCardWidth, std::max(kSmallPicture, kPadding + lines + kPadding)};
    return {kCardWidth, kImageHeight + kPadding + lines + kPadding};
}

QString CardPreview::localImagePath(const QString &address)
{
    if (address.isEmpty())
        return {};
    if (address.startsWith(u"file:"_s, Qt::CaseInsensitive)) {
        const QUrl url(address);
        return url.isLocalFile() ? url.toLocalFile() : QString();
    }
    return QDir::isAbsolutePath(address) ? address : QString();
}

QStringList CardPreview::cutToLines(const QString &text, const QFont &font, int width, int maxLines)
{
    QStringList lines;
    const QString flat = oneLine(text).trimmed();
    if (flat.isEmpty() || maxLines < 1)
        return lines;
    const QFontMetrics metrics(font);
    QTextLayout layout(flat, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (lines.size() == maxLines - 1) {
            // The last line takes the rest of the text, cut with an ellipsis.
            const QString rest = flat.mid(line.textStart());
            lines << metrics.elidedText(rest, Qt::ElideRight, width);
            break;
        }
        QString piece = flat.mid(line.textStart(), line.textLength());
        while (piece.endsWith(u' '))
            piece.chop(1);
        lines << piece;
    }
    layout.endLayout();
    return lines;
}

QString CardPreview::siteText() const
{
    return oneLine(m_content.siteName).trimmed();
}

QStringList CardPreview::titleLines() const
{
    return cutToLines(m_content.title, titleFont(), textWidth(), kMaxLines);
}

QStringList CardPreview::descriptionLines() const
{
    return cutToLines(m_content.description, descriptionFont(), textWidth(), kMaxLines);
}

void CardPreview::setContent(const CardContent &content)
{
    const bool relayout = content.smallPicture != m_content.smallPicture;
    m_content = content;
    loadImage();
    if (relayout)
        setFixedSize(sizeHint());
    update();
}

void CardPreview::loadImage()
{
    const QString path = localImagePath(m_content.image);
    if (path.isEmpty()) {
        m_image = {};
        m_imagePath.clear();
        return;
    }
    // Every key typed would read the file again; it is read again only
    // when it has changed.
    const QFileInfo info(path);
    const QDateTime modified = info.exists() ? info.lastModified() : QDateTime();
    if (path == m_imagePath && modified == m_imageModified)
        return;
    m_imagePath = path;
    m_imageModified = modified;
    m_image = {};
    if (!info.isFile())
        return;
    QImageReader reader(path);
    reader.setAutoTransform(true);
    // Read at about the size it is shown at, however large the file.
    const QSize full = reader.size();
    if (full.isValid() && full.width() > 2 * kCardWidth)
        reader.setScaledSize(full.scaled(2 * kCardWidth, 2 * kCardWidth, Qt::KeepAspectRatioByExpanding));
    m_image = reader.read();
}

void CardPreview::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF card = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath outline;
    outline.addRoundedRect(card, kCornerRadius, kCornerRadius);
    p.fillPath(outline, kCardBackground);

    p.save();
    // The picture's box, rounded where it meets the card's corners: nothing
    // of the picture reaches beyond it.
    const QRect imageArea = pictureRect();
    QPainterPath box;
    box.addRect(imageArea);
    p.setClipPath(outline.intersected(box));
    if (!m_image.isNull()) {
        // Filled as the card fills it: scaled to cover, the middle kept.
        const QSize covered = m_image.size().scaled(imageArea.size(), Qt::KeepAspectRatioByExpanding);
        QRect target(QPoint(), covered);
        target.moveCenter(imageArea.center());
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(target, m_image);
    } else {
        p.fillRect(imageArea, kImageBox);
        if (!m_content.image.isEmpty()) {
            p.setPen(kMutedColour);
            p.setFont(descriptionFont());
            const QRect inner = imageArea.adjusted(kPadding, kPadding, -kPadding, -kPadding);
            p.drawText(inner, Qt::AlignCenter,
                       p.fontMetrics().elidedText(oneLine(m_content.image), Qt::ElideMiddle, inner.width()));
        }
    }
    p.restore();
    p.setPen(kCardBorder);
    if (m_content.smallPicture)
        p.drawLine(QPointF(imageArea.right() + 0.5, 0), QPointF(imageArea.right() + 0.5, height()));
    else
        p.drawLine(QPointF(0, imageArea.bottom() + 0.5), QPointF(width(), imageArea.bottom() + 0.5));

    const int left = textRect().left();
    int y = textRect().top();
    const auto drawLines = [&](const QStringList &lines, const QFont &font, const QColor &colour) {
        p.setFont(font);
        p.setPen(colour);
        const QFontMetrics metrics(font);
        for (const QString &line : lines) {
            p.drawText(left, y + metrics.ascent(), line);
            y += metrics.lineSpacing();
        }
    };
    drawLines({QFontMetrics(siteFont()).elidedText(siteText(), Qt::ElideRight, textWidth())}, siteFont(),
              kMutedColour);
    y += kGap;
    drawLines(titleLines(), titleFont(), kTitleColour);
    y += kGap;
    drawLines(descriptionLines(), descriptionFont(), kMutedColour);

    p.setPen(kCardBorder);
    p.setBrush(Qt::NoBrush);
    p.drawPath(outline);
}

} // namespace brindle::ui
