#pragma once

#include "board.h"
#include "hotspots.h"
#include "randomsource.h"
#include "regions.h"

#include <cstdint>

namespace quiz {

// The error limit: the game ends when this many wrong answers have been given.
inline constexpr std::int16_t kErrorLimit = 20;
// The counters stop here instead of wrapping round.
inline constexpr std::int16_t kCounterMax = 32767;

inline constexpr QStringView kEndText =
    u"Mi dispiace hai superato la soglia dei 20 errori... La tua gara \u00e8 finita";
inline constexpr QStringView kEndTitle = u"Fine del gioco";

// The region number that a value r of the draw gives: floor(r * 20) + 1, kept within 1..20
// whatever the generator returns (1.0, a negative value or NaN included).
RegionNumber regionFromDraw(float r);

// The game: its state and the handlers of the window's events. It acts on the window
// only through the Board.
class Game
{
public:
    Game(Board &board, RandomSource &random);

    // A press of the car button: count it, then draw and announce a region.
    void Command2_Click();
    // A click on hotspot LabelN (N = 1..41): the pupil's answer.
    void Label_Click(int label);
    // A tick of the 20 ms timer: refresh the counters and enforce the error limit. The timer
    // then sleeps until a counter changes.
    void Timer1_Timer();

    RegionNumber numreg() const { return numreg_; }
    std::int16_t punti() const { return punti_; }
    std::int16_t errori() const { return errori_; }
    std::int64_t giri() const { return giri_; }

private:
    void casof();
    void risposta(const Hotspot &row);
    // One more in a counter (it stops at kCounterMax); the next tick shows it.
    void raise(std::int16_t &counter);

    Board &board_;
    RandomSource &random_;

    RegionNumber numreg_ = 0;  // the region asked for; 0 until the first press
    std::int16_t punti_ = 0;   // right answers
    std::int16_t errori_ = 0;  // wrong answers
    std::int64_t giri_ = 0;    // presses of the car button
    bool turnOpen_ = false;    // a region has been asked for and not found yet
};

} // namespace quiz
