// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TempDirectory.h"
#include "workstation/RecordTable.h"
#include "workstation/RtfText.h"

#include <QString>
#include <cmath>
#include <filesystem>
#include <vector>

// Saved measurement sets for tests: the table written through the working table, as a
// measurement is, then copied as saving copies it.
namespace SavedMeasurement {

// One sample n minutes after a start at 2024-03-05 08:15:00.
inline RecordRow row(int number, double minutes, double od, double calcOd,
                     const QString& title = QStringLiteral("Growth run")) {
    RecordRow r;
    const int seconds = static_cast<int>(std::lround(minutes * 60));
    r.allTime = QTime(0, 0).addSecs(seconds);
    r.number = number;
    r.minutes = minutes;
    r.od = od;
    r.calcOd = calcOd;
    r.startTime = QTime(8, 15, 0);
    r.startDate = QDate(2024, 3, 5);
    r.title = title;
    r.timeS = QString::number(seconds / 3600) + QLatin1Char(':') +
              QString::number(seconds / 60 % 60).rightJustified(2, QLatin1Char('0'));
    return r;
}

// Writes base.nph with the rows into directory, and base.log (rich text) and base.txt unless
// their text is null. Returns the path of base.nph.
inline QString write(const std::string& directory, const std::string& base,
                     const std::vector<RecordRow>& rows, const QString& log,
                     const QString& statement) {
    const std::string workDirectory = directory + "/work-" + base;
    std::filesystem::create_directories(workDirectory);
    const auto work = RecordTable::openWorking(QString::fromStdString(workDirectory));
    work->empty();
    for (const auto& r : rows)
        work->append(r);
    const std::string path = directory + "/" + base;
    work->snapshotTo(QString::fromStdString(path + ".nph"));
    if (!log.isNull())
        TempDirectory::writeFile(path + ".log", RtfText::write(log).toStdString());
    if (!statement.isNull())
        TempDirectory::writeFile(path + ".txt", statement.toUtf8().toStdString());
    return QString::fromStdString(path + ".nph");
}

} // namespace SavedMeasurement
