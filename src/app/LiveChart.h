// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "workstation/ChartWindow.h"
#include "workstation/RecordTable.h"

#include <QWidget>
#include <optional>
#include <vector>

class QCustomPlot;
class QCPGraph;
class QCPItemText;
class QCPItemLine;
class QCPTextElement;

// The live chart DBChart1: the working table's rows against the elapsed minutes, one quantity
// at a time, with the block-averaged curve, the newest-value mark and the note marks. It takes
// only the rows added since the last sample; Start, a note and a parameter switch reload it.
class LiveChart : public QWidget {
    Q_OBJECT
public:
    explicit LiveChart(RecordTable& table, QWidget* parent = nullptr);

    // Title line ("OD " + the profile's LED text) and the formula name for CalcOD.
    void setTitleLine(const QString& title);
    void setFormulaName(const QString& name);

    void setParameter(ChartParameter parameter);
    ChartParameter parameter() const { return shown_; }
    void setAveraging(std::optional<int> groupSize); // nothing: "Average OFF"
    void setGroupSize(int groupSize) { averagePeriod = groupSize; }
    std::optional<int> averaging() const;
    void setShowLabels(bool on);
    void setShowNotes(bool on);
    void setSmoothing(bool on);

    // Empties every series (Start).
    void clearSeries();
    // All rows again.
    void reload();
    // The rows added since the last read, then the sample's axis window and the newest mark.
    void appendNewRows(const AxisWindow& window, bool timeAxisAutomatic);
    // The newest-value mark for the last sample (none after a device error).
    void updateLastValueMark(bool measurementStarted, bool deviceError, double minutes, double od,
                             double calcOd);
    void reloadNoteMarks();

    // Axes, as the scaling panel and the zoom need them.
    AxisRange timeRange() const;
    AxisRange valueRange() const;
    void setTimeRange(const AxisRange& range);
    void setValueRange(const AxisRange& range);
    void rescaleTime();
    void rescaleValue();

    // What is drawn, for the window and its tests: the points, and the breaks in the line
    // where samples were taken without a row (the device did not answer).
    int pointCount() const;
    int gapCount() const { return gaps_; }
    std::vector<ChartPoint> averagedPoints() const;
    std::optional<ChartPoint> lastValueMark() const;
    QString lastValueMarkText() const;
    std::vector<std::pair<ChartPoint, QString>> noteMarks() const;
    QString titleText() const;

    QCustomPlot* plot() const { return customPlot_; }

private:
    struct Row {
        double number, minutes, od, calcOd;
        std::optional<double> smoothOd;
    };
    void addRows(const std::vector<ChartRow>& rows);
    void refreshCurves();
    void refreshTitle();
    void placeMarks();
    static constexpr int newestArrowPixels = 33; // Series41
    static constexpr int noteArrowPixels = 23;   // Series2

    RecordTable& table_;
    QCustomPlot* customPlot_;
    QCPGraph* seriesOd_;      // Series_Chart_OD
    QCPGraph* seriesCalcOd_;  // Series43
    QCPGraph* seriesSmooth_;  // Series3
    QCPGraph* averageOd_;     // Series11
    QCPGraph* averageCalcOd_; // Series48
    QCPItemText* lastMark_;   // Series41
    QCPItemLine* lastArrow_;
    std::vector<std::pair<QCPItemText*, QCPItemLine*>> notes_; // Series2
    QCPTextElement* title_;
    std::vector<Row> rows_;
    int gaps_ = 0; // breaks in the curves where samples have no row
    sqlite3_int64 lastRowId_ = 0;
    ChartParameter shown_ = ChartParameter::OD;
    bool averagingOn = false;
    int averagePeriod = 3;
    bool showLabels_ = false;
    bool showNotes_ = true;
    bool smoothing_ = false;
    QString titleLine_;
    QString formulaName_;
};
