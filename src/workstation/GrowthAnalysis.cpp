// SPDX-License-Identifier: GPL-3.0-or-later
#include "GrowthAnalysis.h"

#include "GrowthModelFit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <gsl/gsl_cdf.h>
#include <iterator>
#include <limits>

namespace GrowthAnalysis {

namespace {

// A window's fit, read at the window's mean time.
struct Fit {
    double slope = 0;         // of ln OD, per hour
    double standardError = 0; // of the slope
    double centreHours = 0;
    double centreLn = 0;   // fitted ln OD at the centre
    double noiseError = 0; // of the slope, from the readings' noise alone (straight lines)
};

// From this many points on, a window is fitted with a cubic: its bend takes up the curvature
// of a sigmoid curve around the steepest point, which flattens a straight line's slope the
// more the wider the window. Shorter windows cannot carry a cubic's noise.
constexpr std::size_t cubicFromPoints = 9;
// The rough rate that sizes an automatic window comes from straight lines over this many.
constexpr std::size_t pilotPoints = 9;
constexpr double automaticSpan = 0.7;
// Straight lines bend with the curve less than cubics: they span a third of the rise.
constexpr double seldomSpan = 0.35;

// Least squares of ln OD on a polynomial in time (degree 1 or 3) over points [first,
// first + count); nothing when the times do not spread enough to determine it.
std::optional<Fit> fitWindow(const std::vector<Point>& points, std::size_t first, std::size_t count,
                             int degree) {
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
    const std::size_t n = static_cast<std::size_t>(degree) + 1;
    std::array<std::array<double, 9>, 4> m{};
    for (std::size_t i = first; i < end; ++i) {
        const double x = (points[i].minutes / 60 - centre) / halfSpan;
        const double y = std::log(points[i].od);
        double powers[4] = {1, x, x * x, x * x * x};
        for (std::size_t r = 0; r < n; ++r) {
            for (std::size_t c = 0; c < n; ++c)
                m[r][c] += powers[r] * powers[c];
            m[r][2 * n] += powers[r] * y;
        }
    }
    for (std::size_t r = 0; r < n; ++r)
        m[r][n + r] = 1;
    for (std::size_t c = 0; c < n; ++c) {
        std::size_t pivot = c;
        for (std::size_t r = c + 1; r < n; ++r)
            if (std::abs(m[r][c]) > std::abs(m[pivot][c]))
                pivot = r;
        // Too few distinct times for this degree.
        if (!(std::abs(m[pivot][c]) > 1e-9 * static_cast<double>(count)))
            return std::nullopt;
        std::swap(m[c], m[pivot]);
        for (std::size_t r = 0; r < n; ++r) {
            if (r == c)
                continue;
            const double factor = m[r][c] / m[c][c];
            for (std::size_t k = c; k <= 2 * n; ++k)
                m[r][k] -= factor * m[c][k];
        }
    }
    double coefficients[4] = {};
    for (std::size_t r = 0; r < n; ++r)
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

// The typical time between readings, in hours.
double typicalStepHours(const std::vector<Point>& usable) {
    std::vector<double> steps;
    for (std::size_t i = 1; i < usable.size(); ++i)
        steps.push_back((usable[i].minutes - usable[i - 1].minutes) / 60);
    if (steps.empty())
        return 0;
    std::nth_element(steps.begin(), steps.begin() + static_cast<long>(steps.size() / 2),
                     steps.end());
    return steps[steps.size() / 2];
}

// How many readings span the given share of the time the culture needs, at its steepest
// rate, to rise from its lowest to its highest OD. The rough rate comes from straight lines
// over about an hour of readings: wider ones would flatten the rate of a culture read
// seldom, and so make its window wider still. NaN when the curve shows no rise to size by.
double windowSpanPoints(const std::vector<Point>& usable, double share = automaticSpan) {
    const double step = typicalStepHours(usable);
    if (!(step > 0) || usable.size() < 3)
        return NAN;
    const auto pilotSize = static_cast<std::size_t>(
        step > 1 ? 2L : std::clamp(std::lround(1 / step) + 1, 3L, static_cast<long>(pilotPoints)));
    const auto pilot = steepestWindow(usable, std::min(pilotSize, usable.size()), 1, 0);
    if (!pilot)
        return NAN;
    const auto [lowest, highest] = std::minmax_element(
        usable.begin(), usable.end(), [](const Point& a, const Point& b) { return a.od < b.od; });
    const double rise = std::log(highest->od / lowest->od);
    return share * rise / pilot->fit.slope / step + 1;
}

// Window size from the curve, for the cubic windows of densely read curves.
std::size_t automaticWindow(const std::vector<Point>& usable) {
    const std::size_t least = cubicFromPoints;
    if (usable.size() <= least)
        return least;
    const double points = windowSpanPoints(usable);
    if (!std::isfinite(points) || points >= static_cast<double>(usable.size()))
        return usable.size();
    return std::max(least, static_cast<std::size_t>(std::lround(points)));
}

bool finite(const Point& p) {
    return std::isfinite(p.minutes) && std::isfinite(p.od);
}

} // namespace

namespace {

// The steepest window of ln OD: the analysis asked for with a fixed window, the gate that
// tells growth from none, and the answer where no growth model fits the curve.
std::vector<Point> usablePoints(const std::vector<Point>& points, const Settings& settings) {
    std::vector<Point> usable;
    for (const auto& p : points)
        if (finite(p) && p.od > 0 && p.od >= settings.minimumOd)
            usable.push_back(p);
    return usable;
}

// How many points the analysis can use, and the highest OD among them.
void countUsable(const std::vector<Point>& usable, Result& result) {
    result.pointsUsed = static_cast<int>(usable.size());
    result.maximumOd = 0;
    for (const auto& p : usable)
        result.maximumOd = std::max(result.maximumOd, p.od);
}

// Where the culture starts: the time of the first positive reading and the OD the lag's
// tangent is drawn to. A first reading at or above the minimum OD is that OD; one below it is
// too noisy alone, so the culture starts at the median of its readings of the first hour (at
// most three): later ones may already have grown.
std::optional<Point> initialLevel(const std::vector<Point>& points, const Settings& settings) {
    std::vector<Point> first;
    for (const auto& p : points)
        if (finite(p) && p.od > 0 && first.size() < 3 &&
            (first.empty() || p.minutes - first.front().minutes <= 60))
            first.push_back(p);
    if (first.empty())
        return std::nullopt;
    if (first.front().od >= settings.minimumOd)
        return first.front();
    std::vector<double> ods;
    ods.reserve(first.size());
    for (const auto& p : first)
        ods.push_back(p.od);
    std::sort(ods.begin(), ods.end());
    const std::size_t n = ods.size();
    return Point{first.front().minutes, n % 2 ? ods[n / 2] : (ods[n / 2 - 1] + ods[n / 2]) / 2};
}

// The doubling time, stretch and lag of the steepest window: the lag where its tangent meets
// the culture's start, none when it meets it more than the tolerance (minutes) before.
void takeWindow(Result& result, const std::vector<Point>& points, const Settings& settings,
                const std::vector<Point>& usable, const Steepest& steepest, std::size_t window,
                double toleranceMinutes) {
    const Fit& fit = steepest.fit;
    result.doublingMinutes = std::log(2.0) / fit.slope * 60;
    result.stretchStartMinutes = usable[steepest.first].minutes;
    result.stretchEndMinutes = usable[steepest.first + window - 1].minutes;
    if (const auto initial = initialLevel(points, settings)) {
        const double crossingHours =
            fit.centreHours + (std::log(initial->od) - fit.centreLn) / fit.slope;
        const double lag = crossingHours * 60 - initial->minutes;
        if (lag >= -toleranceMinutes)
            result.lagMinutes = std::max(lag, 0.0);
    }
}

Result windowAnalysis(const std::vector<Point>& points, const Settings& settings) {
    const auto usable = usablePoints(points, settings);
    Result result;
    countUsable(usable, result);
    if (usable.size() < 3)
        return result;
    const std::size_t window = settings.windowPoints > 0
                                   ? static_cast<std::size_t>(std::max(settings.windowPoints, 3))
                                   : automaticWindow(usable);
    if (usable.size() < window)
        return result;

    const auto steepest = steepestWindow(usable, window, degreeFor(window), settings.minimumTValue);
    if (!steepest)
        return result;
    const Fit& fit = steepest->fit;

    result.growing = true;
    result.method = "window";
    result.maxRatePerHour = fit.slope;
    if (fit.standardError > 0) {
        const double t =
            gsl_cdf_tdist_Pinv(0.975, static_cast<double>(window) - (degreeFor(window) + 1));
        result.rateInterval =
            Interval{fit.slope - t * fit.standardError, fit.slope + t * fit.standardError};
    }
    // An exact exponential from its first point meets it within rounding.
    takeWindow(result, points, settings, usable, *steepest, window, 1e-6);
    return result;
}

} // namespace

std::optional<std::pair<double, double>> Result::doublingIntervalMinutes() const {
    if (!rateInterval || !(rateInterval->low > 0))
        return std::nullopt;
    return std::make_pair(std::log(2.0) / rateInterval->high * 60,
                          std::log(2.0) / rateInterval->low * 60);
}

namespace {

// The grid OD values were cut to (0.001 for three decimals), or 0 when they lie on none.
// A reading cut toward zero lies on average half a step below the OD it stands for.
double truncationStep(const std::vector<GrowthModelFit::Sample>& samples) {
    for (int decimals = 1; decimals <= 5; ++decimals) {
        const double step = std::pow(10.0, -decimals);
        const bool onGrid = std::all_of(samples.begin(), samples.end(), [&](const auto& s) {
            const double units = s.od / step;
            return std::abs(units - std::round(units)) < 1e-6 * std::max(1.0, units);
        });
        if (onGrid)
            return step;
    }
    return 0;
}

// The noise of the readings, from their second differences: a smooth curve sampled densely
// leaves little else in them. It errs high where the curve bends sharply between readings,
// which only makes the judgement of a fit more lenient.
double readingNoise(const std::vector<GrowthModelFit::Sample>& samples) {
    if (samples.size() < 3)
        return 0;
    double sum = 0;
    for (std::size_t i = 1; i + 1 < samples.size(); ++i) {
        const double d = samples[i + 1].od - 2 * samples[i].od + samples[i - 1].od;
        sum += d * d;
    }
    return std::sqrt(sum / (6.0 * static_cast<double>(samples.size() - 2)));
}

// Long runs read densely carry more readings than a curve needs: consecutive groups averaged
// into their means keep its shape and shed most of the noise.
std::vector<Point> groupedMeans(const std::vector<Point>& points, std::size_t groups) {
    std::vector<Point> means;
    for (std::size_t g = 0; g < groups; ++g) {
        const std::size_t from = points.size() * g / groups;
        const std::size_t to = points.size() * (g + 1) / groups;
        Point mean;
        for (std::size_t k = from; k < to; ++k) {
            mean.minutes += points[k].minutes;
            mean.od += points[k].od;
        }
        mean.minutes /= static_cast<double>(to - from);
        mean.od /= static_cast<double>(to - from);
        means.push_back(mean);
    }
    return means;
}

// The readings the growth models are fitted to: every finite positive reading, in hours from
// the first, up to where the curve starts to fall from its highest level (a culture's decline
// is none of the models' business). Long runs are averaged into consecutive groups.
std::vector<GrowthModelFit::Sample> fittedSamples(const std::vector<Point>& points,
                                                  double& startMinutes) {
    std::vector<Point> kept;
    for (const auto& p : points)
        if (finite(p) && p.od > 0)
            kept.push_back(p);
    startMinutes = kept.empty() ? 0 : kept.front().minutes;
    if (kept.size() >= 8) {
        const auto smoothed = [&](std::size_t i) {
            const std::size_t from = i >= 2 ? i - 2 : 0;
            const std::size_t to = std::min(kept.size() - 1, i + 2);
            double sum = 0;
            for (std::size_t k = from; k <= to; ++k)
                sum += kept[k].od;
            return sum / static_cast<double>(to - from + 1);
        };
        std::size_t highest = 0;
        double highestLevel = smoothed(0);
        for (std::size_t i = 1; i < kept.size(); ++i)
            if (smoothed(i) > highestLevel) {
                highestLevel = smoothed(i);
                highest = i;
            }
        std::size_t end = highest + 1;
        while (end < kept.size() && smoothed(end) >= 0.95 * highestLevel)
            ++end;
        kept.resize(end);
    }

    constexpr std::size_t mostSamples = 300;
    constexpr std::size_t groups = 200;
    if (kept.size() > mostSamples)
        kept = groupedMeans(kept, groups);
    std::vector<GrowthModelFit::Sample> samples;
    samples.reserve(kept.size());
    for (const auto& p : kept)
        samples.push_back({(p.minutes - startMinutes) / 60, p.od});
    return samples;
}

double median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2),
                     values.end());
    return values[values.size() / 2];
}

