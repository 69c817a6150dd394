#pragma once

#include <QString>
#include <QStringView>

namespace quiz {

// What the game may do to the window. The game decides; the board only shows.
// Every call returns when its effect is complete; showMessage returns when the pupil
// has closed the box.
class Board
{
public:
    enum class Icon { None, Warning };

    virtual ~Board() = default;

    // A modal message box with one OK button. An empty title means the application title.
    virtual void showMessage(QStringView text, Icon icon = Icon::None, QStringView title = {}) = 0;
    // The name of the region asked for (lblreg).
    virtual void setRegionName(QStringView name) = 0;
    // The counters of right and wrong answers (lblpunti, lblerrori), as decimal texts.
    virtual void setCounters(const QString &right, const QString &wrong) = 0;
    // The car button (Command2): shown between turns, hidden while a region is asked for.
    virtual void setCarVisible(bool visible) = 0;
    // Timer1: it ticks every 20 ms while a tick could change something on the window, and
    // sleeps while none could (the counters shown are the game's, and the game goes on).
    virtual void setTicking(bool ticking) = 0;
    // Starts a spoken cue in the background; relativeName is below the program folder.
    virtual void playCue(QStringView relativeName) = 0;
    // Closes every window and ends the program; saves nothing.
    virtual void endProgram() = 0;
};

} // namespace quiz
