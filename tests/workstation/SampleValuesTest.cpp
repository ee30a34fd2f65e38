// SPDX-License-Identifier: GPL-3.0-or-later
#include "workstation/SampleValues.h"
#include "workstation/DisplayFormats.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace SampleValues;

namespace {
constexpr std::int64_t second = 1000;
constexpr std::int64_t minute = 60 * second;
constexpr std::int64_t hour = 60 * minute;
} // namespace

TEST(SampleValues, StoredODIsZeroedAndCutTowardZero) {
    const struct {
        double in, stored;
    } cases[] = {{0.00004, 0.0},      {-0.00005, 0.0},     {0.00009, 0.0},     {1.23456, 1.2345},
                 {-1.23456, -1.2345}, {-2.34567, -2.3456}, {0.29, 0.29},       {2.0001, 2.0001},
                 {0.0001, 0.0001},    {3.99999, 3.9999},   {-0.0049, -0.0049}, {100.0, 100.0}};
    for (const auto& c : cases) {
        EXPECT_EQ(storedOd(c.in), c.stored) << c.in;
        EXPECT_FALSE(std::signbit(storedOd(c.in)) && c.stored == 0) << "no negative zero";
    }
}

TEST(SampleValues, ElapsedTimeColumns) {
    const struct {
        std::int64_t elapsed;
        double minutes;
        const char* timeS;
        const char* allTime;
    } cases[] = {
        {0, 0.0, "0:00", "00:00:00"},
        {90 * minute + 30 * second + 999, 90.5, "1:30", "01:30:30"},
        {1 * second, 0.016, "0:00", "00:00:01"},
        {59 * second, 0.983, "0:00", "00:00:59"},
        {26 * hour + 5 * minute, 1565.0, "26:05", "02:05:00"},
        {25 * hour, 1500.0, "25:00", "01:00:00"},
        {49 * hour + 7 * minute + 20 * second, 2947.333, "49:07", "01:07:20"},
        {-5 * second, 0.0, "0:00", "00:00:00"},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(elapsedMinutes(c.elapsed), c.minutes) << c.elapsed;
        EXPECT_EQ(timeSText(c.elapsed), c.timeS) << c.elapsed;
        EXPECT_EQ(DisplayFormats::longTimeText(allTime(c.elapsed)), c.allTime) << c.elapsed;
    }
}

// What a file from elsewhere may hold as Minutes: shown as a span of time or said to be none.
TEST(SampleValues, ElapsedTextOfAnyNumber) {
    const struct {
        double minutes;
        const char* text;
    } cases[] = {
        {90.5, "01:30:30"},
        {1565, "26:05:00"},
        {-5.5, "-00:05:30"},
        {-0.001, "00:00:00"},
        {1e300, "not a time (1e+300 minutes)"},
        {-1e300, "not a time (-1e+300 minutes)"},
        {std::numeric_limits<double>::infinity(), "not a time (inf minutes)"},
        {std::numeric_limits<double>::quiet_NaN(), "not a time (nan minutes)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DisplayFormats::elapsedText(c.minutes), c.text) << c.minutes;
}

TEST(SampleValues, NumbersAlwaysWithAPoint) {
    EXPECT_EQ(DisplayFormats::numberText(0.1234), "0.1234");
    EXPECT_EQ(DisplayFormats::numberText(12.5), "12.5");
    EXPECT_EQ(DisplayFormats::numberText(0.0), "0");
    EXPECT_EQ(DisplayFormats::numberText(1.0 / 3), "0.333333333333333");
}
