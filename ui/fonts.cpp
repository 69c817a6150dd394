#include "fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace ui::fonts {

namespace {

// The design's points are at 96 dots per inch; the controls are placed in pixels, so the
// fonts are sized in pixels too and keep their size relative to the labels on any screen.
int pixelSize(qreal points) { return qRound(points * 96.0 / 72.0); }

QFont font(const QString &family, const QString &standIn, qreal points)
{
    QFont result;
    result.setFamilies(QStringList{family, standIn});
    result.setPixelSize(pixelSize(points));
    result.setStyleHint(QFont::AnyStyle, QFont::PreferAntialias);
    return result;
}

} // namespace

void install()
{
    // Only the regular faces: the one bold text, on the hidden Command1, is never shown,
    // and every font registered costs start-up time.
    for (const char *file : {":/fonts/LiberationSans-Regular.ttf", ":/fonts/LiberationSerif-Regular.ttf"})
        QFontDatabase::addApplicationFont(QString::fromLatin1(file));
}

QFont sansSerif(qreal points, bool bold)
{
    QFont result = font(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), points);
    result.setBold(bold);
    return result;
}

QFont serif(qreal points)
{
    return font(QStringLiteral("MS Serif"), QStringLiteral("Liberation Serif"), points);
}

} // namespace ui::fonts