// Every growth model fitted from starting points around the window's answer. The rate is
// their average weighted by how well each fits (Akaike weights), and its standard error
// takes in how far the models disagree: a curve that two models fit about equally well
// should not be answered as if one of them were sure. The curve of the best model places
// the steepest point.
struct ChosenFit {
    GrowthModelFit::Fit fit;   // the best model
    GrowthModelFit::Rate rate; // its steepest point, with the averaged rate and error
};
std::optional<ChosenFit> bestModel(const std::vector<GrowthModelFit::Sample>& samples,
                                   const Result& window) {
    std::vector<double> firstOds;
    for (std::size_t i = 0; i < std::min<std::size_t>(3, samples.size()); ++i)
        firstOds.push_back(samples[i].od);
    const double od0 = std::max(median(firstOds), 1e-3);
    double plateau = 0;
    for (const auto& s : samples)
        plateau = std::max(plateau, s.od);
    plateau = std::max(plateau, 1.5 * od0);
    const double rate = window.maxRatePerHour;
    // The window's lag counts from the first positive reading, as the hours here do.
    const double lag = window.lagMinutes ? *window.lagMinutes / 60 : 0.0;
    const double end = samples.back().hours;

    std::vector<ChosenFit> fits;
    for (const auto& model : GrowthModels::all()) {
        // A lag started at nothing can stay there: Baranyi's lag has no slope at zero. The
        // Richards shape starts as the logistic's.
        const auto start =
            GrowthModels::startingPoint(model.kind, od0, plateau, rate, std::max(lag, 0.25));
        const auto bestOfModel = GrowthModelFit::fit(model, samples, start);
        if (!bestOfModel)
            continue;
        const auto steepest = GrowthModelFit::steepestRate(*bestOfModel, 0, end);
        if (std::isfinite(steepest.steepest.rate) && steepest.steepest.rate > 0 &&
            std::isfinite(steepest.standardError))
            fits.push_back({*bestOfModel, steepest});
    }
    if (fits.empty())
        return std::nullopt;
    const auto best = std::min_element(fits.begin(), fits.end(), [](const auto& a, const auto& b) {
        return a.fit.informationCriterion() < b.fit.informationCriterion();
    });
    std::vector<double> weights;
    double weightSum = 0;
    double averaged = 0;
    for (const auto& f : fits) {
        weights.push_back(
            std::exp(-(f.fit.informationCriterion() - best->fit.informationCriterion()) / 2));
        weightSum += weights.back();
        averaged += weights.back() * f.rate.steepest.rate;
    }
    averaged /= weightSum;
    double error = 0;
    for (std::size_t i = 0; i < fits.size(); ++i) {
        const double apart = fits[i].rate.steepest.rate - averaged;
        const double se = fits[i].rate.standardError;
        error += weights[i] / weightSum * std::sqrt(se * se + apart * apart);
    }
    ChosenFit chosen = *best;
    chosen.rate.steepest.rate = averaged;
    chosen.rate.standardError = error;
    return chosen;
}

