#include "sound/playsoundoutput.h"

#include "sound/wavwriter.h"

namespace sound {

PlaySoundOutput::PlaySoundOutput(SoundCall call) : call_(std::move(call)) {}

PlaySoundOutput::~PlaySoundOutput() { stop(); }

void PlaySoundOutput::play(const Pcm &pcm, Clock::time_point asked)
{
    stop();
    if (late(asked))
        return;
    // It is handed the cue as a plain WAV file (wavFile()), so that it reads nothing but what
    // the strict reader has accepted; no path reaches it.
    file_ = wavFile(pcm);
    if (!call_(&file_))
        file_.clear();
    else if (late(asked))
        stop();
}

void PlaySoundOutput::stop()
{
    if (file_.isEmpty())
        return;
    call_(nullptr);
    file_.clear();
}

} // namespace sound
