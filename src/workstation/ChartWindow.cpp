// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartWindow.h"

#include "SampleValues.h"

#include <cmath>

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

std::optional<AxisRange> timeWindowRange(double timeWindow, std::int64_t elapsedMilliseconds) {
    if (timeWindow == 0)
        return std::nullopt;
    const auto e = SampleValues::splitElapsed(elapsedMilliseconds);
    // Single precision, then cut to 2 decimals: the window ends a hair after the newest time.
    const float now = static_cast<float>((e.days * 24 + e.hours) * 60 + e.minutes) +
                      static_cast<float>(e.seconds) / 60.0f;
    const double end = SampleValues::truncateDecimals(now, 2) + 0.001;
    return AxisRange{end - timeWindow, end};
}

AxisRange valueButtonRange(ChartScaling& scaling, ChartParameter parameter, double od,
                           double calcOd) {
    if (scaling.measurementStarted)
        scaling.yCentre = parameter == ChartParameter::OD ? od : calcOd;
    return AxisRange{scaling.yCentre - scaling.deltaY - 0.1,
                     scaling.yCentre + scaling.deltaY + 0.1};
}

QString zoomTimeSpanText(double spanMinutes) {
    const float span = static_cast<float>(spanMinutes);
    // Rounded to whole seconds first: 75.5 minutes are 4530 seconds, not 4529.9999.
    const long seconds = std::lround(static_cast<double>(span) * 60.0);
    const long h = seconds / 3600;
    const long m = (seconds - h * 3600) / 60;
    const long s = seconds - h * 3600 - m * 60;
    return QStringLiteral("%1:%2:%3")
        .arg(h)
        .arg(m, 2, 10, QLatin1Char('0'))
        .arg(s, 2, 10, QLatin1Char('0'));
}

QString zoomValueSpanText(double valueSpan) {
    const double half = valueSpan / 2;
    // Three significant digits, written with exactly three decimals.
    const double rounded = QString::number(half, 'g', 3).toDouble();
    return QStringLiteral("+/- ") + QString::number(rounded, 'f', 3);
}

float notePosition(double x) {
    return static_cast<float>(SampleValues::truncateDecimals(static_cast<float>(x), 3));
}

bool validAxisRange(const AxisRange& range) {
    return std::isfinite(range.minimum) && std::isfinite(range.maximum) &&
           range.minimum < range.maximum && std::fabs(range.minimum) < 1e9 &&
           std::fabs(range.maximum) < 1e9;
}

std::vector<ChartPoint> blockAverage(const std::vector<ChartPoint>& points, int n,
                                     AveragePlacement placement) {
    std::vector<ChartPoint> averaged;
    if (n < 1)
        return averaged;
    const std::size_t group = static_cast<std::size_t>(n);
    for (std::size_t first = 0; first + group <= points.size(); first += group) {
        const std::size_t last = first + group - 1;
        double sum = 0;
        for (std::size_t i = first; i <= last; ++i)
            sum += points[i].y;
        const double x = placement == AveragePlacement::LastOfGroup
                             ? points[last].x
                             : (points[first].x + points[last].x) / 2;
        averaged.push_back({x, sum / n});
    }
    return averaged;
}