// The growth model that fits the whole curve best, when one fits it as closely as the
// readings' noise allows; its steepest point then holds wherever it lies, at the start,
// in the middle or just before the plateau.
std::optional<Result> modelAnalysis(const std::vector<Point>& points, const Settings& settings,
                                    const Result& window) {
    double startMinutes = 0;
    auto samples = fittedSamples(points, startMinutes);
    if (samples.size() < 8)
        return std::nullopt;
    const double noise = readingNoise(samples);
    const double step = truncationStep(samples);
    if (step > 0 && step <= 0.01)
        for (auto& s : samples)
            s.od += step / 2;
    const auto chosen = bestModel(samples, window);
    if (!chosen || chosen->fit.residualStandardDeviation() > 2 * noise + 0.001)
        return std::nullopt;

    const auto kind = chosen->fit.model.kind;
    const auto& p = chosen->fit.parameters;
    const double end = samples.back().hours;
    const auto& steepest = chosen->rate.steepest;
    Result result = window;
    result.method = chosen->fit.model.name;
    result.maxRatePerHour = steepest.rate;
    result.doublingMinutes = std::log(2.0) / steepest.rate * 60;
    result.rateInterval.reset();
    if (std::isfinite(chosen->rate.standardError)) {
        const double t = gsl_cdf_tdist_Pinv(
            0.975, static_cast<double>(chosen->fit.points - chosen->fit.model.parameterCount));
        const double half = t * chosen->rate.standardError;
        result.rateInterval = Interval{std::max(0.0, steepest.rate - half), steepest.rate + half};
    }

    // The stretch: where the fitted curve rises at 90 % of its steepest rate or more.
    constexpr int gridPoints = 1000;
    const auto hourAt = [&](int i) { return end * i / gridPoints; };
    int steepestIndex = static_cast<int>(std::lround(steepest.time / end * gridPoints));
    int first = steepestIndex;
    int last = steepestIndex;
    while (first > 0 && GrowthModels::lnSlope(kind, p, hourAt(first - 1)) >= 0.9 * steepest.rate)
        --first;
    while (last < gridPoints &&
           GrowthModels::lnSlope(kind, p, hourAt(last + 1)) >= 0.9 * steepest.rate)
        ++last;
    result.stretchStartMinutes = startMinutes + std::min(hourAt(first), steepest.time) * 60;
    result.stretchEndMinutes = startMinutes + std::max(hourAt(last), steepest.time) * 60;

    // The lag: where the tangent at the steepest point meets ln of the initial OD.
    result.lagMinutes.reset();
    if (const auto initial = initialLevel(points, settings)) {
        const double crossingHours =
            steepest.time -
            (GrowthModels::lnOd(kind, p, steepest.time) - std::log(initial->od)) / steepest.rate;
        const double lag = startMinutes + crossingHours * 60 - initial->minutes;
        std::vector<double> steps;
        for (std::size_t i = 1; i < samples.size(); ++i)
            steps.push_back((samples[i].hours - samples[i - 1].hours) * 60);
        // A tangent that meets the initial OD a little before the first reading is a lag of
        // none within the readings' noise.
        if (lag >= -median(steps))
            result.lagMinutes = std::max(lag, 0.0);
    }
    return result;
}

