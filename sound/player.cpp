#include "sound/player.h"

#include "sound/audiooutput.h"
#include "sound/cuefile.h"
#include "sound/outputloader.h"

#include <QCoreApplication>

namespace sound {

Player::Player()
    : worker_([folder = QCoreApplication::applicationDirPath()] { return createAudioOutput(folder); })
{
}

Player::Player(AudioWorker::OutputFactory createOutput) : worker_(std::move(createOutput)) {}

void Player::suona(const QString &path)
{
    if (std::optional<Pcm> pcm = loadWavFile(path))
        worker_.play(std::move(*pcm));
    else
        worker_.stop();
}

void Player::stop() { worker_.stop(); }

} // namespace sound
