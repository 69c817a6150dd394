#pragma once

#include <QPushButton>

namespace ui {

// A command button that shows its picture centred above its caption, on its own
// background colour (which shows through the picture's transparent pixels).
class PictureButton final : public QPushButton
{
    Q_OBJECT

public:
    PictureButton(const QString &caption, const QColor &background, QWidget *parent);
    void setPicture(const QPixmap &picture);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QFont captionFont(const QRect &space) const;

    QPixmap picture_;
};

} // namespace ui
