#pragma once

#include "quiz/board.h"
#include "support/scriptedrandom.h"

#include <QStringList>

#include <functional>

// A board that writes down, in order, everything the game asked of it.
// Entries: "message:<text>", "warning:<title>:<text>", "region:<name>", "counters:<right>/<wrong>",
// "car:shown" or "car:hidden", "cue:<relative name>", "end".
class FakeBoard final : public quiz::Board
{
public:
    QStringList log;
    // Off: nothing is written down (for long runs that only look at the game's counts).
    bool recording = true;
    // Runs while a message box is "open", before it is closed: lets a test tick the timer there.
    std::function<void(QStringView text)> whileOpen;

    void showMessage(QStringView text, Icon icon, QStringView title) override
    {
        if (!recording)
            return;
        if (icon == Icon::Warning)
            log << QStringLiteral("warning:%1:%2").arg(title, text);
        else
            log << (title.isEmpty() ? QStringLiteral("message:%1").arg(text)
                                    : QStringLiteral("message[%1]:%2").arg(title, text));
        if (whileOpen)
            whileOpen(text);
    }
    void setRegionName(QStringView name) override { if (recording) log << QStringLiteral("region:%1").arg(name); }
    void setCounters(const QString &right, const QString &wrong) override
    {
        if (recording)
            log << QStringLiteral("counters:%1/%2").arg(right, wrong);
    }
    void setCarVisible(bool visible) override
    {
        if (recording)
            log << (visible ? QStringLiteral("car:shown") : QStringLiteral("car:hidden"));
    }
    // Whether the game wants Timer1 awake; not written down.
    bool ticking = true;
    void setTicking(bool on) override { ticking = on; }
    void playCue(QStringView relativeName) override { if (recording) log << QStringLiteral("cue:%1").arg(relativeName); }
    void endProgram() override { if (recording) log << QStringLiteral("end"); }

    // The entries since the last call, and forget them.
    QStringList take() { return std::exchange(log, {}); }
};