// ---- Curves read seldom: a few readings carry the growth phase.

// The noise of the readings in OD: the typical distance of a reading from the line through
// its neighbours, taken as a median so that the few readings where the curve bends do not
// count; never below the rounding of the stored values.
double odNoise(const std::vector<Point>& positive) {
    std::vector<double> distances;
    for (std::size_t i = 1; i + 1 < positive.size(); ++i) {
        const double span = positive[i + 1].minutes - positive[i - 1].minutes;
        if (!(span > 0))
            continue;
        const double after = (positive[i].minutes - positive[i - 1].minutes) / span;
        const double line = positive[i - 1].od + after * (positive[i + 1].od - positive[i - 1].od);
        // The distance mixes the reading's own noise with its neighbours'.
        const double mix = std::sqrt(1 + after * after + (1 - after) * (1 - after));
        distances.push_back(std::abs(positive[i].od - line) / mix);
    }
    std::vector<GrowthModelFit::Sample> samples;
    samples.reserve(positive.size());
    for (const auto& p : positive)
        samples.push_back({p.minutes / 60, p.od});
    const double rounding = truncationStep(samples) / std::sqrt(12.0);
    if (distances.empty())
        return rounding;
    // The median absolute deviation of a normal distribution is 0.6745 of its deviation.
    double noise = median(distances) / 0.6745;
    // A handful of readings across a whole culture cannot tell noise from the curve's bend;
    // a photometer is rarely noisier than this.
    constexpr std::size_t fewReadings = 12;
    constexpr double usualNoise = 0.003;
    if (distances.size() < fewReadings)
        noise = std::min(noise, usualNoise);
    return std::max(noise, rounding);
}

