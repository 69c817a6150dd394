#include "sound/cuefile.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace sound {

std::optional<Pcm> loadWavFile(const QString &path, qint64 maxBytes)
{
    // isFile() is true only for regular files (following symbolic links), so
    // folders, FIFOs and devices are turned away before anything is opened.
    const QFileInfo info(path);
    if (!info.isFile() || info.size() <= 0 || info.size() > maxBytes)
        return std::nullopt;

    QFile file;
    qint64 size = info.size();
#ifdef Q_OS_UNIX
    // The path may have been swapped for a FIFO since it was looked at: open it
    // without blocking and check again what was actually opened.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 || st.st_size > maxBytes
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    size = st.st_size;
#else
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
#endif

    // One byte more than expected tells a file that grew past its checked size.
    const QByteArray bytes = file.read(size + 1);
    if (bytes.size() > size)
        return std::nullopt;
    return readWav(bytes);
}

} // namespace sound
