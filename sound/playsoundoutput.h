#pragma once

#include "sound/audiooutput.h"

#include <QByteArray>

#include <functional>

namespace sound {

// The audio output on a platform whose sound call plays a whole WAV file from memory in the
// background and belongs to the whole process: Windows' PlaySoundW, where any call replaces or
// stops whatever any thread of the program started. Such an output is never abandoned: the
// worker keeps its one output and its one thread even while a call is stuck, so calls never
// overlap and a stale call returns before a newer cue is handed over. Lateness is checked
// before and after each call: a cue whose call began or returned more than kLate after it was
// asked for is stopped at once, so a call that was stuck never leaves its cue sounding.
class PlaySoundOutput final : public AudioOutput
{
public:
    // Plays `file` (a whole WAV file) in the background in place of any sound of the process,
    // or with nullptr stops it, returning once the platform has let go of the old bytes;
    // false when the cue cannot play.
    using SoundCall = std::function<bool(const QByteArray *file)>;

    explicit PlaySoundOutput(SoundCall call);
    ~PlaySoundOutput() override;
    PlaySoundOutput(const PlaySoundOutput &) = delete;
    PlaySoundOutput &operator=(const PlaySoundOutput &) = delete;

    void play(const Pcm &pcm, Clock::time_point asked) override;
    void stop() override;
    bool mayBeAbandoned() const override { return false; }

private:
    SoundCall call_;
    QByteArray file_; // the cue sounding: the platform reads it while it plays
};

} // namespace sound
