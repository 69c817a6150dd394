#pragma once

#include <QFont>

// The two typefaces of the window design, "MS Sans Serif" and "MS Serif". Where they are
// missing, metric-compatible fonts compiled into the program stand in for them, so that
// every text looks the same and fits its label on every machine.
namespace ui::fonts {

// Registers the fonts compiled into the program. Call once, after the application exists.
void install();

QFont sansSerif(qreal points, bool bold = false);
QFont serif(qreal points);

} // namespace ui::fonts
