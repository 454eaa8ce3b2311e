#include "widgets/images.h"

#include <QImageReader>
#include <QPixmapCache>

namespace brindle::widgets {

QPixmap loadImage(const QString &path)
{
    if (path.isEmpty())
        return {};
    // Many buttons share an image (the thirteen hint buttons).
    QPixmap pixmap;
    if (QPixmapCache::find(path, &pixmap))
        return pixmap;
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    if (image.isNull()) {
        qWarning("Cannot load image %s: %s", qPrintable(path), qPrintable(reader.errorString()));
        return {};
    }
    pixmap = QPixmap::fromImage(image);
    QPixmapCache::insert(path, pixmap);
    return pixmap;
}

} // namespace brindle::widgets
