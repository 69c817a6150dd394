#pragma once

#include <QString>
#include <QStringView>

namespace sound {

// The full path of a sound cue: the program's folder, then the cue's relative
// name, written with '/' (for example u"regione/toscana.wav"). Built with the
// host's path rules, so the root folder gives "/regione/..." with a single
// separator, and kept in Unicode throughout: a folder whose name has accents or
// blanks still leads to its cues.
QString cuePath(const QString &programFolder, QStringView relativeName);

} // namespace sound
