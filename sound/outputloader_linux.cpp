// The audio output on Linux lives in a module of its own, "zefirana-audio" beside the program,
// loaded at the first cue: the sound libraries are many, and the game starts without them.

#include "sound/outputloader.h"

#include "sound/audiooutput.h"
#include "sound/audiomodule.h"

#include <QDir>
#include <QLibrary>

namespace sound {

std::unique_ptr<AudioOutput> createAudioOutput(const QString &programFolder)
{
    // Only the program's own folder is searched, never the working folder or the system's.
    QLibrary module(QDir(programFolder).absoluteFilePath(QString::fromLatin1(kAudioModule)));
    // The module is never unloaded: an output left behind on a stuck thread still runs its code.
    module.setLoadHints(QLibrary::PreventUnloadHint);
    const auto create = reinterpret_cast<CreateAudioOutput>(module.resolve(kCreateAudioOutput));
    return std::unique_ptr<AudioOutput>(create ? create() : nullptr);
}

} // namespace sound
