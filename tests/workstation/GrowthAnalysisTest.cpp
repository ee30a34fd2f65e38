// SPDX-License-Identifier: GPL-3.0-or-later
#include "workstation/GrowthAnalysis.h"
#include "RealGrowthCurves.h"
#include "SyntheticCultures.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

using namespace GrowthAnalysis;

namespace {

// ln(OD/OD0) of the sigmoid growth curves written with their maximal slope mu (per hour),
// their lag lambda (hours: where the tangent at the steepest point meets ln OD0) and their
// total rise a in ln units.
double logistic(double t, double a, double mu, double lambda) {
    return a / (1 + std::exp(4 * mu / a * (lambda - t) + 2));
}
double gompertz(double t, double a, double mu, double lambda) {
    return a * std::exp(-std::exp(mu * std::exp(1.0) / a * (lambda - t) + 1));
}

// Uniform noise of +/- amplitude from the generator's raw output, which the standard fixes, so
// every platform draws the same curve.
struct Noise {
    explicit Noise(double size, std::uint32_t seed = 20240305) : generator(seed), amplitude(size) {}
    std::mt19937 generator;
    double amplitude;
    double operator()() {
        return amplitude * (2.0 * generator() / static_cast<double>(std::mt19937::max()) - 1);
    }
};

// OD stored like a sample, cut toward zero to 4 decimals.
double stored(double od) {
    return std::trunc(od * 10000) / 10000;
}

std::vector<Point> exponential(double od0, double ratePerHour, int count, double stepMinutes) {
    std::vector<Point> points;
    for (int i = 0; i < count; ++i)
        points.push_back({i * stepMinutes, od0 * std::exp(ratePerHour * i * stepMinutes / 60)});
    return points;
}

} // namespace

TEST(GrowthAnalysis, NoisySigmoidCurvesGiveRateDoublingAndLag) {
    using Curve = std::function<double(double, double, double, double)>;
    const struct {
        const char* name;
        Curve curve;
        double inflection; // the steepest point lies a / (inflection * mu) after lambda
    } curves[] = {{"logistic", logistic, 2}, {"Gompertz", gompertz, std::exp(1.0)}};
    // A slow culture read every 10 minutes and a fast one read every 5, both from OD 0.1 to 2
    // after a lag of 3 hours.
    const struct { double mu, stepMinutes; } runs[] = {{0.35, 10}, {0.7, 5}};
    const double lambda = 3.0, od0 = 0.1, odMax = 2.0, a = std::log(odMax / od0);
    for (const auto& c : curves)
        for (const auto& run : runs)
            for (std::uint32_t seed = 1; seed <= 20; ++seed) {
                SCOPED_TRACE(testing::Message()
                             << c.name << ", mu " << run.mu << ", seed " << seed);
                Noise noise(0.005, seed);
                std::vector<Point> points; // until the curve has long levelled off
                const double hours = lambda + 3 * a / run.mu;
                for (int i = 0; i * run.stepMinutes <= hours * 60; ++i) {
                    const double t = i * run.stepMinutes / 60;
                    points.push_back(
                        {i * run.stepMinutes,
                         stored(od0 * std::exp(c.curve(t, a, run.mu, lambda)) + noise())});
                }
                const Result r = analyse(points);
                ASSERT_TRUE(r.growing);
                EXPECT_NEAR(r.maxRatePerHour, run.mu, 0.02 * run.mu);
                const double doubling = std::log(2.0) / run.mu * 60;
                EXPECT_NEAR(r.doublingMinutes, doubling, 0.02 * doubling);
                EXPECT_EQ(r.pointsUsed, static_cast<int>(points.size()));
                // The tangent at the steepest point meets ln OD0 at lambda, and ln of the
                // (noisy) first reading ln(first / OD0) / mu later.
                const double lagHours = lambda + std::log(points[0].od / od0) / run.mu;
                ASSERT_TRUE(r.lagMinutes.has_value());
                EXPECT_NEAR(*r.lagMinutes, lagHours * 60, 0.05 * lagHours * 60);
                // The steepest point of the curve lies inside the stretch.
                const double steepestMinutes = (lambda + a / (c.inflection * run.mu)) * 60;
                EXPECT_LT(r.stretchStartMinutes, steepestMinutes);
                EXPECT_GT(r.stretchEndMinutes, steepestMinutes);
            }
}

