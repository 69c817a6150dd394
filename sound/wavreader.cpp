#include "sound/wavreader.h"

#include <cstring>

namespace sound {

namespace {

// The fixed tail of the KSDATAFORMAT_SUBTYPE_PCM GUID; the first two bytes
// hold the format tag (1 for PCM).
constexpr unsigned char pcmGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                           0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

constexpr quint16 formatPcm = 0x0001;
constexpr quint16 formatExtensible = 0xFFFE;

quint16 le16(QByteArrayView b, qsizetype at)
{
    return quint16(quint8(b[at]) | (quint8(b[at + 1]) << 8));
}

quint32 le32(QByteArrayView b, qsizetype at)
{
    return quint32(quint8(b[at])) | (quint32(quint8(b[at + 1])) << 8)
           | (quint32(quint8(b[at + 2])) << 16) | (quint32(quint8(b[at + 3])) << 24);
}

bool hasTag(QByteArrayView b, qsizetype at, const char (&tag)[5])
{
    return std::memcmp(b.data() + at, tag, 4) == 0;
}

struct Format
{
    int channels;
    int sampleRate;
    int bitsPerSample;
    int blockAlign;
};

std::optional<Format> parseFormat(QByteArrayView body)
{
    if (body.size() < 16)
        return std::nullopt;
    const quint16 tag = le16(body, 0);
    const quint16 channels = le16(body, 2);
    const quint32 rate = le32(body, 4);
    // Bytes 8..11 hold the byte rate: redundant, and not needed to play the
    // samples, so a writer's mistake there is forgiven.
    const quint16 blockAlign = le16(body, 12);
    const quint16 bits = le16(body, 14);

    if (tag == formatExtensible) {
        if (body.size() < 40 || le16(body, 16) < 22)
            return std::nullopt;
        const quint16 validBits = le16(body, 18);
        if (validBits == 0 || validBits > bits)
            return std::nullopt;
        if (le16(body, 24) != formatPcm || std::memcmp(body.data() + 26, pcmGuidTail, 14) != 0)
            return std::nullopt;
    } else if (tag != formatPcm) {
        return std::nullopt;
    }

    if (channels != 1 && channels != 2)
        return std::nullopt;
    if (bits != 8 && bits != 16)
        return std::nullopt;
    if (rate < quint32(minSampleRate) || rate > quint32(maxSampleRate))
        return std::nullopt;
    if (blockAlign != channels * (bits / 8))
        return std::nullopt;
    return Format{channels, int(rate), bits, blockAlign};
}

} // namespace

std::optional<Pcm> readWav(QByteArrayView bytes)
{
    if (bytes.size() < 12 || !hasTag(bytes, 0, "RIFF") || !hasTag(bytes, 8, "WAVE"))
        return std::nullopt;

    // The RIFF size field (bytes 4..7) is not trusted: writers that stream often
    // leave it 0 or 0xFFFFFFFF. The walk is bounded by the bytes really present.
    const qsizetype end = bytes.size();
    qsizetype pos = 12;
    std::optional<Format> format;
    std::optional<QByteArrayView> data;

    while (!format || !data) {
        if (end - pos < 8)
            return std::nullopt;
        const qsizetype id = pos;
        const quint32 declared = le32(bytes, pos + 4);
        pos += 8;
        // Every chunk met before both fmt and data are found must lie wholly in
        // the file: a data chunk that declares more than the file holds is cut,
        // and a broken chunk before it leaves the rest of the file in doubt.
        if (qint64(declared) > qint64(end - pos))
            return std::nullopt;
        const qsizetype size = qsizetype(declared);
        const QByteArrayView body = bytes.sliced(pos, size);

        if (hasTag(bytes, id, "fmt ")) {
            if (format)
                return std::nullopt;
            format = parseFormat(body);
            if (!format)
                return std::nullopt;
        } else if (hasTag(bytes, id, "data")) {
            if (data)
                return std::nullopt;
            data = body;
        }
        // Any other chunk (LIST, fact, cue, ...) is skipped.

        pos += size;
        // A chunk of odd size is followed by one pad byte; a file whose very
        // last chunk lacks it is forgiven.
        if ((size & 1) != 0 && pos < end)
            ++pos;
    }

    if (data->isEmpty() || data->size() % format->blockAlign != 0)
        return std::nullopt;

    return Pcm{format->channels, format->sampleRate, format->bitsPerSample, data->toByteArray()};
}

} // namespace sound
