#include "picturebutton.h"

#include <QPainter>
#include <QStyleOptionFocusRect>
#include <qdrawutil.h>

namespace ui {

namespace {
constexpr int kPictureSize = 32;
constexpr int kMargin = 3;
constexpr int kCaptionFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
constexpr int kSmallestPixelSize = 7;
} // namespace

PictureButton::PictureButton(const QString &caption, const QColor &background, QWidget *parent)
    : QPushButton(caption, parent)
{
    QPalette colours = palette();
    colours.setColor(QPalette::Button, background);
    colours.setColor(QPalette::ButtonText, Qt::black);
    setPalette(colours);
}

void PictureButton::setPicture(const QPixmap &picture)
{
    picture_ = picture;
    update();
}

QFont PictureButton::captionFont(const QRect &space) const
{
    // The caption keeps the button's font where it fits, and shrinks a little where the
    // machine's stand-in font is wider than the design's, rather than being cut off.
    QFont result = font();
    while (result.pixelSize() > kSmallestPixelSize
           && QFontMetrics(result).boundingRect(space, kCaptionFlags, text()).height() > space.height())
        result.setPixelSize(result.pixelSize() - 1);
    return result;
}

void PictureButton::paintEvent(QPaintEvent *)
{
    // The face flat in the button's own colour inside a plain raised border, two pixels
    // wide: the style's bevel would lighten the face with a gradient.
    QPainter painter(this);
    const QBrush face = palette().brush(QPalette::Button);
    qDrawWinButton(&painter, rect(), palette(), isDown(), &face);

    const QRect inner = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const QRect pictureRect(inner.left() + (inner.width() - kPictureSize) / 2, inner.top(), kPictureSize, kPictureSize);
    if (!picture_.isNull())
        painter.drawPixmap(pictureRect, picture_);

    QRect captionRect = inner;
    captionRect.setTop(pictureRect.bottom() + 1);
    if (isDown())
        captionRect.translate(1, 1);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.setFont(captionFont(captionRect));
    painter.drawText(captionRect, kCaptionFlags, text());

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = inner;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

} // namespace ui
