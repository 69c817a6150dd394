#include "sound/pcmconvert.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace sound {

namespace {

// One input sample as a value in [-1, 1).
float sampleAt(const Pcm &pcm, qint64 index)
{
    if (pcm.bitsPerSample == 8)
        return (float(quint8(pcm.samples[index])) - 128.0f) / 128.0f;
    const auto *p = reinterpret_cast<const uchar *>(pcm.samples.constData()) + 2 * index;
    return float(qFromLittleEndian<qint16>(p)) / 32768.0f;
}

void store(char *out, QAudioFormat::SampleFormat format, float value)
{
    const double v = std::clamp(double(value), -1.0, 1.0);
    switch (format) {
    case QAudioFormat::UInt8: {
        const auto s = quint8(std::clamp(std::lround(v * 128.0) + 128, 0L, 255L));
        std::memcpy(out, &s, 1);
        break;
    }
    case QAudioFormat::Int16: {
        const auto s = qint16(std::clamp(std::lround(v * 32768.0), -32768L, 32767L));
        std::memcpy(out, &s, 2);
        break;
    }
    case QAudioFormat::Int32: {
        const auto s = qint32(std::clamp<long long>(std::llround(v * 2147483648.0),
                                                    -2147483648LL, 2147483647LL));
        std::memcpy(out, &s, 4);
        break;
    }
    case QAudioFormat::Float: {
        const auto s = float(v);
        std::memcpy(out, &s, 4);
        break;
    }
    case QAudioFormat::Unknown:
    case QAudioFormat::NSampleFormats:
        break;
    }
}

} // namespace

QAudioFormat audioFormatOf(const Pcm &pcm)
{
    QAudioFormat format;
    format.setSampleRate(pcm.sampleRate);
    format.setChannelCount(pcm.channels);
    format.setSampleFormat(pcm.bitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    return format;
}

QByteArray convertPcm(const Pcm &pcm, const QAudioFormat &target, qint64 maxBytes)
{
    const int outChannels = target.channelCount();
    const int outRate = target.sampleRate();
    const int outSampleBytes = target.bytesPerSample();
    if (!target.isValid() || outChannels <= 0 || outRate <= 0 || outSampleBytes <= 0)
        return {};
    if ((pcm.channels != 1 && pcm.channels != 2) || pcm.sampleRate <= 0
        || (pcm.bitsPerSample != 8 && pcm.bitsPerSample != 16))
        return {};

    const qint64 inFrameBytes = qint64(pcm.channels) * (pcm.bitsPerSample / 8);
    const qint64 inFrames = pcm.samples.size() / inFrameBytes;
    if (inFrames <= 0)
        return {};

    // Frame counts stay far below 2^53 thanks to the input cap, so the double
    // arithmetic below is exact enough and cannot overflow.
    const qint64 outFrames = std::max<qint64>(
        1, std::llround(double(inFrames) * double(outRate) / double(pcm.sampleRate)));
    const qint64 outFrameBytes = qint64(outChannels) * outSampleBytes;
    if (outFrames > maxBytes / outFrameBytes)
        return {};

    QByteArray out(qsizetype(outFrames * outFrameBytes), Qt::Uninitialized);
    char *dst = out.data();
    const double step = double(pcm.sampleRate) / double(outRate);
    std::vector<float> frame(size_t(outChannels), 0.0f);

    for (qint64 j = 0; j < outFrames; ++j) {
        const double position = double(j) * step;
        const qint64 i0 = std::min<qint64>(qint64(position), inFrames - 1);
        const qint64 i1 = std::min<qint64>(i0 + 1, inFrames - 1);
        const float t = float(position - double(i0));

        auto channel = [&](int c) {
            const float a = sampleAt(pcm, i0 * pcm.channels + c);
            const float b = sampleAt(pcm, i1 * pcm.channels + c);
            return a + (b - a) * t;
        };

        std::fill(frame.begin(), frame.end(), 0.0f);
        if (pcm.channels == 1) {
            std::fill(frame.begin(), frame.end(), channel(0));
        } else if (outChannels == 1) {
            frame[0] = (channel(0) + channel(1)) / 2.0f;
        } else {
            frame[0] = channel(0);
            frame[1] = channel(1);
        }
        for (int c = 0; c < outChannels; ++c) {
            store(dst, target.sampleFormat(), frame[size_t(c)]);
            dst += outSampleBytes;
        }
    }
    return out;
}

} // namespace sound
