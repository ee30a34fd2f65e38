// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A saved measurement of many rows for the benchmarks, written straight into its table in one
// transaction: a measurement's per-sample commits would only make the preparation slow.

#include "TempDirectory.h"
#include "workstation/RecordTable.h"

#include <QString>
#include <cstdio>
#include <functional>
#include <sqlite3.h>
#include <string>

namespace BenchMeasurement {

struct Sample {
    double seconds; // from the start
    double od;
};

// Writes a measurement file of rowCount rows whose OD and time come from sampleAt(row), with
// a note every hundredth row; returns its path.
inline std::string write(TempDirectory& temp, const std::string& name, int rowCount,
                         const std::function<Sample(int)>& sampleAt) {
    const std::string directory = temp.path(name + ".dir");
    std::filesystem::create_directories(directory);
    RecordTable::openWorking(QString::fromStdString(directory));
    sqlite3* db = nullptr;
    sqlite3_open((directory + "/Record1.db").c_str(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO Record1 (AllTime, Number, Minutes, OD, StartTime, StartDate, "
                       "Title, Note, TimeS, NoteS, CalcOD, SmoothOD) "
                       "VALUES (?,?,?,?,?,?,'Benchmark culture',?,?,?,?,NULL)",
                       -1, &insert, nullptr);
    for (int i = 0; i < rowCount; ++i) {
        const Sample sample = sampleAt(i);
        const auto seconds = static_cast<long>(sample.seconds);
        char allTime[48], timeS[48], note[32];
        std::snprintf(allTime, sizeof allTime, "%02ld:%02ld:%02ld", seconds / 3600 % 24,
                      seconds / 60 % 60, seconds % 60);
        std::snprintf(timeS, sizeof timeS, "%ld:%02ld", seconds / 3600, seconds / 60 % 60);
        const bool noted = i % 100 == 0;
        std::snprintf(note, sizeof note, "[%d] sample taken", i / 100 + 1);
        sqlite3_bind_text(insert, 1, allTime, -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(insert, 2, i);
        sqlite3_bind_double(insert, 3, static_cast<int>(sample.seconds / 60.0 * 1000) / 1000.0);
        sqlite3_bind_double(insert, 4, sample.od);
        sqlite3_bind_text(insert, 5, "09:05:03", -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 6, "2026-12-10", -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 7, noted ? note : "", -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 8, timeS, -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(insert, 9, noted ? i / 100 + 1 : -5);
        sqlite3_bind_double(insert, 10, sample.od * 1.5 + 0.0123);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const std::string measurement = temp.path(name + ".nph");
    RecordTable::openWorking(QString::fromStdString(directory))
        ->snapshotTo(QString::fromStdString(measurement));
    return measurement;
}

} // namespace BenchMeasurement