// ln OD's noise at a reading: the OD noise, and a small share of the OD itself that no
// photometer reads better than.
double lnNoise(double od, double noise) {
    constexpr double relative = 0.002;
    return std::sqrt(noise * noise + relative * relative * od * od) / od;
}

// A straight line through ln OD over points [first, first + count), each weighted by the
// noise of its ln OD. Its error is the one the noise gives, widened where the points
// scatter more than the noise says.
std::optional<Fit> fitLine(const std::vector<Point>& points, std::size_t first, std::size_t count,
                           double noise) {
    double weights = 0, meanT = 0, meanY = 0;
    for (std::size_t i = first; i < first + count; ++i) {
        const double w = 1 / std::pow(lnNoise(points[i].od, noise), 2);
        weights += w;
        meanT += w * points[i].minutes / 60;
        meanY += w * std::log(points[i].od);
    }
    meanT /= weights;
    meanY /= weights;
    double sxx = 0, sxy = 0;
    for (std::size_t i = first; i < first + count; ++i) {
        const double w = 1 / std::pow(lnNoise(points[i].od, noise), 2);
        const double dt = points[i].minutes / 60 - meanT;
        sxx += w * dt * dt;
        sxy += w * dt * (std::log(points[i].od) - meanY);
    }
    if (!(sxx > 0))
        return std::nullopt;
    Fit fit;
    fit.slope = sxy / sxx;
    fit.centreHours = meanT;
    fit.centreLn = meanY;
    fit.noiseError = std::sqrt(1 / sxx);
    double scatter = 1;
    if (count > 2) {
        double squares = 0;
        for (std::size_t i = first; i < first + count; ++i) {
            const double w = 1 / std::pow(lnNoise(points[i].od, noise), 2);
            const double r =
                std::log(points[i].od) - meanY - fit.slope * (points[i].minutes / 60 - meanT);
            squares += w * r * r;
        }
        scatter = std::max(1.0, squares / static_cast<double>(count - 2));
    }
    fit.standardError = std::sqrt(scatter / sxx);
    return fit;
}

