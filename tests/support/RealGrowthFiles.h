// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The published growth curves as the workstation would have stored them: one measurement file
// each, its OD and Minutes cut as the table keeps them, and read back as the program reads a
// saved measurement.

#include "RealGrowthCurves.h"
#include "SavedMeasurement.h"
#include "TempDirectory.h"
#include "workstation/GrowthAnalysis.h"
#include "workstation/MeasurementFile.h"
#include "workstation/SampleValues.h"

#include <QString>
#include <cstdlib>
#include <map>
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

// What the analysis says of the readings, in the figures' terms.
inline RealGrowthCurves::Answer answerFor(const std::vector<RealGrowthCurves::Reading>& readings) {
    std::vector<GrowthAnalysis::Point> points;
    for (const auto& r : readings)
        points.push_back({r.minutes, r.od});
    const auto result = GrowthAnalysis::analyse(points);
    RealGrowthCurves::Answer a;
    a.growing = result.growing;
    a.rate = result.maxRatePerHour;
    if (result.rateInterval) {
        a.low = result.rateInterval->low;
        a.high = result.rateInterval->high;
    }
    return a;
}

// The curves stored as files in the directory and read back, by data set; the files' paths
// in the order of the curves.
struct StoredSets {
    std::map<std::string, std::vector<RealGrowthCurves::Curve>> sets;
    std::vector<QString> files;
};
inline StoredSets stored(const std::vector<RealGrowthCurves::Curve>& curves,
                         const std::string& directory) {
    StoredSets stored;
    for (auto curve : curves) {
        stored.files.push_back(write(directory, curve, static_cast<int>(stored.files.size())));
        curve.readings = read(stored.files.back());
        stored.sets[curve.dataset].push_back(std::move(curve));
    }
    return stored;
}

// The figures of every data set at every reading and read every 2nd, 3rd and 6th time.
inline std::vector<RealGrowthCurves::Figures>
figures(const std::map<std::string, std::vector<RealGrowthCurves::Curve>>& sets) {
    using namespace RealGrowthCurves;
    std::vector<Figures> all;
    for (const auto& [dataset, curves] : sets) {
        std::vector<Answer> atEveryReading;
        for (const auto& c : curves)
            atEveryReading.push_back(answerFor(c.readings));
        for (const int every : {1, 2, 3, 6}) {
            std::vector<Answer> answers;
            for (const auto& c : curves)
                answers.push_back(answerFor(everyKth(c.readings, every)));
            all.push_back(judge(dataset, every, curves, answers, atEveryReading));
        }
    }
    return all;
}

} // namespace RealGrowthFiles
