#include "sound/cuefile.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace sound {

std::optional<Pcm> loadWavFile(const std::filesystem::path &path, qint64 maxBytes)
{
    QFile file;
#ifdef Q_OS_UNIX
    // Opened by the path's own bytes, without blocking (a FIFO would wait for a writer), and
    // then checked for what was actually opened: only a regular file of a sensible size.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 || st.st_size > maxBytes
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    const qint64 size = st.st_size;
#else
    // isFile() is true only for regular files (following shortcuts), so folders and devices
    // are turned away before anything is opened.
    const QString name = QString::fromStdU16String(path.u16string());
    const QFileInfo info(name);
    const qint64 size = info.size();
    file.setFileName(name);
    if (!info.isFile() || size <= 0 || size > maxBytes || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
#endif

    // One byte more than expected tells a file that grew past its checked size.
    const QByteArray bytes = file.read(size + 1);
    if (bytes.size() > size)
        return std::nullopt;
    return readWav(bytes);
}

} // namespace sound