// How many times its OD the culture rises at the most, from the lowest level before to the
// highest, levels below the minimum OD counted as the minimum. Each level is the median of
// a reading and its neighbours, so that one stray reading does not make a rise.
double riseFold(const std::vector<Point>& positive, double minimumOd) {
    double lowest = std::numeric_limits<double>::infinity();
    double rise = 1;
    for (std::size_t i = 0; i < positive.size(); ++i) {
        double level = positive[i].od;
        if (i > 0 && i + 1 < positive.size()) {
            std::array<double, 3> three = {positive[i - 1].od, positive[i].od, positive[i + 1].od};
            std::sort(three.begin(), three.end());
            level = three[1];
        }
        level = std::max(level, minimumOd);
        lowest = std::min(lowest, level);
        rise = std::max(rise, level / lowest);
    }
    return rise;
}

// A culture read seldom counts as growing only once its OD rises by half: a few readings
// can show a slope well above their noise on a well that merely drifts.
constexpr double seldomMinimumRise = 1.5;

// A slope counts as growth when it stands this many of its errors above zero.
constexpr double seldomMinimumZ = 4;

std::optional<Steepest> steepestLine(const std::vector<Point>& usable, std::size_t window,
                                     double noise) {
    std::optional<Steepest> steepest;
    for (std::size_t first = 0; first + window <= usable.size(); ++first) {
        const auto fit = fitLine(usable, first, window, noise);
        if (!fit || !(fit->slope > seldomMinimumZ * fit->noiseError))
            continue;
        if (!steepest || fit->slope > steepest->fit.slope)
            steepest = Steepest{*fit, first};
    }
    return steepest;
}

// The rate from straight lines over a few readings, for curves whose growth phase holds too
// few readings for the cubic windows: the window spans about a third of the growth phase,
// at least two readings. Its interval takes in how much the rate depends on the window's
// size: one reading more or less.
std::optional<Result> seldomAnalysis(const std::vector<Point>& points, const Settings& settings,
                                     const std::vector<Point>& usable) {
    std::vector<Point> positive;
    for (const auto& p : points)
        if (finite(p) && p.od > 0)
            positive.push_back(p);
    if (riseFold(positive, settings.minimumOd) < seldomMinimumRise)
        return std::nullopt;
    const double noise = odNoise(positive);
    const double span = windowSpanPoints(usable, seldomSpan);
    if (!std::isfinite(span) || usable.size() < 2)
        return std::nullopt;
    // Two readings make a line only where they lie hours apart; closer ones take a third.
    const long least = typicalStepHours(usable) > 1 ? 2L : 3L;
    if (usable.size() < static_cast<std::size_t>(least))
        return std::nullopt;
    const auto window = static_cast<std::size_t>(
        std::clamp(std::lround(span), least, static_cast<long>(usable.size())));
    const auto steepest = steepestLine(usable, window, noise);
    if (!steepest)
        return std::nullopt;
    const Fit& fit = steepest->fit;
    Result result;
    countUsable(usable, result);
    result.growing = true;
    result.method = "window";
    result.maxRatePerHour = fit.slope;
    // How much the rate depends on the window: one reading more or less, half as long again,
    // or moved by one reading to either side.
    double spread = 0;
    for (const std::size_t other : {window - 1, window + 1, window * 3 / 2}) {
        if (other < static_cast<std::size_t>(least) || other > usable.size() || other == window)
            continue;
        if (const auto alternative = steepestLine(usable, other, noise))
            spread = std::max(spread, std::abs(alternative->fit.slope - fit.slope));
    }
    for (const std::size_t first : {steepest->first - 1, steepest->first + 1}) {
        if (first > usable.size() || first + window > usable.size())
            continue;
        if (const auto moved = fitLine(usable, first, window, noise))
            spread = std::max(spread, std::abs(moved->slope - fit.slope));
    }
    const double half = 1.96 * std::hypot(fit.standardError, spread);
    result.rateInterval = Interval{fit.slope - half, fit.slope + half};
    // A tangent that meets the start a little before the first reading is no lag.
    takeWindow(result, points, settings, usable, *steepest, window, 60 * typicalStepHours(usable));
    return result;
}

// ---- What the readings themselves show.

