#pragma once

#include "sound/wavreader.h"

#include <chrono>

namespace sound {

// Plays decoded cues on the sound system, one at a time. An output is made, used and
// destroyed on the audio worker's thread only; any of its calls may wait on the sound system.
class AudioOutput
{
public:
    using Clock = std::chrono::steady_clock;
    // A cue that has not begun within this time of being asked for is out of its moment: it is
    // never heard, however long the sound system or the file system kept it waiting.
    static constexpr std::chrono::seconds kLate{2};

    virtual ~AudioOutput() = default;
    // Plays pcm, asked for at `asked`, in the background in place of any cue still sounding;
    // silent on any failure, and when it could not begin within kLate of `asked`.
    virtual void play(const Pcm &pcm, Clock::time_point asked) = 0;
    virtual void stop() = 0;
    // Whether the worker may leave this output behind on a thread stuck in one of its calls and
    // make a fresh one. Only an output whose sound belongs to itself may: one whose platform
    // call acts on the whole process (PlaySoundOutput) would, once its stale call returned,
    // replace or stop the fresh output's cue.
    virtual bool mayBeAbandoned() const = 0;

protected:
    static bool late(Clock::time_point asked) { return Clock::now() - asked > kLate; }
};

} // namespace sound
