// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ChartWindow.h"
#include "GrowthAnalysis.h"
#include "RecordTable.h"

#include <QDate>
#include <QString>
#include <QTime>
#include <optional>
#include <utility>
#include <vector>

// A saved measurement as the viewer opened it: its file set, the values the viewer, the
// report and the exports show, and its rows.
struct OpenedMeasurement {
    QString chosenPath;    // as the user chose it
    QString filePath;      // every ".nph" of the file name removed, then ".nph" appended
    QString logPath;       // ".nph" of the file name replaced by ".log" (letter case matters)
    QString statementPath; // ".log" replaced by ".txt"
    QString fileLabel;     // the chosen path and four blanks
    QDate startDate;       // of the first row
    QTime startTime;
    QString title;     // of the last row
    QTime duration;    // AllTime of the last row
    QString titleLine; // the viewer chart's title
    std::vector<RecordRow> rows;
    GrowthAnalysis::Result growth; // of the OD curve

    // Reads a measurement file; a file that is no measurement table throws. A table without
    // rows opens with empty values.
    static OpenedMeasurement open(const QString& chosenPath,
                                  const GrowthAnalysis::Settings& growthSettings = {});
};

// The point a row gives a chart of the quantity: x = Minutes; nothing where either value is
// empty, so that a gap in a file is left out rather than drawn at 0.
std::optional<std::pair<double, double>> chartPoint(const RecordRow& row, ChartParameter parameter);

// Whether every value of a quantity lies within +/- 0.01 of the first (single precision).
struct FlatTest {
    float firstValue = 0;
    bool flat = false;
};
FlatTest testViewerFlat(const std::vector<RecordRow>& rows, ChartParameter parameter);