TEST(GrowthAnalysis, ExactCurves) {
    // Doubling every hour from the first point: no lag.
    Result r = analyse(exponential(0.1, std::log(2.0), 20, 10));
    ASSERT_TRUE(r.growing);
    EXPECT_NEAR(r.maxRatePerHour, std::log(2.0), 1e-9);
    EXPECT_NEAR(r.doublingMinutes, 60, 1e-6);
    ASSERT_TRUE(r.lagMinutes.has_value());
    EXPECT_NEAR(*r.lagMinutes, 0, 1e-6);

    // Flat for two hours, then growing at 0.5 /h: with straight lines (windows under nine
    // points) the lag is the flat part exactly and the steepest stretch lies wholly in the
    // growth.
    std::vector<Point> points;
    for (int i = 0; i < 12; ++i)
        points.push_back({i * 10.0, 0.1});
    for (const auto& p : exponential(0.1, 0.5, 25, 10))
        points.push_back({120 + p.minutes, p.od});
    Settings straight;
    straight.windowPoints = 8;
    r = analyse(points, straight);
    ASSERT_TRUE(r.growing);
    EXPECT_NEAR(r.maxRatePerHour, 0.5, 1e-9);
    EXPECT_GE(r.stretchStartMinutes, 120);
    EXPECT_EQ(r.stretchEndMinutes - r.stretchStartMinutes, 70);
    ASSERT_TRUE(r.lagMinutes.has_value());
    EXPECT_NEAR(*r.lagMinutes, 120, 1e-6);
}

