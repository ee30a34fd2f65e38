// SPDX-License-Identifier: GPL-3.0-or-later
#include "workstation/GrowthTexts.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

// A culture doubling every hour, seen from 00:50:00 to 02:00:00 after a lag of 50 minutes.
GrowthAnalysis::Result hourlyDoubling() {
    GrowthAnalysis::Result result;
    result.growing = true;
    result.maxRatePerHour = std::log(2.0);
    result.doublingMinutes = 60;
    result.stretchStartMinutes = 50;
    result.stretchEndMinutes = 120;
    result.lagMinutes = 50;
    result.pointsUsed = 19;
    result.maximumOd = 0.4;
    result.method = "Gompertz";
    return result;
}

} // namespace

TEST(GrowthTexts, RateAndDoublingTimeWithTheirIntervals) {
    // Doubling in 48 minutes at the fast end of the interval, in 75 at the slow end.
    const GrowthAnalysis::Interval doublingIn48To75{std::log(2.0) / 1.25, std::log(2.0) / 0.8};
    const struct {
        const char* name;
        std::optional<GrowthAnalysis::Interval> interval;
        std::optional<double> lag;
        std::string method;
        std::vector<const char*> lines;
    } cases[] = {
        {"both intervals",
         doublingIn48To75,
         50.0,
         "Gompertz",
         {"growth rate: 0.693 /h (95 %: 0.555 to 0.866)",
          "doubling time: 01:00:00 (00:48:00 to 01:15:00)", "growth stretch: 00:50:00 to 02:00:00",
          "lag time: 00:50:00", "rate from: Gompertz fit"}},
        {"no interval, no lag",
         std::nullopt,
         std::nullopt,
         "window",
         {"growth rate: 0.693 /h", "doubling time: 01:00:00",
          "growth stretch: 00:50:00 to 02:00:00", "lag time: unknown",
          "rate from: steepest window"}},
        // A rate that may be zero: the doubling time has no upper bound.
        {"interval down to zero",
         GrowthAnalysis::Interval{-0.1, 2 * std::log(2.0)},
         50.0,
         "",
         {"growth rate: 0.693 /h (95 %: -0.100 to 1.386)",
          "doubling time: 01:00:00 (00:30:00 or longer)", "growth stretch: 00:50:00 to 02:00:00",
          "lag time: 00:50:00"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GrowthAnalysis::Result result = hourlyDoubling();
        result.rateInterval = c.interval;
        result.lagMinutes = c.lag;
        result.method = c.method;
        QStringList expected;
        for (const char* line : c.lines)
            expected << line;
        EXPECT_EQ(GrowthTexts::texts(result), expected);
    }
}

TEST(GrowthTexts, TheStretchSaysHowManyReadingsCarryTheRateAndASecondRiseIsSaid) {
    GrowthAnalysis::Result result = hourlyDoubling();
    const struct {
        int readings;
        const char* full;
        const char* caution;
    } cases[] = {
        {8, "growth stretch: 00:50:00 to 02:00:00 (8 readings)", ""},
        {5, "growth stretch: 00:50:00 to 02:00:00 (5 readings)", ""},
        {4,
         "growth stretch: 00:50:00 to 02:00:00 (4 readings, few readings in the growth "
         "phase)",
         "few readings in the growth phase"},
        {2,
         "growth stretch: 00:50:00 to 02:00:00 (2 readings, few readings in the growth "
         "phase)",
         "few readings in the growth phase"},
    };
    for (const auto& c : cases) {
        result.stretchReadings = c.readings;
        EXPECT_TRUE(GrowthTexts::texts(result).contains(c.full)) << c.full;
        EXPECT_TRUE(GrowthTexts::texts(result, GrowthTexts::Detail::OneLine)
                        .contains("growth stretch: 00:50:00 to 02:00:00"));
        EXPECT_EQ(GrowthTexts::caution(result), c.caution);
    }
    result.secondRiseMinutes = 14 * 60;
    EXPECT_EQ(GrowthTexts::texts(result).last(),
              "second rise: from 14:00:00; the figures are of the first rise");
    EXPECT_EQ(GrowthTexts::caution(result),
              "few readings in the growth phase; second rise from 14:00:00; the figures are of "
              "the first rise");
}

TEST(GrowthTexts, OneLineKeepsTheRatesIntervalOnly) {
    GrowthAnalysis::Result result = hourlyDoubling();
    result.rateInterval = GrowthAnalysis::Interval{std::log(2.0) / 1.25, std::log(2.0) / 0.8};
    EXPECT_EQ(GrowthTexts::joined(result, QStringLiteral("    "), GrowthTexts::Detail::OneLine),
              "growth rate: 0.693 /h (95 %: 0.555 to 0.866)    doubling time: 01:00:00    "
              "growth stretch: 00:50:00 to 02:00:00    lag time: 00:50:00");
}

TEST(GrowthTexts, NoGrowthIsOneLineWhateverTheDetail) {
    GrowthAnalysis::Result result = hourlyDoubling();
    result.growing = false;
    for (const auto detail : {GrowthTexts::Detail::Full, GrowthTexts::Detail::OneLine})
        EXPECT_EQ(GrowthTexts::joined(result, QStringLiteral("\n"), detail),
                  "growth rate: no growth");
    result.reason = "the time goes back at row 31";
    EXPECT_EQ(GrowthTexts::joined(result, QStringLiteral("\n")),
              "growth rate: not known: the time goes back at row 31");
}
