#include "sound/player.h"

#include "sound/audiooutput.h"
#include "sound/cuefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

namespace sound {

Player::Player(QObject *parent) : Player(QCoreApplication::applicationDirPath(), parent) {}

Player::Player(const QString &moduleFolder, QObject *parent) : QObject(parent), moduleFolder_(moduleFolder) {}

Player::~Player()
{
    // The output goes first, while the player is whole: its sinks run the event loop as they go.
    delete output_;
}

void Player::suona(const QString &path)
{
    stop();
    const std::optional<Pcm> pcm = loadWavFile(path);
    if (!pcm)
        return;
    if (AudioOutput *out = output())
        out->play(*pcm);
}

void Player::stop()
{
    if (output_)
        output_->stop();
}

bool Player::isPlaying() const
{
    return output_ && output_->isPlaying();
}

AudioOutput *Player::output()
{
    if (!outputTried_) {
        outputTried_ = true;
        // The module stays loaded until the program ends: its code runs until the last sink is gone.
        QLibrary module(QDir(moduleFolder_).filePath(QString::fromLatin1(kAudioModule)));
        if (auto create = reinterpret_cast<CreateAudioOutput>(module.resolve(kCreateAudioOutput)))
            output_ = create(this);
    }
    return output_;
}

} // namespace sound