TEST(GrowthAnalysis, CurvesThatNeverGrowReportNoGrowth) {
    const auto noisyFlat = [](double od, int count) {
        Noise noise(0.005);
        std::vector<Point> points;
        for (int i = 0; i < count; ++i)
            points.push_back({i * 10.0, stored(od + noise())});
        return points;
    };
    const struct {
        const char* name;
        std::vector<Point> points;
    } cases[] = {
        {"flat with noise", noisyFlat(0.5, 217)},
        {"flat with noise near the minimum OD", noisyFlat(0.03, 217)},
        {"exactly flat", exponential(0.4, 0, 50, 10)},
        {"exactly flat at an OD ln cannot hold exactly", exponential(0.25f, 0, 30, 10)},
        {"dying off", exponential(1.2, -0.3, 50, 10)},
        {"no rows", {}},
        {"only zero and negative OD", {{0, 0}, {10, -0.02}, {20, 0}, {30, -0.001}}},
        {"two readings close together", exponential(0.1, 0.7, 2, 10)},
        {"growth only below the minimum OD", exponential(0.001, 0.7, 25, 10)},
        {"no time passing", {9, Point{5, 0.3}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Result r = analyse(c.points);
        EXPECT_FALSE(r.growing);
        EXPECT_EQ(r.maxRatePerHour, 0);
        EXPECT_FALSE(r.lagMinutes.has_value());
    }
}

TEST(GrowthAnalysis, ZeroNegativeAndLowODPointsAreLeftOut) {
    const auto clean = exponential(0.1, 0.6, 30, 10);
    auto points = clean;
    // A blank reading, a dropout and a negative reading, each of which ln cannot take, and a
    // reading below the minimum that would fake the steepest stretch.
    points[3].od = 0;
    points[10].od = -0.05;
    points[11].od = 0;
    points[20].od = 0.001;
    points.insert(points.begin(), Point{-10, 0});
    const Result r = analyse(points);
    ASSERT_TRUE(r.growing);
    EXPECT_NEAR(r.maxRatePerHour, 0.6, 1e-9);
    EXPECT_EQ(r.pointsUsed, 26);
    // The first positive reading is the initial OD.
    ASSERT_TRUE(r.lagMinutes.has_value());
    EXPECT_NEAR(*r.lagMinutes, 0, 1e-6);

    // A first reading below the minimum is too noisy to anchor the tangent alone: the start
    // is the median of the readings of the first hour, here the culture's 0.1 from minute 0.
    points = clean;
    points.insert(points.begin(), Point{-10, 0.005});
    const Result low = analyse(points);
    ASSERT_TRUE(low.growing);
    EXPECT_NEAR(low.maxRatePerHour, 0.6, 1e-9);
    ASSERT_TRUE(low.lagMinutes.has_value());
    EXPECT_NEAR(*low.lagMinutes, 10, 1e-6);

    // A blanked culture that starts below the minimum, flat for three hours, then doubling
    // every hour: its lag is the flat part.
    std::vector<Point> blanked;
    for (int i = 0; i < 4; ++i)
        blanked.push_back({i * 60.0, 0.005});
    for (int i = 1; i <= 8; ++i)
        blanked.push_back({180 + i * 60.0, 0.005 * std::pow(2.0, i)});
    const Result fromLow = analyse(blanked);
    ASSERT_TRUE(fromLow.growing);
    EXPECT_NEAR(fromLow.maxRatePerHour, std::log(2.0), 0.01);
    ASSERT_TRUE(fromLow.lagMinutes.has_value());
    EXPECT_NEAR(*fromLow.lagMinutes, 180, 10);
}

TEST(GrowthAnalysis, SettingsAndRecordRows) {
    const auto points = exponential(0.1, 0.4, 30, 10);
    Settings settings;
    settings.windowPoints = 1; // taken as 3
    Result r = analyse(std::vector<Point>(points.begin(), points.begin() + 3), settings);
    ASSERT_TRUE(r.growing);
    EXPECT_EQ(r.stretchEndMinutes - r.stretchStartMinutes, 20);
    EXPECT_FALSE(analyse(std::vector<Point>(points.begin(), points.begin() + 2), settings).growing);

    settings.windowPoints = 5;
    settings.minimumOd = 0.2; // ln 2 / 0.4 h later than the first point
    r = analyse(points, settings);
    ASSERT_TRUE(r.growing);
    EXPECT_EQ(r.stretchEndMinutes - r.stretchStartMinutes, 40);
    EXPECT_GE(r.stretchStartMinutes, std::log(2.0) / 0.4 * 60);
    // Readings below the minimum start where the median of the first hour's readings stands: the
    // second reading, one step in.
    ASSERT_TRUE(r.lagMinutes.has_value());
    EXPECT_NEAR(*r.lagMinutes, 10, 1e-6);

    std::vector<RecordRow> rows;
    for (const auto& p : points) {
        RecordRow row;
        row.minutes = p.minutes;
        row.od = p.od;
        row.calcOd = 5; // not what is analysed
        rows.push_back(row);
    }
    r = analyse(rows);
    ASSERT_TRUE(r.growing);
    EXPECT_NEAR(r.maxRatePerHour, 0.4, 1e-9);
    EXPECT_NEAR(r.doublingMinutes, std::log(2.0) / 0.4 * 60, 1e-6);
}

namespace {

std::vector<Point> pointsOf(const SyntheticCultures::Culture& culture) {
    std::vector<Point> points;
    for (const auto& r : SyntheticCultures::readings(culture))
        points.push_back({r.minutes, r.od});
    return points;
}

std::string described(const SyntheticCultures::Culture& c) {
    std::ostringstream text;
    text << SyntheticCultures::modelName(c.model) << ": rate " << c.rate << "/h, lag " << c.lagHours
         << " h, OD " << c.od0 << " to " << c.plateau << ", shape " << c.shape << ", every "
         << c.stepMinutes << " min, " << c.decimals << " decimals, noise " << c.noise;
    return text.str();
}

double medianOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

TEST(GrowthAnalysis, CulturesOfEveryModelWithoutNoiseWithinTwoPercent) {
    using SyntheticCultures::Culture;
    using SyntheticCultures::Model;
    auto cultures = SyntheticCultures::panel(12, 0, 11);
    // The corners of the range: fast and sparse from the first reading on, slow after a long
    // lag, and the Richards shape at both ends.
    for (const Model model : {Model::Logistic, Model::Richards, Model::Gompertz, Model::Baranyi}) {
        Culture fast{model, 2.0, 0, 0.1, 0.8, 1, 15, 3};
        Culture slow{model, 0.2, 4, 0.02, 2.0, 1, 5, 4};
        cultures.push_back(fast);
        cultures.push_back(slow);
    }
    cultures.push_back(Culture{Model::Richards, 1.0, 1, 0.02, 2.0, 0.3, 10, 3});
    cultures.push_back(Culture{Model::Richards, 1.0, 1, 0.1, 0.8, 2.0, 10, 3});
    for (const auto& culture : cultures) {
        SCOPED_TRACE(described(culture));
        const double truth = SyntheticCultures::trueRate(culture);
        const Result r = analyse(pointsOf(culture));
        ASSERT_TRUE(r.growing);
        // A rate is never more than 1.25 times what the readings show over an hour. The fast
        // logistic corners, read every 15 minutes, are that steep at one instant only, where
        // they start: there the readings' rate is the answer.
        std::vector<RealGrowthCurves::Reading> readings;
        for (const auto& p : pointsOf(culture))
            readings.push_back({p.minutes, p.od});
        const double shown = 1.25 * RealGrowthCurves::steepestSlope(readings, 1);
        if (truth > shown) {
            EXPECT_LE(r.maxRatePerHour, shown);
            EXPECT_GT(r.maxRatePerHour, 0.85 * truth);
        } else
            EXPECT_NEAR(r.maxRatePerHour, truth, 0.02 * truth) << r.method;
        ASSERT_TRUE(r.rateInterval.has_value());
        EXPECT_LT(r.rateInterval->low, r.maxRatePerHour);
        EXPECT_GT(r.rateInterval->high, r.maxRatePerHour);
        const auto doubling = r.doublingIntervalMinutes();
        ASSERT_TRUE(doubling.has_value());
        EXPECT_LT(doubling->first, r.doublingMinutes);
        EXPECT_GT(doubling->second, r.doublingMinutes);
        EXPECT_LE(r.stretchStartMinutes, r.stretchEndMinutes);
    }
}

TEST(GrowthAnalysis, NoisyCulturesBeatTheFivePointWindowAndTheirIntervalsHoldTheTruth) {
    for (const double noise : {0.002, 0.005}) {
        SCOPED_TRACE(noise);
        std::vector<double> errors, windowErrors;
        int covered = 0;
        const auto cultures = SyntheticCultures::panel(25, noise, 23);
        for (const auto& culture : cultures) {
            const double truth = SyntheticCultures::trueRate(culture);
            const auto readings = SyntheticCultures::readings(culture);
            const Result r = analyse(pointsOf(culture));
            ASSERT_TRUE(r.growing) << described(culture);
            errors.push_back(std::abs(r.maxRatePerHour - truth) / truth);
            windowErrors.push_back(
                std::abs(SyntheticCultures::steepestFivePoints(readings) - truth) / truth);
            if (r.rateInterval && r.rateInterval->low <= truth && truth <= r.rateInterval->high)
                ++covered;
        }
        EXPECT_LE(medianOf(errors), medianOf(windowErrors));
        EXPECT_LT(medianOf(errors), 0.02);
        EXPECT_GE(covered, 0.9 * static_cast<double>(cultures.size()));
    }
}

TEST(GrowthAnalysis, ReadingsThatHoldNoRateGiveNoNumber) {
    const auto culture = pointsOf({SyntheticCultures::Model::Gompertz, 0.8, 2, 0.05, 1.5});
    const auto with = [&](const std::function<void(std::vector<Point>&)>& change) {
        auto points = culture;
        change(points);
        return points;
    };
    const struct {
        const char* name;
        std::vector<Point> points;
        const char* reason;
    } cases[] = {
        {"one reading", {culture[20]}, ""},
        {"every OD empty", with([](auto& p) {
             for (auto& x : p)
                 x.od = NAN;
         }),
         ""},
        {"every time empty", with([](auto& p) {
             for (auto& x : p)
                 x.minutes = NAN;
         }),
         ""},
        {"all at one time", with([](auto& p) {
             for (auto& x : p)
                 x.minutes = 30;
         }),
         ""},
        {"the clock set back", with([](auto& p) {
             for (std::size_t i = 30; i < p.size(); ++i)
                 p[i].minutes -= 120;
         }),
         "the time goes back at row 31"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Result r = analyse(c.points);
        EXPECT_FALSE(r.growing);
        EXPECT_EQ(r.reason, c.reason);
        EXPECT_FALSE(r.rateInterval.has_value());
    }

    // Empty, zero and negative readings and doubled times among good ones leave the answer
    // standing: those readings are left out or counted as what they are.
    const auto damaged = with([](auto& p) {
        p[5].od = NAN;
        p[9].od = 0;
        p[12].od = -0.01;
        p[40].minutes = p[39].minutes;
    });
    const double truth = 0.8;
    const Result r = analyse(damaged);
    ASSERT_TRUE(r.growing);
    EXPECT_NEAR(r.maxRatePerHour, truth, 0.03 * truth);
}

TEST(GrowthAnalysis, ACultureThatRisesTwiceGrewInItsFirstRise) {
    // From OD 0.05 after a lag of two hours to 0.4 at 0.6 /h, a pause of three hours, then a
    // steeper second rise to 1.2 at 1.0 /h; read every 10 minutes with a little noise.
    const auto rise = [](double t, double od0, double plateau, double rate, double start) {
        if (t <= start)
            return od0;
        const double r = rate / (1 - od0 / plateau);
        return plateau / (1 + (plateau / od0 - 1) * std::exp(-r * (t - start)));
    };
    Noise noise(0.002);
    std::vector<Point> points;
    double secondStart = 0;
    for (int i = 0; i <= 24 * 6; ++i) {
        const double t = i / 6.0;
        const double first = rise(t, 0.05, 0.4, 0.6, 2);
        // The second rise starts three hours after the first has reached 97 % of its plateau.
        if (secondStart == 0 && first >= 0.97 * 0.4)
            secondStart = t + 3;
        const double second = secondStart > 0 ? rise(t, 1, 3, 1.0, secondStart) : 1;
        points.push_back({i * 10.0, stored(first * second + noise())});
    }
    const Result r = analyse(points);
    ASSERT_TRUE(r.growing);
    EXPECT_NEAR(r.maxRatePerHour, 0.6, 0.06);
    ASSERT_TRUE(r.secondRiseMinutes.has_value());
    EXPECT_NEAR(*r.secondRiseMinutes, secondStart * 60, 90);
    EXPECT_LT(r.stretchEndMinutes, secondStart * 60);
    ASSERT_TRUE(r.lagMinutes.has_value());
    EXPECT_NEAR(*r.lagMinutes, 120, 30);
    // The highest OD is the run's, from both rises.
    EXPECT_GT(r.maximumOd, 1.0);

    // One rise, however noisy its lag, is no second one.
    for (const auto& culture : SyntheticCultures::panel(10, 0.005, 5))
        EXPECT_FALSE(analyse(pointsOf(culture)).secondRiseMinutes.has_value())
            << described(culture);
}
