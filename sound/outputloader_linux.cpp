// The audio output on Linux lives in a module of its own, "zefirana-audio.so" beside the program,
// loaded at the first cue: the sound libraries are many, and the game starts without them.

#include "sound/outputloader.h"

#include "sound/audiomodule.h"
#include "sound/audiooutput.h"

#include <dlfcn.h>

namespace sound {

std::unique_ptr<AudioOutput> createAudioOutput(const std::filesystem::path &programFolder)
{
    // Only the program's own folder is searched, never the working folder or the system's, and
    // by the folder's own bytes, whatever its name's encoding. The module is never unloaded
    // (RTLD_NODELETE): an output left behind on a stuck thread still runs its code.
    void *module = ::dlopen((programFolder / kAudioModule).c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    const auto create = module ? reinterpret_cast<CreateAudioOutput>(::dlsym(module, kCreateAudioOutput)) : nullptr;
    return std::unique_ptr<AudioOutput>(create ? create() : nullptr);
}

} // namespace sound
