#pragma once

#include "sound/wavreader.h"

#include <QString>
#include <QtGlobal>

#include <optional>

namespace sound {

// No cue is anywhere near this long; a bigger file is refused unread.
inline constexpr qint64 maxCueFileBytes = 32 * 1024 * 1024;

// Loads and decodes the WAV file at `path`. Only a regular file of at most
// `maxBytes` bytes is read: a missing path, a folder, a FIFO, a device, an
// unreadable or empty file and a bigger one all give nullopt, and none of them
// can block the caller. The contents are then checked by readWav().
std::optional<Pcm> loadWavFile(const QString &path, qint64 maxBytes = maxCueFileBytes);

} // namespace sound
