#include "TextFile.h"

#include <QFile>
#include <QSaveFile>
#include <stdexcept>

namespace TextFile {

void replace(const QString& path, const QByteArray& content) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() ||
        !file.commit())
        throw std::runtime_error(
            QStringLiteral("Can't write the file '%1': %2").arg(path, file.errorString()).toStdString());
}

QByteArray read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(
            QStringLiteral("Can't read the file '%1': %2").arg(path, file.errorString()).toStdString());
    return file.readAll();
}

} // namespace TextFile
