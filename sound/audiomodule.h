#pragma once

namespace sound {

class AudioOutput;

// The audio module's one entry point: a new output, owned by the caller.
using CreateAudioOutput = AudioOutput *(*)();
inline constexpr char kCreateAudioOutput[] = "zefirana_create_audio_output";
inline constexpr char kAudioModule[] = "zefirana-audio.so";

} // namespace sound
