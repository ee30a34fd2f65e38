#include "ChartWindow.h"

AxisWindow sampleAxisWindow(const ChartState& chart, const SampleWindowInput& sample) {
    AxisWindow window;
    const bool od = chart.parameter == ChartParameter::OD;
    if (!chart.zoomed) {
        // Until the curve leaves its start window the value axis stays on a fixed band
        // around the first sample, so the first noisy points do not fill the chart.
        window.changeLeft = true;
        if (od ? sample.odLeftStartWindow : sample.calcOdLeftStartWindow) {
            window.leftAutomatic = true;
        } else if (od) {
            window.leftMinimum = sample.firstOd - 0.02;
            window.leftMaximum = sample.firstOd + 0.1;
        } else {
            window.leftMinimum = sample.firstCalcOd - 0.2;
            window.leftMaximum = sample.firstCalcOd + 1.0;
        }
        return window;
    }
    if (!chart.traceMode)
        return window;
    window.changeBottom = true;
    window.bottomMinimum = sample.minutes - chart.traceTimeSpan;
    window.bottomMaximum = sample.minutes;
    if (!(window.bottomMinimum < window.bottomMaximum))
        window.bottomMaximum = sample.minutes - chart.traceTimeSpan + 0.01;
    const double p = od ? sample.od : sample.calcOd;
    window.changeLeft = true;
    window.leftMinimum = p - chart.traceValueSpan / 2;
    window.leftMaximum = p + chart.traceValueSpan / 2;
    return window;
}
