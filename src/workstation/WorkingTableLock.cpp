// SPDX-License-Identifier: GPL-3.0-or-later
#include "WorkingTableLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QTextStream>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Directories where flock is not supported (NFS emulates it with record locks, which need a
// file open for writing) are held through this file instead.
const char* const lockFileName = "Record1.db.lock";

QMutex registryMutex;
std::map<QString, std::weak_ptr<WorkingTableLock>>& registry() {
    static std::map<QString, std::weak_ptr<WorkingTableLock>> holds;
    return holds;
}

QString systemText(int error) {
    return QString::fromLocal8Bit(strerror(error));
}

QString canonical(const QString& directory) {
    const QString resolved = QFileInfo(directory).canonicalFilePath();
    return resolved.isEmpty() ? QFileInfo(directory).absoluteFilePath() : resolved;
}

bool holdExclusively(int descriptor) {
    return flock(descriptor, LOCK_EX | LOCK_NB) == 0;
}

// The process holding a flock on the file with this device and inode, from the kernel's own
// list, or 0.
pid_t flockHolder(const struct stat& file) {
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; the device in hex major:minor.
    const QString wanted = QStringLiteral("%1:%2:%3")
                               .arg(major(file.st_dev), 2, 16, QLatin1Char('0'))
                               .arg(minor(file.st_dev), 2, 16, QLatin1Char('0'))
                               .arg(file.st_ino);
    // Some file systems report another device number there than stat does; the inode alone
    // is then the best match.
    const QString inode = QStringLiteral(":%1").arg(file.st_ino);
    pid_t sameInode = 0;
    QTextStream in(&locks);
    for (QString line = in.readLine(); !line.isNull(); line = in.readLine()) {
        const QStringList fields = line.simplified().split(QLatin1Char(' '));
        if (fields.size() < 6 || fields[1] != QLatin1String("FLOCK"))
            continue; // waiters ("->") and record locks
        if (fields[5].compare(wanted, Qt::CaseInsensitive) == 0)
            return fields[4].toInt();
        if (fields[5].endsWith(inode))
            sameInode = fields[4].toInt();
    }
    return sameInode;
}

QString describe(pid_t pid) {
    if (pid <= 0)
        return QStringLiteral("another program");
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    QString name;
    if (comm.open(QIODevice::ReadOnly))
        name = QString::fromLocal8Bit(comm.readAll()).trimmed();
    if (name.isEmpty())
        name = QStringLiteral("a program");
    return QStringLiteral("%1 (process %2)").arg(name).arg(pid);
}

QString holderOf(int descriptor) {
    struct stat file {};
    if (fstat(descriptor, &file) != 0)
        return describe(0);
    return describe(flockHolder(file));
}

std::runtime_error inUse(const QString& directory, const QString& holder) {
    return std::runtime_error(
        QStringLiteral("The working table of '%1' is in use by %2. Only one measurement at a "
                       "time can use it: end the other program first.")
            .arg(directory, holder)
            .toStdString());
}

std::runtime_error cannotHold(const QString& directory, int error) {
    return std::runtime_error(QStringLiteral("Can't reserve the working table of '%1': %2")
                                  .arg(directory, systemText(error))
                                  .toStdString());
}

// The lock file of a directory whose file system cannot lock the directory itself.
int holdThroughFile(const QString& directory) {
    const QByteArray path = QFile::encodeName(QDir(directory).filePath(lockFileName));
    const int descriptor = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (descriptor < 0)
        throw cannotHold(directory, errno);
    if (!holdExclusively(descriptor)) {
        const int error = errno;
        const QString holder = holderOf(descriptor);
        ::close(descriptor);
        if (error == EWOULDBLOCK)
            throw inUse(directory, holder);
        throw cannotHold(directory, error);
    }
    return descriptor;
}

} // namespace

WorkingTableLock::WorkingTableLock(QString directory, int descriptor)
    : directory_(std::move(directory)), descriptor_(descriptor) {}

WorkingTableLock::~WorkingTableLock() {
    if (descriptor_ >= 0)
        ::close(descriptor_); // the kernel drops the lock with the last descriptor
}

std::shared_ptr<WorkingTableLock> WorkingTableLock::acquire(const QString& programDirectory) {
    const QString directory = canonical(programDirectory);
    QMutexLocker guard(&registryMutex);
    if (auto held = registry()[directory].lock())
        return held;

    // Close-on-exec: a program started from here (a spreadsheet, a viewer) must not inherit it.
    const int descriptor =
        ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        throw cannotHold(directory, errno);
    int held = descriptor;
    if (!holdExclusively(descriptor)) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            const QString holder = holderOf(descriptor);
            ::close(descriptor);
            throw inUse(directory, holder);
        }
        ::close(descriptor);
        held = holdThroughFile(directory);
    }
    std::shared_ptr<WorkingTableLock> lock(new WorkingTableLock(directory, held));
    registry()[directory] = lock;
    return lock;
}
