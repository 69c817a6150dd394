#include "startup.h"

#include <QList>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>

namespace app {

namespace {

constexpr const char *kNoScreen = "Zefirana: nessuno schermo su cui aprire la finestra del gioco. "
                                  "Avvia Zefirana da una sessione grafica del desktop.\n";

// What Qt says while the application object is being built, held back until we know
// whether it could be built: without a screen only our one line is printed.
struct HeldMessage
{
    QtMsgType type;
    const char *category; // a logging category's name: static storage
    QString text;
};
QList<HeldMessage> held;
QtMessageHandler previousHandler = nullptr;

void holdMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtFatalMsg) {
        held.append({type, context.category, text});
    } else if (text.contains(u"platform plugin")) {
        std::fputs(kNoScreen, stderr);
        std::_Exit(1); // an ordinary failure: no abort, no core dump
    } else {
        previousHandler(type, context, text); // any other fatal error, as Qt reports it
    }
}

} // namespace

std::unique_ptr<QApplication> startToolkit(const char *programName)
{
    static int argc = programName ? 1 : 0;
    static char *argv[] = {const_cast<char *>(programName), nullptr};
    previousHandler = qInstallMessageHandler(holdMessage);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previousHandler);
    for (const HeldMessage &message : std::exchange(held, {}))
        previousHandler(message.type, QMessageLogContext(nullptr, 0, nullptr, message.category), message.text);
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
