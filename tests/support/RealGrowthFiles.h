// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The published growth curves as the workstation would have stored them: one measurement file
// each, its OD and Minutes cut as the table keeps them, and read back as the program reads a
// saved measurement.

#include "RealGrowthCurves.h"
#include "SavedMeasurement.h"
#include "TempDirectory.h"
#include "workstation/MeasurementFile.h"
#include "workstation/SampleValues.h"

#include <QString>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace RealGrowthFiles {

// The curves shipped with the tests, and those of any further CSV files of the same columns
// named in NEPHODAR_GROWTH_CURVES (separated by colons).
inline std::vector<RealGrowthCurves::Curve> shippedAndNamed(const std::string& sourceDirectory) {
    auto curves = RealGrowthCurves::load(sourceDirectory + "/tests/data/growth/real-curves.csv");
    if (const char* more = std::getenv("NEPHODAR_GROWTH_CURVES")) {
        std::stringstream paths(more);
        std::string path;
        while (std::getline(paths, path, ':'))
            if (!path.empty())
                for (auto& c : RealGrowthCurves::load(path))
                    curves.push_back(std::move(c));
    }
    return curves;
}

// Writes the curve as a saved measurement in the directory; returns the file's path.
inline QString write(const std::string& directory, const RealGrowthCurves::Curve& curve,
                     int index) {
    std::vector<RecordRow> rows;
    int number = 0;
    for (const auto& r : curve.readings) {
        const auto milliseconds = static_cast<std::int64_t>(std::llround(r.minutes * 60000));
        rows.push_back(SavedMeasurement::row(++number, SampleValues::elapsedMinutes(milliseconds),
                                             SampleValues::storedOd(r.od), 0,
                                             QString::fromStdString(curve.name)));
    }
    return SavedMeasurement::write(directory, "curve" + std::to_string(index), rows, QString(),
                                   QString());
}

// The readings of a measurement file, as stored.
inline std::vector<RealGrowthCurves::Reading> read(const QString& path) {
    std::vector<RealGrowthCurves::Reading> readings;
    for (const auto& row : MeasurementFile::readRows(path))
        readings.push_back({row.minutes, row.od});
    return readings;
}

} // namespace RealGrowthFiles
