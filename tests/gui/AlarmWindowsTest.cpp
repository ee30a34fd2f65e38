// SPDX-License-Identifier: GPL-3.0-or-later
#include "../workstation/EngineFixture.h"
#include "TODAlarm.h"
#include "TTimerForm.h"
#include "workstation/DisplayFormats.h"
#include "workstation/SampleValues.h"
#include "workstation/TimerAlarmCountdown.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

// A control of a window, found by its name.
template <typename T> T& control(QWidget& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        throw std::runtime_error(std::string("no control ") + name);
    return *found;
}

// What the main window would show of the countdown: label, "Timer", "Stop".
std::string display(const TimerAlarmCountdown& countdown) {
    return countdown.countdownText().toStdString() +
           (countdown.timerButtonVisible() ? " [Timer]" : "") +
           (countdown.stopButtonVisible() ? " [Stop]" : "");
}

class TimerAlarm : public testing::Test {
protected:
    void ticks(int n) {
        for (int i = 0; i < n; ++i)
            countdown_.tick();
    }
    // Opens the settings, enters a time and presses "Start".
    void startWithTime(const QString& text) {
        window_.openSettings();
        control<QRadioButton>(window_, "RadioButton1").setChecked(true);
        control<QLineEdit>(window_, "MaskEdit1").setText(text);
        control<QPushButton>(window_, "TimerStart").click();
    }

    RecordingTones tones_;
    TimerAlarmCountdown countdown_{tones_};
    TTimerForm window_{countdown_};
};

} // namespace

TEST(TimerAlarmCountdown, TimeTextsAndRemainingTexts) {
    const struct {
        const char* text;
        std::optional<int> seconds;
    } times[] = {
        {"01:30:00", 5400},         {"00:00:00", 0},
        {" 1:02:03", 3723},         {"23:59:59", 86399},
        {"24:00:00", std::nullopt}, {"00:60:00", std::nullopt},
        {"00:00:61", std::nullopt}, {"01:3:00", std::nullopt},
        {"::", std::nullopt},       {"", std::nullopt},
    };
    for (const auto& t : times)
        EXPECT_EQ(TimerAlarmCountdown::secondsOfTimeText(t.text), t.seconds) << t.text;

    EXPECT_EQ(TimerAlarmCountdown::remainingText(605), "0:10:05");
    EXPECT_EQ(TimerAlarmCountdown::remainingText(5399), "1:29:59");
    EXPECT_EQ(TimerAlarmCountdown::remainingText(0), "0:00:00");
    EXPECT_EQ(TimerAlarmCountdown::remainingText(36000), "10:00:00");
}

