// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RecordTable.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

// Growth of a culture read from its OD curve: the steepest stretch of ln OD over time.
namespace GrowthAnalysis {

struct Point {
    double minutes = 0;
    double od = 0;
};

struct Settings {
    // Consecutive usable points in each least-squares window. 0 lets the curve choose: the
    // window then spans about 0.7 of the time the culture needs, at its steepest rate, to rise
    // from its lowest to its highest OD (at least 9 points). A fixed number below 3 is taken
    // as 3, the least that leaves a residual to judge the fit by.
    int windowPoints = 0;
    // Below this the photometer's noise swamps ln OD; such points are left out.
    double minimumOd = 0.02;
    // A window counts only when its slope is this many standard errors above zero, so that
    // noise on a flat curve does not pass for growth.
    double minimumTValue = 15;
};

// The 95 % interval of a rate, per hour.
struct Interval {
    double low = 0;
    double high = 0;
};

struct Result {
    bool growing = false;                 // false: "no growth", every number below is meaningless
    std::string reason;                   // why there is no answer where it is not a flat curve
    double maxRatePerHour = 0;            // slope of ln OD at the steepest stretch
    std::optional<Interval> rateInterval; // empty when the data leave no error to judge by
    double doublingMinutes = 0;           // ln 2 / rate
    double stretchStartMinutes = 0;
    double stretchEndMinutes = 0;
    // Where the tangent of the steepest stretch reaches ln of the initial OD, counted from
    // the initial point; empty when the initial OD is below the minimum or the tangent
    // reaches it before the initial point.
    std::optional<double> lagMinutes;
    int pointsUsed = 0;      // points with OD > 0 and at least the minimum OD
    double maximumOd = 0;    // the highest of those points
    int stretchReadings = 0; // the readings at or above the minimum OD within the stretch
    // Where the culture rose a second time after a pause; the figures above are of its
    // first rise, which is the culture's growth.
    std::optional<double> secondRiseMinutes;
    // How the rate was found: the growth model fitted to the whole curve ("logistic",
    // "Richards", "Gompertz", "Baranyi") or "window" (the steepest fitted window).
    std::string method;

    // Fewer readings than this within the stretch carry a rate only loosely.
    static constexpr int fewReadings = 5;
    bool fewReadingsInStretch() const { return growing && stretchReadings < fewReadings; }

    // The doubling times that belong to the rate's interval, shortest first.
    std::optional<std::pair<double, double>> doublingIntervalMinutes() const;
};

// The points in measurement order.
Result analyse(const std::vector<Point>& points, const Settings& settings = {});
Result analyse(const std::vector<RecordRow>& rows, const Settings& settings = {});

} // namespace GrowthAnalysis
