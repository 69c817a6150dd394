#pragma once

// Builds WAV files byte by byte, well-formed or broken on purpose, for the
// sound tests.

#include <QByteArray>
#include <QList>
#include <QtEndian>

#include <initializer_list>
#include <optional>

namespace wavfiles {

inline QByteArray le16(quint16 v)
{
    QByteArray b(2, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

inline QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

// A chunk: its 4-character id, the declared size (by default the body's), the
// body and, after an odd-sized body, the pad byte (unless told not to).
inline QByteArray chunk(const char *id, const QByteArray &body,
                        std::optional<quint32> declared = std::nullopt, bool pad = true)
{
    QByteArray c(id, 4);
    c += le32(declared.value_or(quint32(body.size())));
    c += body;
    if (pad && body.size() % 2 != 0)
        c += '\0';
    return c;
}

struct Fmt
{
    Fmt(quint16 tag = 1, quint16 channels = 1, quint32 rate = 16000, quint16 bits = 16,
        std::optional<quint16> blockAlign = std::nullopt,
        std::optional<quint32> byteRate = std::nullopt)
        : tag(tag), channels(channels), rate(rate), bits(bits), blockAlign(blockAlign),
          byteRate(byteRate)
    {
    }

    quint16 tag;
    quint16 channels;
    quint32 rate;
    quint16 bits;
    std::optional<quint16> blockAlign;
    std::optional<quint32> byteRate;
};

// The 16-byte body of a plain fmt chunk; the block align and byte rate follow
// from the other fields unless given.
inline QByteArray fmtBody(const Fmt &f)
{
    const quint16 align = f.blockAlign.value_or(quint16(f.channels * (f.bits / 8)));
    return le16(f.tag) + le16(f.channels) + le32(f.rate)
           + le32(f.byteRate.value_or(f.rate * align)) + le16(align) + le16(f.bits);
}

// The GUID of an extensible format whose subformat has the given tag
// (1: PCM, 3: IEEE float).
inline QByteArray subformatGuid(quint16 tag)
{
    static const char tail[] = "\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71";
    return le16(tag) + QByteArray(tail, 14);
}

// The 40-byte body of a WAVE_FORMAT_EXTENSIBLE fmt chunk.
inline QByteArray extensibleFmtBody(Fmt f, quint16 subformat = 1, quint16 validBits = 0,
                                    quint16 cbSize = 22)
{
    f.tag = 0xFFFE;
    return fmtBody(f) + le16(cbSize) + le16(validBits ? validBits : f.bits)
           + le32(f.channels == 2 ? 3 : 4) + subformatGuid(subformat);
}

// RIFF/WAVE around the given chunks; the RIFF size is right unless given.
inline QByteArray riff(const QByteArray &chunks, std::optional<quint32> riffSize = std::nullopt)
{
    return QByteArray("RIFF") + le32(riffSize.value_or(quint32(4 + chunks.size())))
           + QByteArray("WAVE") + chunks;
}

// A well-formed file: fmt, then data.
inline QByteArray wav(const Fmt &f, const QByteArray &samples)
{
    return riff(chunk("fmt ", fmtBody(f)) + chunk("data", samples));
}

// Interleaved 16-bit samples in little-endian order.
inline QByteArray pcm16(std::initializer_list<qint16> values)
{
    QByteArray b;
    for (qint16 v : values)
        b += le16(quint16(v));
    return b;
}

inline QByteArray pcm8(std::initializer_list<quint8> values)
{
    QByteArray b;
    for (quint8 v : values)
        b += char(v);
    return b;
}

} // namespace wavfiles
