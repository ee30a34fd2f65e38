#pragma once

// What the live chart shows and how its axes follow the samples.

enum class ChartParameter { OD, CalcOD };

// The chart's view state that decides the axis window after a sample.
struct ChartState {
    ChartParameter parameter = ChartParameter::OD;
    bool zoomed = false;
    bool traceMode = false;     // follow mode, started with "Trace" after a zoom
    double traceTimeSpan = 0;   // w: minutes shown in follow mode
    double traceValueSpan = 0;  // v: value span shown in follow mode
};

// The axis window after one sample, as the chart is to apply it.
struct AxisWindow {
    bool changeLeft = false;    // false: leave the value axis as it is
    bool leftAutomatic = false;
    double leftMinimum = 0, leftMaximum = 0;
    bool changeBottom = false;  // false: leave the time axis as it is
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
