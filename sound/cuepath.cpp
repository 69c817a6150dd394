#include "sound/cuepath.h"

#include <QCoreApplication>

namespace sound {

std::filesystem::path programFolder()
{
#ifdef Q_OS_LINUX
    std::error_code error;
    if (const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error); !error)
        return program.parent_path();
#endif
    return QCoreApplication::applicationDirPath().toStdU16String();
}

std::filesystem::path cuePath(const std::filesystem::path &programFolder, QStringView relativeName)
{
    return programFolder / relativeName.toString().toStdU16String();
}

} // namespace sound
