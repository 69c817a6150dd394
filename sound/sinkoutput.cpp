#include "sound/sinkoutput.h"

#include "sound/pcmconvert.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>

#include <utility>

namespace sound {

// QSoundEffect is not used on purpose: in Qt 6.4 it can lock up the whole
// program on a truncated or empty WAV file. Cues are decoded here by the strict
// reader and handed to a QAudioSink from a buffer.

SinkOutput::SinkOutput(QObject *parent) : QObject(parent) {}

SinkOutput::~SinkOutput()
{
    // Sinks waiting for a deferred delete are children of the output; destroy
    // them while it is still whole, since a sink's destructor runs the event loop.
    stop();
    const auto sinks = findChildren<QAudioSink *>(Qt::FindDirectChildrenOnly);
    for (QAudioSink *sink : sinks)
        delete sink;
}

void SinkOutput::play(const Pcm &pcm)
{
    stop();

    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return;

    QAudioFormat format = audioFormatOf(pcm);
    QByteArray samples = pcm.samples;
    if (!device.isFormatSupported(format)) {
        format = device.preferredFormat();
        samples = convertPcm(pcm, format);
        if (samples.isEmpty())
            return;
    }

    auto *sink = new QAudioSink(device, format, this);
    auto *buffer = new QBuffer(sink);
    buffer->setData(samples);
    buffer->open(QIODevice::ReadOnly);

    const quint64 cue = ++cue_;
    sink_ = sink;
    buffer_ = buffer;
    // A sink goes idle when it has played all its data. The news may come from
    // the audio system's own thread, and the sink is never released from inside
    // its own signal: both call for a queued connection.
    connect(
        sink, &QAudioSink::stateChanged, this, [this, cue] { finishIfDone(cue); },
        Qt::QueuedConnection);
    sink->start(buffer);
    if (sink->state() == QAudio::StoppedState) // the output refused to open
        stop();
}

void SinkOutput::stop()
{
    QAudioSink *sink = std::exchange(sink_, nullptr);
    buffer_ = nullptr;
    if (!sink)
        return;
    disconnect(sink, nullptr, this, nullptr);
    sink->stop();
    sink->deleteLater();
}

void SinkOutput::finishIfDone(quint64 cue)
{
    if (cue != cue_ || !sink_)
        return;
    if (sink_->state() == QAudio::StoppedState) {
        stop();
        return;
    }
    // Idle with data still to come is a momentary underrun, not the end.
    if (sink_->state() == QAudio::IdleState && buffer_->atEnd())
        stop();
}

} // namespace sound

extern "C" Q_DECL_EXPORT sound::AudioOutput *zefirana_create_audio_output(QObject *parent)
{
    return new sound::SinkOutput(parent);
}
