#include "game.h"

#include <QString>

#include <cmath>

namespace quiz {

RegionNumber regionFromDraw(float r)
{
    const float scaled = std::floor(r * 20.0f);
    if (!(scaled >= 0.0f)) // negative, or not a number
        return kFirstRegion;
    if (scaled >= static_cast<float>(kRegionCount))
        return kRegionCount;
    return static_cast<RegionNumber>(static_cast<int>(scaled) + kFirstRegion);
}

Game::Game(Board &board, RandomSource &random) : board_(board), random_(random) {}

void Game::Command2_Click()
{
    ++giri_;
    board_.setRegionName({});
    casof();
    board_.setCarVisible(false);
}

void Game::casof()
{
    board_.setCounters(QString::number(punti_), QString::number(errori_));

    random_.reseed();
    numreg_ = regionFromDraw(random_.next());
    turnOpen_ = true;

    const Region asked = *region(numreg_);
    board_.playCue(asked.cue); // the cue speaks while the prompt is on screen
    board_.showMessage(asked.prompt);
    board_.setRegionName(asked.name);
}

void Game::Label_Click(int label)
{
    if (const auto row = hotspot(label))
        risposta(*row);
}

void Game::risposta(const Hotspot &row)
{
    if (row.region == numreg_) {
        // The first right answer of a turn counts; "Esatto" repeated before the next press does not.
        if (turnOpen_) {
            turnOpen_ = false;
            raise(punti_);
        }
        board_.showMessage(kPraiseText);
        board_.playCue(kPraiseCue);
        board_.setCarVisible(true);
        board_.setRegionName({});
    } else {
        board_.showMessage(region(row.region)->reveal);
        // Counted once the box is closed, so the error limit is seen after the pupil read the answer.
        raise(errori_);
    }
}

void Game::raise(std::int16_t &counter)
{
    if (counter < kCounterMax)
        ++counter;
    // Wake the timer: its next tick shows the new count, and ends the game at the error limit.
    board_.setTicking(true);
}

void Game::Timer1_Timer()
{
    board_.setCounters(QString::number(punti_), QString::number(errori_));
    // The window now shows what the game counts: until a counter changes, no tick could
    // show or end anything.
    board_.setTicking(false);

    // The timer sleeps from here on: no later tick can show the end message again.
    if (errori_ >= kErrorLimit) {
        board_.showMessage(kEndText, Board::Icon::Warning, kEndTitle);
        board_.endProgram();
    }
}

} // namespace quiz
