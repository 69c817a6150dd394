#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QStringView>

// The pictures of the window, compiled into the program. Each exists at two densities:
// "name.ext" and "name@2x.ext", drawn from the same artwork.
namespace ui::pictures {

// The picture for the given device pixel ratio: the @2x file (with ratio 2) on a
// high-density screen, the plain one otherwise. A missing picture gives a null pixmap.
QPixmap load(QStringView fileName, qreal devicePixelRatio);
// A mouse pointer from a 32 x 32 picture, its active point at the centre.
QCursor cursor(QStringView fileName, qreal devicePixelRatio);
// An icon holding both densities.
QIcon icon(QStringView fileName);

} // namespace ui::pictures