// The steepest slope of ln OD the readings show over any hour: straight lines through the
// readings of each stretch of at most an hour, or through two neighbours that lie further
// apart. A rate above it would stand where no readings stand.
double steepestHourSlope(const std::vector<Point>& usable) {
    double steepest = 0;
    for (std::size_t first = 0; first + 1 < usable.size(); ++first) {
        std::size_t end = first + 2;
        while (end < usable.size() && usable[end].minutes - usable[first].minutes <= 60 + 1e-6)
            ++end;
        double meanT = 0, meanY = 0;
        const double n = static_cast<double>(end - first);
        for (std::size_t i = first; i < end; ++i) {
            meanT += usable[i].minutes / 60 / n;
            meanY += std::log(usable[i].od) / n;
        }
        double sxx = 0, sxy = 0;
        for (std::size_t i = first; i < end; ++i) {
            const double dt = usable[i].minutes / 60 - meanT;
            sxx += dt * dt;
            sxy += dt * (std::log(usable[i].od) - meanY);
        }
        if (sxx > 0)
            steepest = std::max(steepest, sxy / sxx);
    }
    return steepest;
}

// How far a rate may stand above the readings' steepest hour: a little, for the curvature a
// straight line over an hour flattens.
constexpr double aboveReadings = 1.25;

// A rate the readings carry: no steeper than they show over an hour, and its stretch holds
// two of them at OD the analysis uses, or lasts at least the time between two readings (a
// model's steep instant between two readings is no rate they show).
bool carriedByReadings(const Result& result, const std::vector<Point>& usable) {
    if (!result.growing)
        return true;
    if (result.maxRatePerHour > aboveReadings * steepestHourSlope(usable))
        return false;
    const auto inStretch = std::count_if(usable.begin(), usable.end(), [&](const Point& p) {
        return p.minutes >= result.stretchStartMinutes - 1e-6 &&
               p.minutes <= result.stretchEndMinutes + 1e-6;
    });
    return inStretch >= 2 ||
           (inStretch >= 1 && result.stretchEndMinutes - result.stretchStartMinutes >=
                                  60 * typicalStepHours(usable) - 1e-6);
}

// However clean the readings, no analysis reads a real culture's rate closer than a few
// percent: where a window starts and ends within the bend of the curve, or which model
// describes it, moves the rate by that much, and replicate wells differ by as much. An
// exact curve keeps its exact answer.
void widenForTheCulture(Result& result) {
    constexpr double cultureUncertainty = 0.03; // one standard error, as a share of the rate
    if (!result.growing || !result.rateInterval)
        return;
    const double floor = 1.96 * cultureUncertainty * result.maxRatePerHour;
    auto& interval = *result.rateInterval;
    const double below = result.maxRatePerHour - interval.low;
    const double above = interval.high - result.maxRatePerHour;
    interval.low = result.maxRatePerHour - std::hypot(below, floor);
    interval.high = result.maxRatePerHour + std::hypot(above, floor);
}

// The steepest rate of one rise of the curve, with its stretch, lag and interval.
Result analyseCurve(const std::vector<Point>& analysed, const Settings& settings) {
    Result result;
    const auto usable = usablePoints(analysed, settings);
    const double span = windowSpanPoints(usable);
    const bool readSeldom = settings.windowPoints == 0 && std::isfinite(span) &&
                            span < static_cast<double>(cubicFromPoints);
    if (readSeldom) {
        if (const auto seldom = seldomAnalysis(analysed, settings, usable))
            result = *seldom;
    } else
        result = windowAnalysis(analysed, settings);
    // A window that is exact to rounding holds an exact exponential: nothing to refine.
    const bool exact =
        !result.rateInterval ||
        result.rateInterval->high - result.rateInterval->low < 1e-9 * result.maxRatePerHour;
    // A cubic window the readings do not carry gives way to the straight lines.
    if (!readSeldom && settings.windowPoints == 0 && result.growing &&
        !carriedByReadings(result, usable))
        if (const auto seldom = seldomAnalysis(analysed, settings, usable))
            result = *seldom;
    if (settings.windowPoints == 0 && result.growing && !exact)
        if (const auto fitted = modelAnalysis(analysed, settings, result);
            fitted && carriedByReadings(*fitted, usable))
            result = *fitted;
    if (!exact)
        widenForTheCulture(result);
    countUsable(usable, result);
    if (result.growing)
        result.stretchReadings =
            static_cast<int>(std::count_if(usable.begin(), usable.end(), [&](const Point& p) {
                return p.minutes >= result.stretchStartMinutes - 1e-6 &&
                       p.minutes <= result.stretchEndMinutes + 1e-6;
            }));
    return result;
}

// ---- A culture that rises twice.

struct SecondRise {
    double pauseMinutes = 0; // where the culture pauses between its rises
    double riseMinutes = 0;  // where it rises again
};

