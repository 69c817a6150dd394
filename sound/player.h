#pragma once

#include <QObject>
#include <QString>

namespace sound {

class AudioOutput;

// Plays sound cues in the background, one at a time. Every failure is silent:
// a cue that cannot be read or played is simply not heard.
class Player : public QObject
{
    Q_OBJECT

public:
    // The audio module is looked for beside the program.
    explicit Player(QObject *parent = nullptr);
    // The audio module is looked for in moduleFolder.
    explicit Player(const QString &moduleFolder, QObject *parent = nullptr);
    ~Player() override;

    // Starts the WAV file at `path` (a full path) and returns at once. A cue
    // still sounding is stopped first, whether or not the new one can play.
    // A missing, unreadable, oversized, malformed or unplayable file, a path
    // that is not a regular file, a missing audio module or the lack of any
    // sound output gives silence and nothing else.
    void suona(const QString &path);

    // Stops the cue that is sounding, if any.
    void stop();

    // True from the start of a cue until it has been played to its end or
    // stopped.
    bool isPlaying() const;

private:
    AudioOutput *output();

    QString moduleFolder_;
    AudioOutput *output_ = nullptr; // loaded at the first playable cue; a child of the player
    bool outputTried_ = false;
};

} // namespace sound
