// libFuzzer target: the WAV reader must never crash, hang or read out of
// bounds, and whatever it accepts must be consistent.

#include "sound/wavreader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<sound::Pcm> pcm = sound::readWav(bytes);
    if (!pcm)
        return 0;

    const bool channelsOk = pcm->channels == 1 || pcm->channels == 2;
    const bool bitsOk = pcm->bitsPerSample == 8 || pcm->bitsPerSample == 16;
    const bool rateOk =
        pcm->sampleRate >= sound::minSampleRate && pcm->sampleRate <= sound::maxSampleRate;
    const qsizetype frameBytes = qsizetype(pcm->channels) * (pcm->bitsPerSample / 8);
    const bool samplesOk = !pcm->samples.isEmpty() && pcm->samples.size() <= bytes.size() - 44
                           && frameBytes > 0 && pcm->samples.size() % frameBytes == 0
                           && bytes.indexOf(QByteArrayView(pcm->samples)) >= 0;
    if (!channelsOk || !bitsOk || !rateOk || !samplesOk)
        std::abort();
    return 0;
}
