#include "app/record.h"
#include "ui/form1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // The program takes nothing on its command line: the toolkit sees the program name alone,
    // so that no argument, not even one of Qt's own such as "-platform bogus", can change or stop it.
    int toolkitArgc = argc > 0 ? 1 : 0;
    char *toolkitArgv[] = {argc > 0 ? argv[0] : nullptr, nullptr};
    QApplication application(toolkitArgc, toolkitArgv);
    QApplication::setApplicationName(app::kTitle.toString());
    QApplication::setApplicationVersion(QStringLiteral("2.00"));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zefirana.zefirana"));

    ui::Form1::prepareApplication();
    ui::Form1 window;
    // Ending leaves every event loop at once, also one of a message box still open.
    QObject::connect(&window, &ui::Form1::programEnded, &application, [] { QCoreApplication::exit(0); });
    window.show();
    return QApplication::exec();
}
