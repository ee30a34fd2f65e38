// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineFakes.h"
#include "workstation/DisplayTexts.h"
#include "workstation/ODAlarm.h"
#include "workstation/Protocol.h"

#include <gtest/gtest.h>

TEST(ODAlarm, ThresholdTextBlanksAreZeros) {
    EXPECT_EQ(ODAlarm::filledThresholdText("1. 5 "), "1.050");
    ODAlarm alarm;
    RecordingTones tones;
    alarm.thresholdText = "1. 5 ";
    alarm.check(0.0, false, tones);
    EXPECT_EQ(alarm.thresholdText, "1.050") << "written back into the field";
}

TEST(ODAlarm, FiresAboveAndBelowButNotOnTheThresholdOrDuringErrors) {
    Protocol protocol;
    ODAlarm alarm;
    RecordingTones tones;
    alarm.thresholdText = "0.500";
    EXPECT_FALSE(alarm.check(0.9, false, tones)) << "switched off";
    alarm.setSwitch(true, protocol, 0);
    EXPECT_EQ(protocol.getText(), "Turn On OD Alarm at 00:00:00\n");

    const struct {
        ODAlarm::Direction direction;
        double od;
        bool deviceError;
        std::vector<std::pair<int, int>> tones;
    } cases[] = {
        {ODAlarm::Above, 0.5, false, {}},
        {ODAlarm::Above, 0.5001, false, {{1500, 50}}},
        {ODAlarm::Above, 0.9, true, {}},
        {ODAlarm::Below, 0.5, false, {}},
        {ODAlarm::Below, 0.4999, false, {{1500, 50}, {500, 50}}},
        {ODAlarm::Below, 0.1, true, {}},
    };
    for (const auto& c : cases) {
        tones.tones.clear();
        alarm.fired = false;
        alarm.direction = c.direction;
        EXPECT_EQ(alarm.check(c.od, c.deviceError, tones), !c.tones.empty()) << c.od;
        EXPECT_EQ(tones.tones, c.tones) << c.od;
        EXPECT_EQ(alarm.fired, !c.tones.empty());
    }

    alarm.thresholdText = "x.yz0";
    EXPECT_FALSE(alarm.check(99.0, false, tones)) << "an unreadable threshold skips the check";

    alarm.acknowledge(protocol, 61000);
    EXPECT_FALSE(alarm.isOn());
    EXPECT_FALSE(alarm.fired);
    EXPECT_TRUE(protocol.getText().startsWith("Turn Off OD Alarm at 00:01:01\n"));
}

TEST(ODAlarm, ArrowButtonsAccelerateWhileHeld) {
    ODAlarm alarm;
    for (int i = 0; i < 4; ++i)
        alarm.stepUp();
    EXPECT_EQ(alarm.thresholdText, "0.012") << "held: 1 + 2 + 3 + 4 steps from 0.002";
    alarm.releaseArrows();
    ODAlarm clicks;
    for (int i = 0; i < 4; ++i) {
        clicks.stepUp();
        clicks.releaseArrows();
    }
    EXPECT_EQ(clicks.thresholdText, "0.006");
    clicks.position = 9000;
    clicks.stepUp();
    EXPECT_EQ(clicks.thresholdText, "9.000") << "kept within the range";
}

TEST(DisplayTexts, ODDisplayAndRunningTime) {
    const struct {
        double value;
        const char* text;
    } cases[] = {{1.23456, "1.235 "},   {0.1234, "0.123 "},   {12.3456, "12.350 "},
                 {-0.0049, "-0.005 "},  {-0.0039, "-0.004 "}, {0.0, "0.000 "},
                 {123.456, "123.500 "}, {-0.0004, "0.000 "}};
    for (const auto& c : cases)
        EXPECT_EQ(DisplayTexts::odDisplayText(c.value), c.text) << c.value;
    EXPECT_TRUE(-0.0049 < DisplayTexts::redBelow);
    EXPECT_FALSE(-0.0039 < DisplayTexts::redBelow);

    const qint64 hour = 3600 * 1000;
    EXPECT_EQ(DisplayTexts::runningTimeText(2 * hour + 5000), "02:00:05");
    EXPECT_EQ(DisplayTexts::runningTimeText(25 * hour), "1 day 01:00:00");
    EXPECT_EQ(DisplayTexts::runningTimeText(75 * hour), "3 days 03:00:00");

    EXPECT_EQ(DisplayTexts::wholeNumberText(4095, 4), "4095");
    EXPECT_EQ(DisplayTexts::wholeNumberText(12345.6, 4), "1.235E+4");
    EXPECT_EQ(DisplayTexts::wholeNumberText(12345.6, 5), "12346");
    EXPECT_EQ(DisplayTexts::wholeNumberText(9999.5, 4), "1.000E+4") << "five digits once rounded";
    EXPECT_EQ(DisplayTexts::wholeNumberText(9999.4, 4), "9999");
}
