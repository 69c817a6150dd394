// The audio output on Windows is the platform's own sound call, compiled into the program: a
// module of its own would carry a second copy of the statically linked Qt.

#include "sound/outputloader.h"

#include "sound/playsoundoutput.h"

#include <windows.h>
#include <mmsystem.h>

namespace sound {

namespace {

bool playSoundW(const QByteArray *file)
{
    if (!file) // returns once the platform has let go of the cue's bytes, which may then be freed
        return PlaySoundW(nullptr, nullptr, 0);
    // With no output device the call still reports success, and nothing would sound.
    // SND_ASYNC: returns at once, the cue plays in the background, in place of any other sound
    // of the program. SND_NODEFAULT: a cue the platform cannot play gives silence, not the
    // system's default sound.
    return waveOutGetNumDevs() != 0
           && PlaySoundW(reinterpret_cast<LPCWSTR>(file->constData()), nullptr, SND_MEMORY | SND_ASYNC | SND_NODEFAULT);
}

} // namespace

std::unique_ptr<AudioOutput> createAudioOutput(const std::filesystem::path & /*programFolder*/)
{
    return std::make_unique<PlaySoundOutput>(playSoundW);
}

} // namespace sound
