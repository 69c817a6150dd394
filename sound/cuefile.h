#pragma once

#include "sound/wavreader.h"

#include <QtGlobal>

#include <filesystem>
#include <optional>

namespace sound {

// No cue is anywhere near this long; a bigger file is refused unread.
inline constexpr qint64 maxCueFileBytes = 32 * 1024 * 1024;

// Loads and decodes the WAV file at `path`. Only a regular file of at most `maxBytes` bytes is
// read: a missing path, a folder, a FIFO, a device, an unreadable or empty file and a bigger one
// all give nullopt, and none of them blocks. The contents are then checked by readWav(). A file
// system that does not answer holds up the caller: the player calls this on its audio thread.
std::optional<Pcm> loadWavFile(const std::filesystem::path &path, qint64 maxBytes = maxCueFileBytes);

} // namespace sound
