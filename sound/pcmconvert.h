#pragma once

#include "sound/wavreader.h"

#include <QAudioFormat>
#include <QByteArray>
#include <QtGlobal>

namespace sound {

// The format in which the samples of `pcm` are stored, as the audio output
// knows it.
QAudioFormat audioFormatOf(const Pcm &pcm);

// A converted cue is refused past this size (a long recording at a low rate
// can grow many times over when raised to the output's rate and sample size).
inline constexpr qint64 maxConvertedBytes = 128 * 1024 * 1024;

// Converts `pcm` to `target` (sample format UInt8, Int16, Int32 or Float in the
// host's byte order, any channel count, any rate) for an output that cannot
// play the file's own format. Mono is copied to every output channel; stereo
// goes to the first two (averaged when the output is mono, the rest silent).
// The rate is changed by linear interpolation between neighbouring frames.
// Returns an empty array if `target` is unusable or the result would exceed
// `maxBytes`.
QByteArray convertPcm(const Pcm &pcm, const QAudioFormat &target,
                      qint64 maxBytes = maxConvertedBytes);

} // namespace sound
