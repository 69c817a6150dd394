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
    // With no output device the call still reports success, and nothing would sound.
    if (waveOutGetNumDevs() == 0)
        return;
    file_ = wavFile(pcm);
    // SND_ASYNC: returns at once, the cue plays in the background, in place of any other sound
    // of the program. SND_NODEFAULT: a cue the platform cannot play gives silence, not the
    // system's default sound.
    if (!PlaySoundW(reinterpret_cast<LPCWSTR>(file_.constData()), nullptr,
                    SND_MEMORY | SND_ASYNC | SND_NODEFAULT))
        file_.clear();
}

void WinmmOutput::stop()
{
    if (file_.isEmpty())
        return;
    // Returns once the platform has let go of the cue's bytes, which may then be freed.
    PlaySoundW(nullptr, nullptr, 0);
    file_.clear();
}

} // namespace sound
