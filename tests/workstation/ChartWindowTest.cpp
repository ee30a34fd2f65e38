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
