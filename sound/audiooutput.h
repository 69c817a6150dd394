#pragma once

#include "sound/wavreader.h"

namespace sound {

// Plays decoded cues on the sound system, one at a time. An output is made, used and
// destroyed on the audio worker's thread only; any of its calls may wait on the sound system.
class AudioOutput
{
public:
    virtual ~AudioOutput() = default;
    // Plays pcm in the background, in place of any cue still sounding; silent on any failure.
    virtual void play(const Pcm &pcm) = 0;
    virtual void stop() = 0;
};

} // namespace sound
