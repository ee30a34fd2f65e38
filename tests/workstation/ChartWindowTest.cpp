// SPDX-License-Identifier: GPL-3.0-or-later
#include "workstation/ChartWindow.h"

#include <gtest/gtest.h>

TEST(SampleAxisWindow, StartBandAutomaticAndFollowMode) {
    SampleWindowInput sample;
    sample.minutes = 10.501;
    sample.od = 0.8;
    sample.calcOd = 2.0;
    sample.firstOd = 0.3;
    sample.firstCalcOd = 1.5;

    ChartState chart;
    AxisWindow w = sampleAxisWindow(chart, sample);
    EXPECT_TRUE(w.changeLeft && !w.leftAutomatic && !w.changeBottom);
    EXPECT_DOUBLE_EQ(w.leftMinimum, 0.28);
    EXPECT_DOUBLE_EQ(w.leftMaximum, 0.4);

    chart.parameter = ChartParameter::CalcOD;
    w = sampleAxisWindow(chart, sample);
    EXPECT_DOUBLE_EQ(w.leftMinimum, 1.3);
    EXPECT_DOUBLE_EQ(w.leftMaximum, 2.5);
    sample.calcOdLeftStartWindow = true;
    EXPECT_TRUE(sampleAxisWindow(chart, sample).leftAutomatic);

    chart.zoomed = true;
    w = sampleAxisWindow(chart, sample);
    EXPECT_FALSE(w.changeLeft || w.changeBottom) << "zoomed without follow mode: left alone";

    chart.traceMode = true;
    chart.traceTimeSpan = 2.0;
    chart.traceValueSpan = 0.4;
    w = sampleAxisWindow(chart, sample);
    EXPECT_TRUE(w.changeBottom);
    EXPECT_DOUBLE_EQ(w.bottomMinimum, 8.501);
    EXPECT_DOUBLE_EQ(w.bottomMaximum, 10.501);
    EXPECT_DOUBLE_EQ(w.leftMinimum, 1.8);
    EXPECT_DOUBLE_EQ(w.leftMaximum, 2.2);

    chart.traceTimeSpan = 0;
    w = sampleAxisWindow(chart, sample);
    EXPECT_DOUBLE_EQ(w.bottomMaximum, 10.511) << "never an empty time range";
}

TEST(ChartScaling, TimeWindowValueButtonsAndZoomTexts) {
    const std::int64_t minute = 60 * 1000;
    auto window = timeWindowRange(2, 10 * minute + 30 * 1000);
    ASSERT_TRUE(window);
    EXPECT_NEAR(window->minimum, 8.501, 1e-9);
    EXPECT_NEAR(window->maximum, 10.501, 1e-9);
    window = timeWindowRange(2, 15 * minute + 30 * 1000);
    EXPECT_NEAR(window->minimum, 13.501, 1e-9);
    EXPECT_FALSE(timeWindowRange(0, 99 * minute)) << "the whole range: automatic";

    ChartScaling scaling;
    scaling.deltaY = 1;
    AxisRange range = valueButtonRange(scaling, ChartParameter::OD, 0.7, 3.0);
    EXPECT_DOUBLE_EQ(range.minimum, -1.1) << "nothing started yet: centred on 0";
    EXPECT_DOUBLE_EQ(range.maximum, 1.1);
    scaling.measurementStarted = true;
    scaling.deltaY = 0.1;
    range = valueButtonRange(scaling, ChartParameter::OD, 0.5, 3.0);
    EXPECT_DOUBLE_EQ(range.minimum, 0.3);
    EXPECT_DOUBLE_EQ(range.maximum, 0.7);
    scaling.deltaY = 0;
    range = valueButtonRange(scaling, ChartParameter::CalcOD, 0.5, 3.0);
    EXPECT_DOUBLE_EQ(range.minimum, 2.9);

    const std::pair<double, const char*> spans[] = {
        {75.5, "1:15:30"}, {12 + 5.0 / 60, "0:12:05"}, {3, "0:03:00"}, {0.5, "0:00:30"}};
    for (const auto& [span, text] : spans)
        EXPECT_EQ(zoomTimeSpanText(span), text) << span;
    EXPECT_EQ(zoomValueSpanText(0.5 - 0.2), "+/- 0.150");
    EXPECT_EQ(zoomValueSpanText(24.69), "+/- 12.300");
    EXPECT_FLOAT_EQ(notePosition(12.34567), 12.345f);
    EXPECT_FALSE(validAxisRange({1, 1}));
    EXPECT_TRUE(validAxisRange({1, 2}));
}

TEST(BlockAverage, CompleteGroupsAtTheirLastOrMiddlePoint) {
    std::vector<ChartPoint> points;
    for (int i = 1; i <= 7; ++i)
        points.push_back({i * 10.0, static_cast<double>(i)});
    auto last = blockAverage(points, 3, AveragePlacement::LastOfGroup);
    ASSERT_EQ(last.size(), 2u) << "the seventh sample waits for its group";
    EXPECT_DOUBLE_EQ(last[0].x, 30);
    EXPECT_DOUBLE_EQ(last[0].y, 2);
    EXPECT_DOUBLE_EQ(last[1].x, 60);
    EXPECT_DOUBLE_EQ(last[1].y, 5);
    auto middle = blockAverage(points, 3, AveragePlacement::MiddleOfGroup);
    EXPECT_DOUBLE_EQ(middle[0].x, 20);
    EXPECT_DOUBLE_EQ(middle[1].x, 50);
    EXPECT_TRUE(blockAverage(points, 10, AveragePlacement::LastOfGroup).empty());
}
