#include "pictures.h"

namespace ui::pictures {

namespace {

QString resourcePath(QStringView fileName, bool doubleDensity)
{
    QString path = QStringLiteral(":/pictures/");
    path += fileName;
    if (doubleDensity) {
        const qsizetype dot = path.lastIndexOf(u'.');
        path.insert(dot < 0 ? path.size() : dot, u"@2x");
    }
    return path;
}

} // namespace

QPixmap load(QStringView fileName, qreal devicePixelRatio)
{
    if (devicePixelRatio > 1.0) {
        QPixmap sharp(resourcePath(fileName, true));
        if (!sharp.isNull()) {
            sharp.setDevicePixelRatio(2.0);
            return sharp;
        }
    }
    return QPixmap(resourcePath(fileName, false));
}

QCursor cursor(QStringView fileName, qreal devicePixelRatio)
{
    const QPixmap picture = load(fileName, devicePixelRatio);
    if (picture.isNull())
        return QCursor(Qt::ArrowCursor);
    // No hot spot given: the active point is the centre of the square, at either density.
    return QCursor(picture);
}

QIcon icon(QStringView fileName)
{
    QIcon result;
    result.addFile(resourcePath(fileName, false));
    result.addFile(resourcePath(fileName, true));
    return result;
}

} // namespace ui::pictures
