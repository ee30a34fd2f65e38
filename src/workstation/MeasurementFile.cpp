// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeasurementFile.h"

#include "RecordRowReader.h"

#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <stdexcept>

MeasurementFile::Format MeasurementFile::formatOf(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        throw std::runtime_error(
            QStringLiteral("The table file '%1' does not exist.").arg(path).toStdString());
    static const char sqliteHeader[] = "SQLite format 3"; // with its terminating zero: 16 bytes
    const QByteArray start = file.read(sizeof sqliteHeader);
    if (start.size() == sizeof sqliteHeader &&
        std::memcmp(start.constData(), sqliteHeader, sizeof sqliteHeader) == 0)
        return Format::Sqlite;
    return Format::Paradox;
}

std::vector<RecordRow> MeasurementFile::readRows(const QString& path) {
    RecordRowReader reader(path);
    std::vector<RecordRow> rows;
    rows.reserve(static_cast<std::size_t>(reader.rowCount()));
    RecordRow row;
    while (reader.next(row))
        rows.push_back(row);
    return rows;
}
