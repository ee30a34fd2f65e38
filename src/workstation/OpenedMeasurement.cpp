// SPDX-License-Identifier: GPL-3.0-or-later
#include "OpenedMeasurement.h"

#include "DisplayFormats.h"
#include "MeasurementFile.h"
#include "MeasurementFiles.h"
#include "lumo/Logger.h"

#include <cmath>
#include <exception>

OpenedMeasurement OpenedMeasurement::open(const QString& chosenPath,
                                          const GrowthAnalysis::Settings& growthSettings) {
    OpenedMeasurement opened;
    opened.chosenPath = chosenPath;
    using MeasurementFiles::replacedInFileName;
    opened.filePath =
        replacedInFileName(chosenPath, QStringLiteral(".nph"), {}) + QStringLiteral(".nph");
    opened.logPath =
        replacedInFileName(opened.filePath, QStringLiteral(".nph"), QStringLiteral(".log"));
    opened.statementPath =
        replacedInFileName(opened.logPath, QStringLiteral(".log"), QStringLiteral(".txt"));
    opened.fileLabel = chosenPath + QStringLiteral("    ");

    // A save that a crash cut short after writing every member is completed first, so the
    // set is read whole. Where it cannot be, the files are read as they lie.
    try {
        MeasurementFiles::finishInterruptedSave(FileSet::fromChosenName(chosenPath));
    } catch (const std::exception& e) {
        Talvessa::getLogStream() << "open: " << e.what() << std::endl;
    }
    // The table is the file as chosen; the derived name only names its companions.
    opened.rows = MeasurementFile::readRows(chosenPath);
    // A measurement saved before its first sample is still a measurement: it shows empty.
    if (!opened.rows.empty()) {
        opened.startDate = opened.rows.front().startDate;
        opened.startTime = opened.rows.front().startTime;
        opened.title = opened.rows.back().title;
        opened.duration = opened.rows.back().allTime;
    }
    opened.titleLine = chosenPath + QStringLiteral("    ") +
                       DisplayFormats::shortDateText(opened.startDate) + QStringLiteral("    ") +
                       DisplayFormats::longTimeText(opened.startTime) + QStringLiteral("    ") +
                       opened.title;
    opened.growth = GrowthAnalysis::analyse(opened.rows, growthSettings);
    return opened;
}

std::optional<std::pair<double, double>> chartPoint(const RecordRow& row,
                                                    ChartParameter parameter) {
    const double y = parameter == ChartParameter::OD ? row.od : row.calcOd;
    if (std::isnan(row.minutes) || std::isnan(y))
        return std::nullopt;
    return std::make_pair(row.minutes, y);
}

FlatTest testViewerFlat(const std::vector<RecordRow>& rows, ChartParameter parameter) {
    FlatTest test;
    // Only the points drawn count: a row without a value neither sets the band nor leaves it.
    bool first = true;
    for (const auto& row : rows) {
        const auto point = chartPoint(row, parameter);
        if (!point)
            continue;
        const auto v = static_cast<float>(point->second);
        if (first) {
            test.firstValue = v;
            test.flat = true;
            first = false;
        } else if (v > test.firstValue + 0.01f || v < test.firstValue - 0.01f) {
            test.flat = false;
            break;
        }
    }
    return test;
}
