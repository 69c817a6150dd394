#pragma once

#include <filesystem>
#include <memory>

namespace sound {

class AudioOutput;

// Makes the platform's audio output, or nothing when there is none; called on the audio
// worker's thread. programFolder is the folder of the running program (programFolder()).
std::unique_ptr<AudioOutput> createAudioOutput(const std::filesystem::path &programFolder);

} // namespace sound
