#pragma once

#include <QStringView>

#include <filesystem>

namespace sound {

// The folder of the running program, as the system names it: on Linux its own bytes (read from
// /proc/self/exe), so that a folder whose name is not UTF-8 is still found; elsewhere the
// toolkit's Unicode name.
std::filesystem::path programFolder();

// The full path of a sound cue: the program's folder, then the cue's relative name, written
// with '/' (for example u"regione/toscana.wav"). The folder is kept as given and the name added
// in the system's encoding, so the root folder gives "/regione/..." with a single separator, and
// a folder whose name has accents or blanks still leads to its cues.
std::filesystem::path cuePath(const std::filesystem::path &programFolder, QStringView relativeName);

} // namespace sound
