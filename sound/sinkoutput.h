#pragma once

#include "sound/audiooutput.h"

#include <QObject>

QT_BEGIN_NAMESPACE
class QAudioSink;
class QBuffer;
QT_END_NAMESPACE

namespace sound {

// The audio output on Qt Multimedia: the samples go from a buffer to a QAudioSink on the
// default output, converted where the device cannot play the file's own format.
class SinkOutput final : public QObject, public AudioOutput
{
    Q_OBJECT

public:
    explicit SinkOutput(QObject *parent);
    ~SinkOutput() override;

    void play(const Pcm &pcm) override;
    void stop() override;
    bool isPlaying() const override { return sink_ != nullptr; }

private:
    void finishIfDone(quint64 cue);

    QAudioSink *sink_ = nullptr; // the cue sounding now, if any
    QBuffer *buffer_ = nullptr;  // its samples, owned by the sink
    quint64 cue_ = 0;            // counts the cues started, to ignore news of old ones
};

} // namespace sound
