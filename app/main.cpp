#include "app/record.h"
#include "app/startup.h"
#include "ui/form1.h"

#ifdef _WIN32
#include <windows.h>
#endif

int main(int argc, char *argv[])
{
#ifdef _WIN32
    // Whatever is loaded from now on, by Qt or by Windows for it, comes from the system folder,
    // never from the program's own folder (the imports are kept there by loadconfig.cpp).
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
#endif
    const std::unique_ptr<QApplication> application = app::startToolkit(argc > 0 ? argv[0] : nullptr);
    QApplication::setApplicationName(app::kTitle.toString());
    QApplication::setApplicationVersion(app::kVersion.toString());
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zefirana.zefirana"));
    app::speakItalian();

    ui::Form1::prepareApplication();
    ui::Form1 window;
    // Ending leaves every event loop at once, also one of a message box still open.
    QObject::connect(&window, &ui::Form1::programEnded, application.get(), [] { QCoreApplication::exit(0); });
    window.show();
    return QApplication::exec();
}
