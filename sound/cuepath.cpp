#include "sound/cuepath.h"

#include <QDir>

namespace sound {

QString cuePath(const QString &programFolder, QStringView relativeName)
{
    return QDir(programFolder).filePath(relativeName.toString());
}

} // namespace sound
