#pragma once

#include "sound/audiooutput.h"

#include <QByteArray>

namespace sound {

// The audio output on Windows: the platform's own sound call (winmm's PlaySoundW) plays the cue
// from memory, in the background. It is handed the cue as a plain WAV file (wavFile()), so that
// it reads nothing but what the strict reader has accepted; no path reaches it.
class WinmmOutput final : public AudioOutput
{
public:
    WinmmOutput() = default;
    ~WinmmOutput() override;
    WinmmOutput(const WinmmOutput &) = delete;
    WinmmOutput &operator=(const WinmmOutput &) = delete;

    void play(const Pcm &pcm) override;
    void stop() override;

private:
    QByteArray file_; // the cue sounding: the platform reads it while it plays
};

} // namespace sound
