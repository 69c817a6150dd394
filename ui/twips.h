#pragma once

#include "hotspotlayout.h"

#include <QRect>

namespace ui {

// The window is designed in twips; at the usual 96 dots per inch, 15 twips make one pixel.
// Every position and size of the design goes through here, and nowhere else is converted.
inline constexpr int kTwipsPerPixel = 15;

constexpr int pixels(int twips) { return twips / kTwipsPerPixel; }

constexpr QRect pixelRect(TwipsRect r)
{
    return QRect(pixels(r.left), pixels(r.top), pixels(r.width), pixels(r.height));
}

} // namespace ui
