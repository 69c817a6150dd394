#pragma once

#include "sound/wavreader.h"

#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QObject;
QT_END_NAMESPACE

namespace sound {

// Plays decoded cues on the sound system, one at a time. It lives in a module of its own,
// "zefirana-audio" beside the program, loaded at the first cue: the sound libraries are
// many, and the game starts without waiting for them.
class AudioOutput
{
public:
    virtual ~AudioOutput() = default;
    // Plays pcm in the background, in place of any cue still sounding; silent on any failure.
    virtual void play(const Pcm &pcm) = 0;
    virtual void stop() = 0;
    virtual bool isPlaying() const = 0;
};

// The module's one entry point: a new output, a child of parent.
using CreateAudioOutput = AudioOutput *(*)(QObject *parent);
inline constexpr char kCreateAudioOutput[] = "zefirana_create_audio_output";
inline constexpr char kAudioModule[] = "zefirana-audio";

} // namespace sound
