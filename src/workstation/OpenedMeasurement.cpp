#include "OpenedMeasurement.h"

#include "DisplayFormats.h"
#include "MeasurementFile.h"
#include "MeasurementFiles.h"
#include "lumo/Logger.h"

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

FlatTest testViewerFlat(const std::vector<RecordRow>& rows, ChartParameter parameter) {
    FlatTest test;
    if (rows.empty())
        return test;
    const auto value = [parameter](const RecordRow& row) {
        return static_cast<float>(parameter == ChartParameter::OD ? row.od : row.calcOd);
    };
    test.firstValue = value(rows.front());
    test.flat = true;
    for (const auto& row : rows) {
        const float v = value(row);
        if (v > test.firstValue + 0.01f || v < test.firstValue - 0.01f) {
            test.flat = false;
            break;
        }
    }
    return test;
}
