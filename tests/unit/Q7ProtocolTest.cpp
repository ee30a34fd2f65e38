// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeSleeper.h"
#include "LogCapture.h"
#include "ScriptedConnection.h"
#include "TestVariant.h"

#include <cmath>
#include <gtest/gtest.h>

using Bytes = std::vector<unsigned char>;

namespace {

const std::initializer_list<unsigned char> okStatus = {0, 0, 0, 0, 0, 0};

struct ProgressRecorder : __lumo::EventListenerInterface<__lumo::ProgressInfoType> {
    void eventOccurred(__lumo::ProgressInfoType& info) override {
        events.push_back({info.current, info.total});
    }
    std::vector<std::pair<int, unsigned>> events;
};

struct Q7Protocol : testing::Test {
    LogCapture log;
    FakeSleeper sleeper;
    ScriptedConnection connection{sleeper};
    TestVariant source{connection, 6, sleeper};

    void queueReading(unsigned char high, unsigned char low) {
        connection.queue(okStatus);
        connection.queue({high, low});
    }
};

} // namespace

TEST_F(Q7Protocol, ReadingDecodesHighByteFirstAndLogsOneLine) {
    source.setCalibration(1, 4095);
    queueReading(0x03, 0xE8);
    source.value();
    EXPECT_EQ(connection.sent, std::vector<Bytes>{Bytes({0x32, 0x06})});
    EXPECT_EQ(source.getRawValue(), 1000u);
    EXPECT_EQ(sleeper.sleeps, std::vector<unsigned long>{20}) << "status is read after 20 ms";
    EXPECT_EQ(log.text(),
              "Q7_Base::readData\t1000 2[ E8 03]\tQ7_Base::calculateODValue\t0.612582\n");

    queueReading(0xFF, 0xFF);
    source.readData();
    EXPECT_EQ(source.getRawValue(), 65535u);
}

TEST_F(Q7Protocol, StatusErrorAbandonsTheReading) {
    connection.queue({1, 0, 0, 0, 0, 0, 0x12, 0x34});
    EXPECT_THROW(source.readData(), std::runtime_error);
    EXPECT_EQ(connection.answers.size(), 2u) << "value bytes are not read after an error";
}

TEST_F(Q7Protocol, LedBrightnessSendsLow16BitsHighFirst) {
    const struct {
        std::int32_t brightness;
        Bytes wire;
    } cases[] = {
        {300, {0x30, 0x01, 0x2C}},
        {65536, {0x30, 0x00, 0x00}},
        {-1, {0x30, 0xFF, 0xFF}},
        {0, {0x30, 0x00, 0x00}},
    };
    for (const auto& c : cases) {
        connection.sent.clear();
        connection.queue(okStatus);
        source.setLedBrightness(c.brightness);
        EXPECT_EQ(connection.sent, std::vector<Bytes>{c.wire}) << c.brightness;
        EXPECT_TRUE(connection.answers.empty()) << "the status answer is consumed";
    }
}

TEST_F(Q7Protocol, ODFromRawReading) {
    source.setCalibration(100, 1100);
    const struct {
        std::uint32_t raw;
        double od;
    } cases[] = {{200, 1.0}, {1100, 0.0}, {2100, -std::log10(2.0)}, {100, -1.0}, {50, -1.0}};
    for (const auto& c : cases) {
        source.setRawValue(c.raw);
        EXPECT_DOUBLE_EQ(source.calculateODValue(), c.od) << c.raw;
    }
    source.setRawValue(1100);
    EXPECT_TRUE(std::signbit(source.calculateODValue())) << "ratio 1 gives a negative zero";
}

