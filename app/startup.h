#pragma once

#include <QApplication>

#include <memory>

// The first steps of the program, before its window exists.
namespace app {

// The toolkit's application object, built from the program name alone: the program takes
// nothing on its command line, so no argument, not even one of Qt's own such as
// "-platform bogus", can change or stop it. Without a screen to open the window on (no
// display, one that does not answer, an unknown platform), it says so in one line on
// standard error and ends the program with status 1.
std::unique_ptr<QApplication> startToolkit(const char *programName);

// Italian throughout: the locale, and the toolkit's own texts (the text box's menu, the
// buttons of the message boxes), which travel inside the program.
void speakItalian();

} // namespace app
