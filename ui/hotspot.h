#pragma once

#include <QWidget>

namespace ui {

// An invisible click area over the map: it draws nothing, and a click anywhere in its
// rectangle (press and release of the left button inside it) is an answer.
class Hotspot final : public QWidget
{
    Q_OBJECT

public:
    Hotspot(int label, QWidget *parent);
    int label() const { return label_; }

signals:
    void clicked(int label);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int label_;
    bool pressed_ = false;
};

} // namespace ui
