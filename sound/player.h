#pragma once

#include "sound/audioworker.h"

#include <QString>

namespace sound {

// Plays sound cues in the background, one at a time. Every failure is silent: a cue that
// cannot be read or played is simply not heard. The sound system is used on a thread of the
// player's own, so no call here ever waits on it.
class Player
{
public:
    // The audio output is the platform's, made at the first cue.
    Player();
    // The audio output comes from createOutput, called on the player's thread.
    explicit Player(AudioWorker::OutputFactory createOutput);

    // Reads the WAV file at `path` (a full path), hands it to the audio thread and returns at
    // once. A cue still sounding is stopped, whether or not the new one can play. A missing,
    // unreadable, oversized or malformed file, a path that is not a regular file, a missing
    // audio output or a sound system that does not answer gives silence and nothing else.
    void suona(const QString &path);

    // Stops the cue that is sounding, if any.
    void stop();

private:
    AudioWorker worker_;
};

} // namespace sound
