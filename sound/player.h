#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QAudioSink;
class QBuffer;
QT_END_NAMESPACE

namespace sound {

// Plays sound cues in the background, one at a time. Every failure is silent:
// a cue that cannot be read or played is simply not heard.
class Player : public QObject
{
    Q_OBJECT

public:
    explicit Player(QObject *parent = nullptr);
    ~Player() override;

    // Starts the WAV file at `path` (a full path) and returns at once. A cue
    // still sounding is stopped first, whether or not the new one can play.
    // A missing, unreadable, oversized, malformed or unplayable file, a path
    // that is not a regular file, or the lack of any sound output gives
    // silence and nothing else.
    void suona(const QString &path);

    // Stops the cue that is sounding, if any.
    void stop();

    // True from the start of a cue until it has been played to its end or
    // stopped.
    bool isPlaying() const;

private:
    void finishIfDone(quint64 cue);

    QAudioSink *sink_ = nullptr; // the cue sounding now, if any
    QBuffer *buffer_ = nullptr;  // its samples, owned by the sink
    quint64 cue_ = 0; // counts the cues started, to ignore news of old ones
};

} // namespace sound
