#pragma once

#include <QPixmap>
#include <QWidget>

namespace ui {

// The map box: shows the map picture at its natural size at the top-left corner, on the
// window's grey, and holds the heading labels, the car button and the hotspots.
// A click on the map itself is no answer: the box ignores it.
class MapBox final : public QWidget
{
    Q_OBJECT

public:
    explicit MapBox(QWidget *parent);
    void setPicture(const QPixmap &picture);
    const QPixmap &picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QPixmap picture_;
};

} // namespace ui
