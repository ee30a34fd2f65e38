#include "GrowthAnalysis.h"

#include <algorithm>
#include <cmath>

namespace GrowthAnalysis {

namespace {

struct Line {
    double slope = 0;         // per hour
    double standardError = 0; // of the slope
    double meanHours = 0;
    double meanLn = 0;
};

// Least squares of ln OD on time in hours; nothing when the times do not spread.
std::optional<Line> fitLine(const std::vector<Point>& points, std::size_t first,
                            std::size_t count) {
    Line line;
    for (std::size_t i = first; i < first + count; ++i) {
        line.meanHours += points[i].minutes / 60;
        line.meanLn += std::log(points[i].od);
    }
    line.meanHours /= static_cast<double>(count);
    line.meanLn /= static_cast<double>(count);
    double sxx = 0;
    double sxy = 0;
    for (std::size_t i = first; i < first + count; ++i) {
        const double dx = points[i].minutes / 60 - line.meanHours;
        sxx += dx * dx;
        sxy += dx * (std::log(points[i].od) - line.meanLn);
    }
    if (!(sxx > 0))
        return std::nullopt;
    line.slope = sxy / sxx;
    double residuals = 0;
    for (std::size_t i = first; i < first + count; ++i) {
        const double r = std::log(points[i].od) - line.meanLn -
                         line.slope * (points[i].minutes / 60 - line.meanHours);
        residuals += r * r;
    }
    line.standardError = std::sqrt(residuals / static_cast<double>(count - 2) / sxx);
    return line;
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
    const std::size_t window = static_cast<std::size_t>(std::max(settings.windowPoints, 3));
    if (usable.size() < window)
        return result;

    std::optional<Line> steepest;
    std::size_t steepestFirst = 0;
    for (std::size_t first = 0; first + window <= usable.size(); ++first) {
        const auto line = fitLine(usable, first, window);
        if (!line || !(line->slope > 0))
            continue;
        // An exact line has no error; it is as significant as a fit can be.
        if (line->standardError > 0 && line->slope < settings.minimumTValue * line->standardError)
            continue;
        if (!steepest || line->slope > steepest->slope) {
            steepest = line;
            steepestFirst = first;
        }
    }
    if (!steepest)
        return result;

    result.growing = true;
    result.maxRatePerHour = steepest->slope;
    result.doublingMinutes = std::log(2.0) / steepest->slope * 60;
    result.stretchStartMinutes = usable[steepestFirst].minutes;
    result.stretchEndMinutes = usable[steepestFirst + window - 1].minutes;

    // The initial OD is the measurement's first positive reading; one below the minimum is
    // too noisy to anchor the tangent, and a later usable point would place the lag too late.
    const auto initial = std::find_if(points.begin(), points.end(),
                                      [](const Point& p) { return finite(p) && p.od > 0; });
    if (initial != points.end() && initial->od >= settings.minimumOd) {
        const double crossingHours =
            steepest->meanHours + (std::log(initial->od) - steepest->meanLn) / steepest->slope;
        const double lag = crossingHours * 60 - initial->minutes;
        // An exact exponential from its first point meets it within rounding.
        if (lag >= -1e-6)
            result.lagMinutes = std::max(lag, 0.0);
    }
    return result;
}

Result analyse(const std::vector<RecordRow>& rows, const Settings& settings) {
    std::vector<Point> points;
    points.reserve(rows.size());
    for (const auto& row : rows)
        points.push_back({row.minutes, row.od});
    return analyse(points, settings);
}

} // namespace GrowthAnalysis