TEST_F(TimerAlarm, SettingsPanelAtStartUp) {
    EXPECT_EQ(window_.windowTitle(), "Timer Alarm");
    EXPECT_TRUE(window_.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(control<QLineEdit>(window_, "MaskEdit1").text(), "00:00:00");
    EXPECT_TRUE(control<QRadioButton>(window_, "RadioButton1").isChecked());
    EXPECT_TRUE(control<QLineEdit>(window_, "MaskEdit1").isEnabled());
    EXPECT_FALSE(control<QComboBox>(window_, "ComboBox2").isEnabled());
    EXPECT_EQ(control<QComboBox>(window_, "ComboBox2").currentText(), "  10   Minutes");
    EXPECT_EQ(countdown_.timerSeconds(), 0);
    EXPECT_FALSE(countdown_.countdownTimer().isActive());
    EXPECT_EQ(countdown_.countdownTimer().interval(), 1000);
    EXPECT_EQ(display(countdown_), " [Timer]");

    control<QRadioButton>(window_, "RadioButton2").setChecked(true);
    EXPECT_FALSE(control<QLineEdit>(window_, "MaskEdit1").isEnabled());
    EXPECT_TRUE(control<QComboBox>(window_, "ComboBox2").isEnabled());
}

TEST_F(TimerAlarm, PresetDurations) {
    const std::pair<const char*, int> expected[] = {
        {"  1/2 Minute", 30},     {"  1     Minute", 60},  {"  3     Minutes", 180},
        {"  5     Minutes", 300}, {"  10   Minutes", 600}, {"  20   Minutes", 1200},
        {"  60   Minutes", 3600},
    };
    auto& combo = control<QComboBox>(window_, "ComboBox2");
    ASSERT_EQ(combo.count(), 7);
    for (int i = 0; i < combo.count(); ++i) {
        EXPECT_EQ(combo.itemText(i), expected[i].first);
        emit combo.activated(i);
        EXPECT_EQ(countdown_.timerSeconds(), expected[i].second) << "chosen: " << expected[i].first;
    }
}

TEST_F(TimerAlarm, ThreeMinutePresetCountsDownAndRings) {
    window_.openSettings();
    control<QRadioButton>(window_, "RadioButton2").setChecked(true);
    control<QComboBox>(window_, "ComboBox2").setCurrentIndex(2);
    control<QPushButton>(window_, "TimerStart").click();
    EXPECT_FALSE(window_.isVisible());
    EXPECT_TRUE(countdown_.isOn());
    EXPECT_EQ(display(countdown_), " [Stop]");

    ticks(1);
    EXPECT_EQ(display(countdown_), "0:02:59 [Stop]");
    ticks(179);
    EXPECT_EQ(display(countdown_), "0:00:00 [Stop]");
    EXPECT_TRUE(tones_.tones.empty());
    ticks(1);
    EXPECT_EQ(display(countdown_), "Alarm [Timer] [Stop]");
    EXPECT_EQ(tones_.tones, (std::vector<std::pair<int, int>>{{1500, 200}}));
}

TEST_F(TimerAlarm, TimeFieldCountdownTexts) {
    startWithTime("01:30:00");
    ASSERT_EQ(countdown_.timerSeconds(), 5400);
    std::vector<std::string> shown;
    QObject::connect(&countdown_, &TimerAlarmCountdown::countdownTextChanged,
                     [&](const QString& text) { shown.push_back(text.toStdString()); });
    ticks(3);
    EXPECT_EQ(shown, (std::vector<std::string>{"1:29:59", "1:29:58", "1:29:57"}));
    ticks(5400 - 3 - 605);
    EXPECT_EQ(shown.back(), "0:10:05");
    ticks(605);
    EXPECT_EQ(shown.back(), "0:00:00");
    EXPECT_FALSE(window_.isVisible());
    ticks(1);
    EXPECT_EQ(shown.back(), "Alarm");
    EXPECT_TRUE(window_.isVisible());
}

TEST_F(TimerAlarm, RingsEverySecondUntilAcknowledged) {
    startWithTime("00:00:00");
    QSignalSpy ringing(&countdown_, &TimerAlarmCountdown::ringing);
    ticks(1);
    ASSERT_TRUE(window_.isVisible()) << "rings one second after Start";
    EXPECT_EQ(window_.windowModality(), Qt::NonModal);
    EXPECT_FALSE(control<QWidget>(window_, "Panel1").isVisible());
    EXPECT_TRUE(control<QWidget>(window_, "AlarmPanel").isVisible());
    EXPECT_EQ(display(countdown_), "Alarm [Timer] [Stop]");
    ticks(3);
    EXPECT_EQ(ringing.count(), 4);
    EXPECT_EQ(tones_.tones, (std::vector<std::pair<int, int>>(4, {1500, 200})));
    EXPECT_FALSE(control<QWidget>(window_, "Panel1").isVisible())
        << "stays the alarm view while ringing";

    control<QPushButton>(window_, "SpeedButton1").click();
    EXPECT_FALSE(window_.isVisible());
    EXPECT_FALSE(countdown_.isOn());
    EXPECT_EQ(display(countdown_), " [Timer]");
}

TEST_F(TimerAlarm, InvalidTimeDropsTheStartLikeCancel) {
    for (const QString& text : {QStringLiteral("25:00:00"), QStringLiteral("01:3")}) {
        startWithTime(text);
        EXPECT_FALSE(countdown_.isOn()) << text.toStdString();
        EXPECT_FALSE(window_.isVisible());
        EXPECT_EQ(display(countdown_), " [Timer]");
    }
}

TEST_F(TimerAlarm, CancelStopAndCloseBox) {
    window_.openSettings();
    EXPECT_EQ(window_.windowModality(), Qt::ApplicationModal);
    EXPECT_TRUE(control<QWidget>(window_, "Panel1").isVisible());
    EXPECT_EQ(display(countdown_), "") << "the settings hide the Timer button";
    control<QPushButton>(window_, "SpeedButton2").click();
    EXPECT_FALSE(window_.isVisible());
    EXPECT_EQ(display(countdown_), " [Timer]");

    // The main window's "Stop" ends a countdown and a ringing alarm alike.
    startWithTime("00:00:05");
    ticks(2);
    countdown_.stop();
    EXPECT_FALSE(countdown_.isOn());
    EXPECT_EQ(display(countdown_), " [Timer]");
    startWithTime("00:00:00");
    ticks(2);
    ASSERT_TRUE(window_.isVisible());
    countdown_.stop();
    EXPECT_FALSE(window_.isVisible());
    EXPECT_EQ(display(countdown_), " [Timer]");

    // The close box only closes: "Timer" stays hidden until the pop-up item reopens the settings.
    window_.openSettings();
    window_.close();
    EXPECT_FALSE(window_.isVisible());
    EXPECT_EQ(display(countdown_), "");
    window_.openSettings();
    EXPECT_TRUE(control<QWidget>(window_, "Panel1").isVisible());
}

namespace {

class ODAlarmWindow : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        window_ = std::make_unique<TODAlarm>(*engine_);
        engine_->setInterval(1000); // the countdown outlasts the test
        source_->next = [this](int) { return od_; };
        engine_->setAlarmThresholdText("0.500");
        engine_->setAlarmDirection(ODAlarm::Above);
        engine_->start();
        takeSamples(1);
    }
    void TearDown() override {
        window_.reset();
        EngineFixture::TearDown();
    }
    // The protocol's entries without their times, newest first.
    QStringList entries() const {
        QStringList messages;
        for (QString line : engine_->protocol().getText().split('\n', Qt::SkipEmptyParts)) {
            const int at = line.lastIndexOf(" at ");
            messages << (at >= 0 ? line.left(at + 4) : line.mid(line.indexOf("  ") + 2));
        }
        return messages;
    }
    void countdownTicks(int n) {
        for (int i = 0; i < n; ++i)
            engine_->countdownTick();
    }

    double od_ = 0.9;
    std::unique_ptr<TODAlarm> window_;
};

} // namespace

