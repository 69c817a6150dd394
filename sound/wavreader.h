#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace sound {

// Decoded contents of a WAV file: interleaved little-endian PCM samples,
// 8-bit unsigned or 16-bit signed, one or two channels.
struct Pcm
{
    int channels;
    int sampleRate;
    int bitsPerSample;
    QByteArray samples;
};

// Limits of the formats the reader accepts.
inline constexpr int minSampleRate = 4000;
inline constexpr int maxSampleRate = 192000;

// Reads a whole WAV file held in memory. Strict: accepts only RIFF/WAVE with
// uncompressed PCM (format tag 1, or WAVE_FORMAT_EXTENSIBLE whose subformat is
// PCM), 1 or 2 channels, 8 or 16 bits per sample, a sample rate between
// minSampleRate and maxSampleRate, a block align that matches channels and bits,
// and one complete, non-empty data chunk holding a whole number of frames.
// Anything else, including every truncated or inconsistent file, gives nullopt.
// Never reads outside `bytes`; the caller caps how many bytes it hands in.
std::optional<Pcm> readWav(QByteArrayView bytes);

} // namespace sound
