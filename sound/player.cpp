#include "sound/player.h"

#include "sound/audiooutput.h"
#include "sound/cuefile.h"
#include "sound/cuepath.h"
#include "sound/outputloader.h"

namespace sound {

Player::Player()
    : Player([folder = programFolder()] { return createAudioOutput(folder); },
             [](const std::filesystem::path &file) { return loadWavFile(file); })
{
}

Player::Player(AudioWorker::OutputFactory createOutput, AudioWorker::Loader load)
    : worker_(std::move(createOutput), std::move(load))
{
}

void Player::suona(const std::filesystem::path &path) { worker_.play(path, AudioWorker::Clock::now()); }

void Player::stop() { worker_.stop(); }

} // namespace sound
