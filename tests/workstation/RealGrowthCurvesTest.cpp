// SPDX-License-Identifier: GPL-3.0-or-later
// The growth analysis on published curves measured by others, stored and read back as the
// program stores its rows, at every reading and read less often.
#include "RealGrowthFiles.h"
#include "TempDirectory.h"
#include "workstation/GrowthAnalysis.h"

#include <gtest/gtest.h>
#include <map>

using namespace RealGrowthCurves;

namespace {

double typicalStepMinutes(const std::vector<Curve>& curves, int every) {
    std::vector<double> steps;
    for (const auto& c : curves) {
        const auto seen = everyKth(c.readings, every);
        for (std::size_t i = 1; i < seen.size(); ++i)
            steps.push_back(seen[i].minutes - seen[i - 1].minutes);
    }
    return median(steps);
}

} // namespace

TEST(RealGrowthCurves, StoredCulturesGiveTheRatesTheirReadingsShowAtEveryIntervalRead) {
    TempDirectory temp(TempDirectory::inMemoryBase());
    // Each curve as a measurement file, read back: the stored values are what is analysed.
    const auto stored =
        RealGrowthFiles::stored(RealGrowthFiles::shippedAndNamed(NEPHODAR_SOURCE_DIR), temp.path());
    ASSERT_GE(stored.sets.size(), 2u);
    for (const Figures& f : RealGrowthFiles::figures(stored.sets)) {
        SCOPED_TRACE(describe(f));
        EXPECT_EQ(f.noGrowth, 0);
        EXPECT_GE(f.withinShare(), 0.9);
        EXPECT_EQ(f.aboveOneHour, 0);
        EXPECT_EQ(f.flatAnsweredGrowing, 0);
        EXPECT_EQ(f.replicateGroupsAgreeing, f.replicateGroups);
        EXPECT_GE(f.holdingShare(), 0.8);
        // A culture read hourly gives the rate it gives read every 10 to 30 minutes.
        if (f.every > 1 && typicalStepMinutes(stored.sets.at(f.dataset), f.every) <= 60) {
            EXPECT_GE(f.thinnedShare(), 0.9);
        }
    }
}

// P. putida read hourly, as published: the OD doubles every hour from hour 1 to hour 5.
TEST(RealGrowthCurves, AFastCultureReadHourlyHasItsRateInItsExponentialPhase) {
    const double ods[] = {0.0088, 0.0128, 0.0228, 0.0488, 0.1028, 0.1898, 0.2868, 0.3238,
                          0.3508, 0.3618, 0.3718, 0.3868, 0.3978, 0.4088, 0.4178, 0.4308,
                          0.4408, 0.4508, 0.4588, 0.4718, 0.4768, 0.4798, 0.4838, 0.4908,
                          0.4908, 0.4968, 0.4988, 0.5048, 0.5058, 0.5108, 0.5158};
    std::vector<GrowthAnalysis::Point> points;
    for (std::size_t hour = 0; hour < std::size(ods); ++hour)
        points.push_back({hour * 60.0, ods[hour]});
    const auto r = GrowthAnalysis::analyse(points);
    ASSERT_TRUE(r.growing);
    EXPECT_GT(r.maxRatePerHour, 0.6);
    EXPECT_LT(r.maxRatePerHour, 0.8);
    ASSERT_TRUE(r.rateInterval.has_value());
    EXPECT_LT(r.rateInterval->low, r.maxRatePerHour);
    EXPECT_GT(r.rateInterval->high, r.maxRatePerHour);
    EXPECT_GE(r.stretchStartMinutes, 60);
    EXPECT_LE(r.stretchEndMinutes, 6 * 60);
}
