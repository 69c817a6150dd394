// The audio output on Windows is the platform's own sound call, compiled into the program: a
// module of its own would carry a second copy of the statically linked Qt.

#include "sound/outputloader.h"

#include "sound/winmmoutput.h"

namespace sound {

std::unique_ptr<AudioOutput> createAudioOutput(const QString & /*programFolder*/)
{
    return std::make_unique<WinmmOutput>();
}

} // namespace sound
