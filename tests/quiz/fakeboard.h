#pragma once

#include "quiz/board.h"
#include "support/scriptedrandom.h"

#include <QStringList>

#include <functional>

// A board that writes down, in order, everything the game asked of it: "message:<text>",
// "warning:<title>:<text>", "region:<name>", "counters:<right>/<wrong>", "car:shown",
// "car:hidden", "cue:<relative name>", "end".
class FakeBoard final : public quiz::Board
{
public:
    QStringList log;
    // Runs while a message box is "open", before it is closed: lets a test tick the timer there.
    std::function<void(QStringView text)> whileOpen;

    void showMessage(QStringView text, Icon icon, QStringView title) override
    {
        log << (icon == Icon::Warning ? QStringLiteral("warning:%1:%2").arg(title, text)
                : title.isEmpty()     ? QStringLiteral("message:%1").arg(text)
                                      : QStringLiteral("message[%1]:%2").arg(title, text));
        if (whileOpen)
            whileOpen(text);
    }
    void setRegionName(QStringView name) override { log << QStringLiteral("region:%1").arg(name); }
    void setCounters(const QString &right, const QString &wrong) override
    {
        shown = right + u'/' + wrong;
        log << QStringLiteral("counters:%1").arg(shown);
    }
    void setCarVisible(bool visible) override { log << (visible ? QStringLiteral("car:shown") : QStringLiteral("car:hidden")); }
    void playCue(QStringView relativeName) override { log << QStringLiteral("cue:%1").arg(relativeName); }
    void endProgram() override
    {
        ended = true;
        log << QStringLiteral("end");
    }
    // Whether the game wants Timer1 awake, the counters last shown, whether the program ended:
    // not written down.
    void setTicking(bool on) override { ticking = on; }
    bool ticking = true;
    QString shown = QStringLiteral("0/0");
    bool ended = false;
};
