#include "sound/winmmoutput.h"

#include "sound/wavwriter.h"

#include <windows.h>
#include <mmsystem.h>

namespace sound {

WinmmOutput::~WinmmOutput()
{
    stop();
}

void WinmmOutput::play(const Pcm &pcm)
{
    stop();
    const qint64 bytesPerSecond = qint64(pcm.sampleRate) * pcm.channels * (pcm.bitsPerSample / 8);
    // With no output device the call still reports success, and nothing would sound.
    if (bytesPerSecond <= 0 || waveOutGetNumDevs() == 0)
        return;
    file_ = wavFile(pcm);
    // SND_ASYNC: returns at once, the cue plays in the background, in place of any other sound
    // of the program. SND_NODEFAULT: a cue the platform cannot play gives silence, not the
    // system's default sound.
    if (!PlaySoundW(reinterpret_cast<LPCWSTR>(file_.constData()), nullptr,
                    SND_MEMORY | SND_ASYNC | SND_NODEFAULT)) {
        file_.clear();
        return;
    }
    // The call tells nothing of the cue's end, so it is worked out from the cue's length.
    end_.setRemainingTime(pcm.samples.size() * 1000 / bytesPerSecond + 1);
}

void WinmmOutput::stop()
{
    if (file_.isEmpty())
        return;
    // Returns once the platform has let go of the cue's bytes, which may then be freed.
    PlaySoundW(nullptr, nullptr, 0);
    file_.clear();
}

bool WinmmOutput::isPlaying() const
{
    return !file_.isEmpty() && !end_.hasExpired();
}

} // namespace sound
