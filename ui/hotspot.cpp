#include "hotspot.h"

#include <QMouseEvent>

namespace ui {

Hotspot::Hotspot(int label, QWidget *parent) : QWidget(parent), label_(label)
{
    setObjectName(QStringLiteral("Label%1").arg(label));
    setAttribute(Qt::WA_NoSystemBackground);
}

void Hotspot::mousePressEvent(QMouseEvent *event)
{
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void Hotspot::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click)
        emit clicked(label_);
}

} // namespace ui
