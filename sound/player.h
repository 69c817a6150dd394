#pragma once

#include "sound/audioworker.h"

#include <filesystem>

namespace sound {

// Plays sound cues in the background, one at a time. Every failure is silent: a cue that
// cannot be read or played is simply not heard. The file system and the sound system are used
// on a thread of the player's own, so no call here ever waits on either.
class Player
{
public:
    // The audio output is the platform's, made at the first cue; the files are read by
    // loadWavFile().
    Player();
    // The audio output comes from createOutput and the cues from load, both called on the
    // player's thread.
    Player(AudioWorker::OutputFactory createOutput, AudioWorker::Loader load);

    // Hands the WAV file at `path` (a full path) to the audio thread and returns at once, before
    // the file is even looked at. A cue still sounding is stopped, whether or not the new one
    // can play. A missing, unreadable, oversized or malformed file, a path that is not a regular
    // file, a missing audio output, a sound system that does not answer, or a cue that could
    // not begin within AudioOutput::kLate of this call gives silence and nothing else.
    void suona(const std::filesystem::path &path);

    // Stops the cue that is sounding, if any.
    void stop();

private:
    AudioWorker worker_;
};

} // namespace sound
