// libFuzzer target: the WAV reader never crashes, hangs or reads out of bounds, and whatever it
// accepts is consistent.

#include "sound/wavreader.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<sound::Pcm> pcm = sound::readWav(bytes);
    if (!pcm)
        return 0;
    const qsizetype frameBytes = qsizetype(pcm->channels) * (pcm->bitsPerSample / 8);
    if ((pcm->channels != 1 && pcm->channels != 2)
        || (pcm->bitsPerSample != 8 && pcm->bitsPerSample != 16)
        || pcm->sampleRate < sound::minSampleRate || pcm->sampleRate > sound::maxSampleRate
        || pcm->samples.isEmpty() || pcm->samples.size() > bytes.size() - 44
        || pcm->samples.size() % frameBytes != 0 || bytes.indexOf(QByteArrayView(pcm->samples)) < 0)
        std::abort();
    return 0;
}
