// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeSleeper.h"
#include "LogCapture.h"
#include "com/ODSourceSimulated.h"

#include <gtest/gtest.h>

using Talvessa::ODSourceSimulated;

namespace {

struct SimulatedSource : testing::Test {
    LogCapture log;
    FakeSleeper sleeper;
    void SetUp() override {
        ODSourceSimulated::valueCount = 1000;
        ODSourceSimulated::noiseAmplitude = 0.01;
        ODSourceSimulated::maximumValue = 3.0;
        ODSourceSimulated::restartValueList = true;
    }
};

} // namespace

TEST_F(SimulatedSource, CurveRisesFromZeroToTheMaximumAndWraps) {
    ODSourceSimulated source(sleeper);
    const auto& values = source.getValues();
    ASSERT_EQ(values.size(), 1000u);
    for (double v : values) {
        EXPECT_GE(v, 0.0);
        EXPECT_LE(v, 3.0);
    }
    EXPECT_NEAR(values[500], 1.5, 0.01);
    EXPECT_NEAR(values[999], 3.0, 0.01);

    const double first = source.value();
    EXPECT_LE(first, 0.005);
    EXPECT_GE(first, 0.0);
    for (int i = 1; i < 1000; ++i)
        EXPECT_EQ(source.value(), values[static_cast<std::size_t>(i)]);
    EXPECT_EQ(source.value(), first) << "the 1001st value is the first again";
    source.value();
    ODSourceSimulated::restartValueList = true;
    EXPECT_EQ(source.value(), first);
    EXPECT_FALSE(ODSourceSimulated::restartValueList);
}

TEST_F(SimulatedSource, GenerationIsLogged) {
    ODSourceSimulated::valueCount = 3;
    ODSourceSimulated source(sleeper);
    const std::string text = log.text();
    EXPECT_EQ(text.rfind("create value- list...\n3\t3\t0.01\n0\t0\t", 0), 0u) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5);
}

TEST_F(SimulatedSource, ImpossibleParametersAreRefused) {
    ODSourceSimulated::maximumValue = 0.0;
    try {
        ODSourceSimulated source(sleeper);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Can't create value list with given parameters!");
    }
    EXPECT_NE(log.text().find("Can't create value list with given parameters! 1000 0 0.01\n"),
              std::string::npos);

    ODSourceSimulated::maximumValue = 3.0;
    ODSourceSimulated::valueCount = 0;
    ODSourceSimulated empty(sleeper);
    EXPECT_THROW(empty.value(), std::runtime_error);
}

TEST_F(SimulatedSource, CalibrationReportsSixteenStepsOfFifteen) {
    ODSourceSimulated source(sleeper);
    struct : __lumo::EventListenerInterface<__lumo::ProgressInfoType> {
        std::vector<std::pair<int, unsigned>> seen;
        void eventOccurred(__lumo::ProgressInfoType& info) override {
            seen.push_back({info.current, info.total});
        }
    } progress;
    source.progressCaller.addListener(&progress);
    const auto result = source.calibrate();
    EXPECT_DOUBLE_EQ(result.dark, 0.0);
    EXPECT_DOUBLE_EQ(result.reference, 4095.0);
    ASSERT_EQ(progress.seen.size(), 16u);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(progress.seen[static_cast<std::size_t>(i)], std::make_pair(i, 15u));
    EXPECT_EQ(sleeper.sleeps, std::vector<unsigned long>(16, 250));
}
