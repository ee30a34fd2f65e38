// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace TextFile {

bool writeAll(QFileDevice& file, const char* data, qint64 size) {
    for (qint64 done = 0; done < size;) {
        const qint64 n = file.write(data + done, size - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

void replace(const QString& path, const QByteArray& content) {
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                         writeAll(file, content.constData(), content.size());
    if (!written || !file.commit())
        throw std::runtime_error(QStringLiteral("Can't write the file '%1': %2")
                                     .arg(path, file.errorString())
                                     .toStdString());
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
        throw std::runtime_error(QStringLiteral("Can't read the file '%1': %2")
                                     .arg(path, file.errorString())
                                     .toStdString());
    return file.readAll();
}

QString decode(const QByteArray& bytes) {
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    // Code page 1252 is Latin-1 except for these; its five unassigned bytes keep their value.
    static const char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    text.resize(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        text[i] = QChar(byte >= 0x80 && byte < 0xA0 ? high[byte - 0x80] : char16_t{byte});
    }
    return text;
}

} // namespace TextFile