TEST_F(Q7Protocol, CalibrationDarkThenReferenceAndBrightnessRestored) {
    connection.queue(okStatus);
    source.setLedBrightness(300);
    connection.sent.clear();

    connection.queue(okStatus); // brightness 0
    for (int i = 0; i < 8; ++i)
        queueReading(0x00, static_cast<unsigned char>(10 + i)); // dark mean 13.5
    for (int i = 0; i < 8; ++i)
        queueReading(0x0F, 0xFF); // reference 4095
    connection.queue(okStatus);   // brightness restored

    ProgressRecorder progress;
    source.progressCaller.addListener(&progress);
    const auto result = source.calibrate();

    EXPECT_DOUBLE_EQ(result.dark, 13.5);
    EXPECT_DOUBLE_EQ(result.reference, 4095.0);
    EXPECT_DOUBLE_EQ(source.getDark(), 13.5);
    EXPECT_DOUBLE_EQ(source.getReference(), 4095.0);
    ASSERT_EQ(connection.sent.size(), 18u);
    EXPECT_EQ(connection.sent.front(), Bytes({0x30, 0x00, 0x00}));
    EXPECT_EQ(connection.sent.back(), Bytes({0x30, 0x01, 0x2C}));
    for (std::size_t i = 1; i < 17; ++i)
        EXPECT_EQ(connection.sent[i], Bytes({0x32, 0x06}));
    ASSERT_EQ(progress.events.size(), 16u);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(progress.events[static_cast<std::size_t>(i)], std::make_pair(i + 1, 16u));
    const std::string text = log.text();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << "one log line for the whole run";
    EXPECT_NE(text.find("\tQ7_Base::calibrate\t13.5 / 4095\n"), std::string::npos) << text;
}

TEST_F(Q7Protocol, CalibrationWithoutEarlierBrightnessSendsZeroAtBothEnds) {
    connection.queue(okStatus);
    for (int i = 0; i < 16; ++i)
        queueReading(0x01, 0xF4);
    connection.queue(okStatus);
    const auto result = source.calibrate();
    EXPECT_EQ(connection.sent.front(), Bytes({0x30, 0x00, 0x00}));
    EXPECT_EQ(connection.sent.back(), Bytes({0x30, 0x00, 0x00}));

    // Equal readings leave no usable scale: the next OD is refused, not infinite.
    EXPECT_DOUBLE_EQ(result.dark, 500.0);
    EXPECT_DOUBLE_EQ(result.reference, 500.0);
    try {
        source.calculateODValue();
        FAIL() << "no error";
    } catch (const Talvessa::CalibrationUnusableError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "The calibration cannot be used: its reference reading equals its dark reading "
                  "(500), so no OD can be computed.\nPlease calibrate the photometer again.");
    }
}

TEST_F(Q7Protocol, FailedCalibrationKeepsTheEarlierOneAndRestoresTheBrightness) {
    connection.queue(okStatus);
    source.setLedBrightness(300);
    source.setCalibration(1, 4095);
    connection.sent.clear();

    connection.queue(okStatus); // brightness 0
    for (int i = 0; i < 8; ++i)
        queueReading(0x00, 0x10);
    for (int i = 0; i < 3; ++i)
        queueReading(0x0F, 0xFF);
    connection.queue({1, 0, 0, 0, 0, 0}); // the fourth reference reading reports an error
    connection.queue(okStatus);           // brightness restored
    EXPECT_THROW(source.calibrate(), std::runtime_error);

    EXPECT_DOUBLE_EQ(source.getDark(), 1);
    EXPECT_DOUBLE_EQ(source.getReference(), 4095);
    EXPECT_EQ(connection.sent.back(), Bytes({0x30, 0x01, 0x2C}));
    EXPECT_TRUE(connection.answers.empty());
}

TEST(ConnectionInterface, SendByteAndReconnectOnce) {
    FakeSleeper sleeper;
    ScriptedConnection connection(sleeper);
    connection.sendByte(0);
    EXPECT_EQ(connection.sent, std::vector<Bytes>{Bytes{0x00}});
    EXPECT_TRUE(connection.connects.empty());

    connection.checkFailures = 1;
    connection.sendByte(0x32);
    EXPECT_EQ(connection.disconnects, 1);
    EXPECT_EQ(connection.connects, std::vector<bool>{true});
    EXPECT_EQ(sleeper.sleeps, std::vector<unsigned long>{50});
    EXPECT_EQ(connection.sent.size(), 2u);

    connection.checkFailures = 2;
    const int checksBefore = connection.checks;
    try {
        connection.sendByte(0x33);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "check failed " + std::to_string(checksBefore + 2));
    }
    EXPECT_EQ(connection.sent.size(), 2u);
}
