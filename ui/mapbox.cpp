#include "mapbox.h"

#include <QPainter>

namespace ui {

MapBox::MapBox(QWidget *parent) : QWidget(parent)
{
    setAutoFillBackground(true);
}

void MapBox::setPicture(const QPixmap &picture)
{
    picture_ = picture;
    update();
}

void MapBox::paintEvent(QPaintEvent *)
{
    // The painter is already clipped to the region that needs drawing.
    if (!picture_.isNull())
        QPainter(this).drawPixmap(0, 0, picture_);
}

} // namespace ui
