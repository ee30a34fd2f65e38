// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the live chart shows and how its axes follow the samples.

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

enum class ChartParameter { OD, CalcOD };

// The chart's view state that decides the axis window after a sample.
struct ChartState {
    ChartParameter parameter = ChartParameter::OD;
    bool zoomed = false;
    bool traceMode = false;    // follow mode, started with "Trace" after a zoom
    double traceTimeSpan = 0;  // w: minutes shown in follow mode
    double traceValueSpan = 0; // v: value span shown in follow mode
};

// The axis window after one sample, as the chart is to apply it.
struct AxisWindow {
    bool changeLeft = false; // false: leave the value axis as it is
    bool leftAutomatic = false;
    double leftMinimum = 0, leftMaximum = 0;
    bool changeBottom = false; // false: leave the time axis as it is
    double bottomMinimum = 0, bottomMaximum = 0;
};

// What the axis window depends on, from the sampling cycle.
struct SampleWindowInput {
    double minutes = 0;
    double od = 0, calcOd = 0;
    double firstOd = 0, firstCalcOd = 0;
    bool odLeftStartWindow = false, calcOdLeftStartWindow = false;
};

AxisWindow sampleAxisWindow(const ChartState& chart, const SampleWindowInput& sample);

// The live chart's scaling state: the time window and value range of the scaling panel, and
// what the user's zoom left behind.
struct ChartScaling {
    double timeWindow = 0; // minutes; 0: the whole time range
    double deltaY = 0;     // half width of the value range of the value buttons
    double yCentre = 0;
    bool measurementStarted = false;
};

struct AxisRange {
    double minimum = 0, maximum = 0;
};

// The time axis for the time window pressed now: nothing (automatic) for the whole range,
// else the window ending just after the elapsed time.
std::optional<AxisRange> timeWindowRange(double timeWindow, std::int64_t elapsedMilliseconds);

// The value range of the value buttons; the centre follows the newest value once a
// measurement has started.
AxisRange valueButtonRange(ChartScaling& scaling, ChartParameter parameter, double od,
                           double calcOd);

// The zoom box's indicators for a zoomed time span (minutes) and value span.
QString zoomTimeSpanText(double spanMinutes);
QString zoomValueSpanText(double valueSpan);

// The time position of a note placed at a chart position, in whole thousandths of a minute.
float notePosition(double x);

// Whether the chart can take these limits.
bool validAxisRange(const AxisRange& range);

struct ChartPoint {
    double x = 0, y = 0;
};
enum class AveragePlacement { LastOfGroup, MiddleOfGroup };
// Each complete group of n consecutive points becomes one point: the mean value, placed at
// the group's last point (the OD curve) or at its middle (the CalcOD curve).
std::vector<ChartPoint> blockAverage(const std::vector<ChartPoint>& points, int n,
                                     AveragePlacement placement);
