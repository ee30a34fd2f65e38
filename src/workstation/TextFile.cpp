#include "TextFile.h"

#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace TextFile {

void replace(const QString& path, const QByteArray& content) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() ||
        !file.commit())
        throw std::runtime_error(
            QStringLiteral("Can't write the file '%1': %2").arg(path, file.errorString()).toStdString());
}

// Plain system calls, so that the message carries the system's own reason.
void writeDurably(const QString& path, const QByteArray& content, const QString& shownName) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    bool written = fd >= 0;
    for (qsizetype done = 0; written && done < content.size();) {
        const ssize_t n = ::write(fd, content.constData() + done,
                                  static_cast<std::size_t>(content.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        written = n > 0;
        done += n;
    }
    written = written && ::fsync(fd) == 0;
    int error = errno;
    if (fd >= 0 && ::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written)
        return;
    QFile::remove(path);
    throw std::runtime_error(QStringLiteral("Can't write the file '%1': %2")
                                 .arg(shownName, QString::fromLocal8Bit(strerror(error)))
                                 .toStdString());
}

bool syncToDisk(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return synced;
}

QByteArray read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(
            QStringLiteral("Can't read the file '%1': %2").arg(path, file.errorString()).toStdString());
    return file.readAll();
}

} // namespace TextFile
