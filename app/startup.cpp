#include "startup.h"

#include <QList>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace app {

namespace {

constexpr const char *kNoScreen = "Zefirana: nessuno schermo su cui aprire la finestra del gioco. "
                                  "Avvia Zefirana da una sessione grafica del desktop.\n";
constexpr const char *kNoWindow = "Zefirana: impossibile aprire la finestra del gioco. Il sistema grafico (Qt) "
                                  "risponde:\n";

// What Qt says while the application object is being built, held back until we know
// whether it could be built: without a display to connect to, only our one line is printed.
// Qt's own threads (the X reader, accessibility) may log meanwhile, hence the lock.
struct HeldMessage
{
    QtMsgType type;
    const char *category; // a logging category's name: static storage
    QString text;
};
std::mutex heldLock;
QList<HeldMessage> held;
bool holding = false;
QtMessageHandler previousHandler = nullptr;

void pass(const HeldMessage &message)
{
    previousHandler(message.type, QMessageLogContext(nullptr, 0, nullptr, message.category), message.text);
}

// Whether Qt's messages say that the window system has no display to connect to (as
// opposed to a platform plugin that is unknown or cannot be loaded).
bool noDisplay(const QList<HeldMessage> &messages)
{
    for (const HeldMessage &message : messages) {
        if (qstrcmp(message.category, "qt.qpa.xcb") == 0 && message.text.startsWith(u"could not connect to display"))
            return true;
    }
    return false;
}

void holdMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    const std::lock_guard lock(heldLock);
    if (!holding) {
        // Logged from another thread just as the application object was built: in order,
        // after everything held.
        previousHandler(type, context, text);
    } else if (type != QtFatalMsg) {
        held.append({type, context.category, text});
    } else if (noDisplay(held)) {
        std::fputs(kNoScreen, stderr);
        std::_Exit(1); // an ordinary failure: no abort, no core dump
    } else {
        // The window system could not start for another reason: our line, then Qt's reasons.
        std::fputs(kNoWindow, stderr);
        for (const HeldMessage &message : held)
            pass(message);
        std::fputs(qUtf8Printable(text.endsWith(u'\n') ? text : text + u'\n'), stderr);
        std::_Exit(1);
    }
}

} // namespace

std::unique_ptr<QApplication> startToolkit(const char *programName)
{
    static int argc = programName ? 1 : 0;
    static char *argv[] = {const_cast<char *>(programName), nullptr};
    holding = true;
    previousHandler = qInstallMessageHandler(holdMessage);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previousHandler);
    const std::lock_guard lock(heldLock);
    holding = false;
    for (const HeldMessage &message : std::exchange(held, {}))
        pass(message);
    return application;
}

void speakItalian()
{
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    static QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral(":/translations/qtbase_it.qm")))
        QCoreApplication::installTranslator(&qtTexts);
}

} // namespace app
