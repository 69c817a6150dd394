#include "sound/wavwriter.h"

#include <QtEndian>

namespace sound {

namespace {

void append32(QByteArray &out, quint32 value)
{
    const quint32 le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char *>(&le), 4);
}

void append16(QByteArray &out, quint16 value)
{
    const quint16 le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char *>(&le), 2);
}

} // namespace

QByteArray wavFile(const Pcm &pcm)
{
    const auto dataBytes = quint32(pcm.samples.size());
    const quint32 pad = dataBytes % 2; // chunks are padded to an even length
    const auto blockAlign = quint16(pcm.channels * pcm.bitsPerSample / 8);

    QByteArray out;
    out.reserve(qsizetype(44 + dataBytes + pad));
    out.append("RIFF", 4);
    append32(out, 4 + (8 + 16) + (8 + dataBytes + pad));
    out.append("WAVEfmt ", 8);
    append32(out, 16);
    append16(out, 1); // PCM
    append16(out, quint16(pcm.channels));
    append32(out, quint32(pcm.sampleRate));
    append32(out, quint32(pcm.sampleRate) * blockAlign);
    append16(out, blockAlign);
    append16(out, quint16(pcm.bitsPerSample));
    out.append("data", 4);
    append32(out, dataBytes);
    out.append(pcm.samples);
    if (pad)
        out.append('\0');
    return out;
}

} // namespace sound
