#include "GrowthAnalysis.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <gsl/gsl_cdf.h>

namespace GrowthAnalysis {

namespace {

// A window's fit, read at the window's mean time.
struct Fit {
    double slope = 0;         // of ln OD, per hour
    double standardError = 0; // of the slope
    double centreHours = 0;
    double centreLn = 0; // fitted ln OD at the centre
};

// From this many points on, a window is fitted with a cubic: its bend takes up the curvature
// of a sigmoid curve around the steepest point, which flattens a straight line's slope the
// more the wider the window. Shorter windows cannot carry a cubic's noise.
constexpr std::size_t cubicFromPoints = 9;
// The rough rate that sizes an automatic window comes from straight lines over this many.
constexpr std::size_t pilotPoints = 9;
constexpr double automaticSpan = 0.7;

// Least squares of ln OD on a polynomial in time (degree 1 or 3) over points [first,
// first + count); nothing when the times do not spread enough to determine it.
std::optional<Fit> fitWindow(const std::vector<Point>& points, std::size_t first,
                             std::size_t count, int degree) {
    const std::size_t end = first + count;
    double centre = 0;
    for (std::size_t i = first; i < end; ++i)
        centre += points[i].minutes / 60;
    centre /= static_cast<double>(count);
    double halfSpan = 0;
    for (std::size_t i = first; i < end; ++i)
        halfSpan = std::max(halfSpan, std::abs(points[i].minutes / 60 - centre));
    if (!(halfSpan > 0))
        return std::nullopt;

    // Normal equations in x = (t - centre) / halfSpan, which keeps them well conditioned;
    // the right half holds the identity, giving the inverse for the slope's error.
    const int n = degree + 1;
    std::array<std::array<double, 9>, 4> m{};
    for (std::size_t i = first; i < end; ++i) {
        const double x = (points[i].minutes / 60 - centre) / halfSpan;
        const double y = std::log(points[i].od);
        double powers[4] = {1, x, x * x, x * x * x};
        for (int r = 0; r < n; ++r) {
            for (int c = 0; c < n; ++c)
                m[r][c] += powers[r] * powers[c];
            m[r][2 * n] += powers[r] * y;
        }
    }
    for (int r = 0; r < n; ++r)
        m[r][n + r] = 1;
    for (int c = 0; c < n; ++c) {
        int pivot = c;
        for (int r = c + 1; r < n; ++r)
            if (std::abs(m[r][c]) > std::abs(m[pivot][c]))
                pivot = r;
        // Too few distinct times for this degree.
        if (!(std::abs(m[pivot][c]) > 1e-9 * static_cast<double>(count)))
            return std::nullopt;
        std::swap(m[c], m[pivot]);
        for (int r = 0; r < n; ++r) {
            if (r == c)
                continue;
            const double factor = m[r][c] / m[c][c];
            for (int k = c; k <= 2 * n; ++k)
                m[r][k] -= factor * m[c][k];
        }
    }
    double coefficients[4] = {};
    for (int r = 0; r < n; ++r)
        coefficients[r] = m[r][2 * n] / m[r][r];
    const double slopeVariance = m[1][n + 1] / m[1][1]; // (X'X)^-1 for the slope

    double residuals = 0;
    for (std::size_t i = first; i < end; ++i) {
        const double x = (points[i].minutes / 60 - centre) / halfSpan;
        const double fitted =
            coefficients[0] + x * (coefficients[1] + x * (coefficients[2] + x * coefficients[3]));
        const double r = std::log(points[i].od) - fitted;
        residuals += r * r;
    }
    Fit fit;
    fit.slope = coefficients[1] / halfSpan;
    fit.standardError =
        std::sqrt(residuals / static_cast<double>(count - static_cast<std::size_t>(n)) *
                  std::max(slopeVariance, 0.0)) /
        halfSpan;
    fit.centreHours = centre;
    fit.centreLn = coefficients[0];
    return fit;
}

struct Steepest {
    Fit fit;
    std::size_t first = 0;
};

// The steepest significant window of the given size. Wide windows move in strides of a
// twentieth of their size: their slope changes little from one point to the next, and
// fitting every start would cost the size times the points.
std::optional<Steepest> steepestWindow(const std::vector<Point>& points, std::size_t window,
                                       int degree, double minimumTValue) {
    std::optional<Steepest> steepest;
    const std::size_t stride = std::max<std::size_t>(1, window / 20);
    const auto consider = [&](std::size_t first) {
        const auto fit = fitWindow(points, first, window, degree);
        if (!fit || !(fit->slope > 0))
            return;
        // An exact curve has no error; it is as significant as a fit can be, once its slope
        // is more than rounding (a doubling time of a million years is no growth).
        if (fit->standardError > 0 ? fit->slope < minimumTValue * fit->standardError
                                   : fit->slope < 1e-10)
            return;
        if (!steepest || fit->slope > steepest->fit.slope)
            steepest = Steepest{*fit, first};
    };
    for (std::size_t first = 0; first + window <= points.size(); first += stride)
        consider(first);
    if (stride > 1) {
        // Around the best stride, every start.
        if (!steepest)
            return steepest;
        const std::size_t best = steepest->first;
        const std::size_t from = best >= stride ? best - stride + 1 : 0;
        for (std::size_t first = from; first < best + stride && first + window <= points.size();
             ++first)
            consider(first);
    }
    return steepest;
}

int degreeFor(std::size_t window) {
    return window >= cubicFromPoints ? 3 : 1;
}

// Window size from the curve: a rough rate from straight lines, the rise from the lowest to
// the highest OD, and the typical time between points.
std::size_t automaticWindow(const std::vector<Point>& usable) {
    const std::size_t least = cubicFromPoints;
    if (usable.size() <= least)
        return least;
    const auto pilot = steepestWindow(usable, pilotPoints, 1, 0);
    if (!pilot)
        return least;
    const auto [lowest, highest] = std::minmax_element(
        usable.begin(), usable.end(), [](const Point& a, const Point& b) { return a.od < b.od; });
    const double rise = std::log(highest->od / lowest->od);
    std::vector<double> steps;
    for (std::size_t i = 1; i < usable.size(); ++i)
        steps.push_back((usable[i].minutes - usable[i - 1].minutes) / 60);
    std::nth_element(steps.begin(), steps.begin() + static_cast<long>(steps.size() / 2),
                     steps.end());
    const double step = steps[steps.size() / 2];
    if (!(step > 0))
        return least;
    const double points = automaticSpan * rise / pilot->fit.slope / step + 1;
    if (!std::isfinite(points) || points >= static_cast<double>(usable.size()))
        return usable.size();
    return std::max(least, static_cast<std::size_t>(std::lround(points)));
}

bool finite(const Point& p) {
    return std::isfinite(p.minutes) && std::isfinite(p.od);
}

} // namespace

Result analyse(const std::vector<Point>& points, const Settings& settings) {
    std::vector<Point> usable;
    for (const auto& p : points)
        if (finite(p) && p.od > 0 && p.od >= settings.minimumOd)
            usable.push_back(p);
    Result result;
    result.pointsUsed = static_cast<int>(usable.size());
    for (const auto& p : usable)
        result.maximumOd = std::max(result.maximumOd, p.od);
    if (usable.size() < 3)
        return result;
    const std::size_t window =
        settings.windowPoints > 0
            ? static_cast<std::size_t>(std::max(settings.windowPoints, 3))
            : automaticWindow(usable);
    if (usable.size() < window)
        return result;

    const auto steepest =
        steepestWindow(usable, window, degreeFor(window), settings.minimumTValue);
    if (!steepest)
        return result;
    const Fit& fit = steepest->fit;

    result.growing = true;
    result.method = "window";
    result.maxRatePerHour = fit.slope;
    if (fit.standardError > 0) {
        const double t = gsl_cdf_tdist_Pinv(0.975, static_cast<double>(window) -
                                                        (degreeFor(window) + 1));
        result.rateInterval = Interval{fit.slope - t * fit.standardError,
                                       fit.slope + t * fit.standardError};
    }
    result.doublingMinutes = std::log(2.0) / fit.slope * 60;
    result.stretchStartMinutes = usable[steepest->first].minutes;
    result.stretchEndMinutes = usable[steepest->first + window - 1].minutes;

    // The initial OD is the measurement's first positive reading; one below the minimum is
    // too noisy to anchor the tangent, and a later usable point would place the lag too late.
    const auto initial = std::find_if(points.begin(), points.end(),
                                      [](const Point& p) { return finite(p) && p.od > 0; });
    if (initial != points.end() && initial->od >= settings.minimumOd) {
        const double crossingHours =
            fit.centreHours + (std::log(initial->od) - fit.centreLn) / fit.slope;
        const double lag = crossingHours * 60 - initial->minutes;
        // An exact exponential from its first point meets it within rounding.
        if (lag >= -1e-6)
            result.lagMinutes = std::max(lag, 0.0);
    }
    return result;
}

std::optional<std::pair<double, double>> Result::doublingIntervalMinutes() const {
    if (!rateInterval || !(rateInterval->low > 0))
        return std::nullopt;
    return std::make_pair(std::log(2.0) / rateInterval->high * 60,
                          std::log(2.0) / rateInterval->low * 60);
}

Result analyse(const std::vector<RecordRow>& rows, const Settings& settings) {
    std::vector<Point> points;
    points.reserve(rows.size());
    for (const auto& row : rows)
        points.push_back({row.minutes, row.od});
    return analyse(points, settings);
}

} // namespace GrowthAnalysis
