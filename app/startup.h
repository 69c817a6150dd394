#pragma once

#include <QApplication>

#include <memory>

// The first steps of the program, before its window exists.
namespace app {

// The toolkit's application object, built from the program name alone: the program takes
// nothing on its command line, so no argument, not even one of Qt's own such as
// "-platform bogus", can change or stop it. Without a display to connect to, it says so in
// one line on standard error; when the window system cannot start for another reason (an
// unknown platform, a platform plugin that cannot be loaded), it says that the window could
// not be opened, followed by Qt's own messages. Either way the program ends with status 1.
std::unique_ptr<QApplication> startToolkit(const char *programName);

// Italian throughout: the locale, and the toolkit's own texts (the text box's menu, the
// buttons of the message boxes), which travel inside the program.
void speakItalian();

} // namespace app