// Straight lines over about an hour of readings (three at the least) slide along ln OD. The
// culture rises twice when, after its steepest line, the lines fall to a tenth of that
// slope (a pause) and later climb again to a third of it, with the OD rising by half
// again after the pause.
std::optional<SecondRise> secondRise(const std::vector<Point>& usable) {
    const double step = typicalStepHours(usable);
    if (usable.size() < 8 || !(step > 0))
        return std::nullopt;
    const auto window = static_cast<std::size_t>(
        std::clamp(std::lround(1 / step) + 1, 3L, static_cast<long>(usable.size() / 3)));
    // A line counts as rising only where its slope stands well above the readings' noise.
    const double noise = odNoise(usable);
    std::vector<double> slopes;
    std::vector<bool> significant;
    for (std::size_t first = 0; first + window <= usable.size(); ++first) {
        const auto fit = fitLine(usable, first, window, noise);
        slopes.push_back(fit ? fit->slope : 0);
        significant.push_back(fit && fit->slope > seldomMinimumZ * fit->noiseError);
    }
    const auto steepest = std::max_element(slopes.begin(), slopes.end());
    if (steepest == slopes.end() || !(*steepest > 0))
        return std::nullopt;
    const double top = *steepest;
    // The mean ln OD of the line's readings: a level that one noisy reading hardly moves.
    const auto level = [&](std::size_t first) {
        double sum = 0;
        for (std::size_t i = first; i < first + window; ++i)
            sum += std::log(usable[i].od);
        return sum / static_cast<double>(window);
    };
    // The first rise: from the first line at half the steepest slope to the pause after it.
    std::size_t k = 0;
    while (k < slopes.size() && !(slopes[k] >= 0.5 * top && significant[k]))
        ++k;
    const std::size_t rise = k;
    while (k < slopes.size() && slopes[k] > 0.1 * top)
        ++k;
    if (k >= slopes.size())
        return std::nullopt;
    const std::size_t pause = k;
    while (k < slopes.size() && !(slopes[k] >= 1.0 / 3 * top && significant[k]))
        ++k;
    if (k >= slopes.size())
        return std::nullopt;
    // Each rise lifts the OD by half at least: noise in a lag makes no rise.
    double highest = level(pause);
    for (std::size_t i = k; i < slopes.size(); ++i)
        highest = std::max(highest, level(i));
    double startLevel = level(0);
    for (std::size_t i = 0; i <= rise; ++i)
        startLevel = std::min(startLevel, level(i));
    if (level(pause) - startLevel < std::log(1.5) || highest - level(pause) < std::log(1.5))
        return std::nullopt;
    return SecondRise{usable[pause + window / 2].minutes, usable[k].minutes};
}

} // namespace

Result analyse(const std::vector<Point>& points, const Settings& settings) {
    // A clock set back mid-run (or a file put together from two runs) leaves readings whose
    // order in time is unknown: no rate can honestly be read from them.
    double latest = -std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!std::isfinite(points[i].minutes))
            continue;
        if (points[i].minutes < latest) {
            Result refused;
            refused.reason = "the time goes back at row " + std::to_string(i + 1);
            return refused;
        }
        latest = points[i].minutes;
    }
    // A run read every second or so is analysed in the means of groups of its readings: the
    // windows then span the curve's time instead of its noise.
    constexpr std::size_t mostPoints = 2000;
    constexpr std::size_t groups = 1000;
    std::vector<Point> finitePoints;
    std::copy_if(points.begin(), points.end(), std::back_inserter(finitePoints), finite);
    // A window of a given size means that many readings.
    const bool grouped = settings.windowPoints == 0 && finitePoints.size() > mostPoints;
    if (grouped)
        finitePoints = groupedMeans(finitePoints, groups);
    const std::vector<Point>& analysed = grouped ? finitePoints : points;

    // A culture that rises twice (a second food source, a revertant) grew first: the second
    // rise is said, and the readings from its pause on are left out.
    const auto second =
        settings.windowPoints == 0 ? secondRise(usablePoints(analysed, settings)) : std::nullopt;
    Result result;
    if (second) {
        std::vector<Point> firstRise;
        std::copy_if(analysed.begin(), analysed.end(), std::back_inserter(firstRise),
                     [&](const Point& p) { return p.minutes <= second->pauseMinutes; });
        result = analyseCurve(firstRise, settings);
        result.secondRiseMinutes = second->riseMinutes;
    } else
        result = analyseCurve(analysed, settings);
    if (grouped || second)
        countUsable(usablePoints(points, settings), result); // every reading
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
