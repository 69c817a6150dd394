#include "mapbox.h"

#include <QPainter>
#include <QPaintEvent>

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

void MapBox::paintEvent(QPaintEvent *event)
{
    if (picture_.isNull())
        return;
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.drawPixmap(0, 0, picture_);
}

} // namespace ui
