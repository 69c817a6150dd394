#pragma once

#include "sound/wavreader.h"

#include <QByteArray>

namespace sound {

// The canonical WAV file of `pcm`: RIFF/WAVE with a 16-byte PCM format chunk and one data
// chunk, nothing else. For a sound call that reads whole files, so that it is handed only
// samples the strict reader has accepted, in the plainest form there is.
QByteArray wavFile(const Pcm &pcm);

} // namespace sound