TEST_F(ODAlarmWindow, AlertIsRecordedOnceAndOkSwitchesTheAlarmOff) {
    EXPECT_EQ(window_->windowTitle(), "OD Alarm!");
    EXPECT_EQ(control<QLabel>(*window_, "Label1").text(), "OD Alarm");
    EXPECT_TRUE(window_->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(control<QLabel>(*window_, "Image1").pixmap().isNull());
    QSignalSpy switchedOff(window_.get(), &TODAlarm::alarmSwitchedOff);

    clock_.advance(61000);
    countdownTicks(1); // the elapsed time moves on with the countdown
    engine_->setAlarmSwitch(true);
    const qint64 atFiring = engine_->elapsedMilliseconds();
    ASSERT_GE(atFiring, 61000);
    countdownTicks(3);
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(tones_.tones.size(), 3u) << "every firing beeps";
    EXPECT_EQ(entries(),
              (QStringList{"OD Alert at ", "Turn On OD Alarm at ", "started measurement"}))
        << "one entry however often it fires while shown";

    control<QPushButton>(*window_, "SpeedButton1").click();
    EXPECT_FALSE(window_->isVisible());
    EXPECT_FALSE(engine_->alarm().fired);
    EXPECT_FALSE(engine_->alarm().isOn());
    EXPECT_EQ(switchedOff.count(), 1);
    EXPECT_EQ(entries().first(), "Turn Off OD Alarm at ");
    EXPECT_EQ(engine_->protocol().getText().section('\n', 1, 1),
              "OD Alert at " + DisplayFormats::longTimeText(SampleValues::allTime(atFiring)));

    countdownTicks(2);
    EXPECT_FALSE(window_->isVisible()) << "switched off: no further alarm";

    engine_->setAlarmSwitch(true);
    countdownTicks(1);
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(entries().mid(0, 4), (QStringList{"OD Alert at ", "Turn On OD Alarm at ",
                                                "Turn Off OD Alarm at ", "OD Alert at "}));
}

TEST_F(ODAlarmWindow, SwitchedOffWhileShownOkOnlyClears) {
    engine_->setAlarmSwitch(true);
    countdownTicks(1);
    ASSERT_TRUE(window_->isVisible());
    engine_->setAlarmSwitch(false);
    const QString before = engine_->protocol().getText();
    QSignalSpy switchedOff(window_.get(), &TODAlarm::alarmSwitchedOff);

    window_->acknowledge();
    EXPECT_FALSE(window_->isVisible());
    EXPECT_FALSE(engine_->alarm().fired);
    EXPECT_EQ(engine_->protocol().getText(), before);
    EXPECT_EQ(switchedOff.count(), 0);

    // Shown without a firing (nothing set): no entry either.
    window_->show();
    EXPECT_EQ(engine_->protocol().getText(), before);
}
