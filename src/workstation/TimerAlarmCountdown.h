// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>
#include <optional>

class TonePlayer;

// The egg timer of the main window: counts a chosen number of seconds down on a one-second
// timer, then rings every second until it is stopped. The main window binds its countdown
// label, "Timer" and "Stop" buttons to the signals; the timer alarm window starts and stops it.
class TimerAlarmCountdown : public QObject {
    Q_OBJECT
public:
    struct Preset {
        QString entry;
        int seconds;
    };
    // The preset list of the settings panel, in order, and the entry chosen at creation.
    static const QVector<Preset>& presets();
    static constexpr int initialPreset = 4;

    // "hh:mm:ss" (one or two hour digits) as seconds; nothing for an incomplete text or one
    // that is no time of day.
    static std::optional<int> secondsOfTimeText(const QString& text);
    // "1:29:59": hours without leading zeros, minutes and seconds with two digits.
    static QString remainingText(int seconds);

    explicit TimerAlarmCountdown(TonePlayer& tones, QObject* parent = nullptr);

    int timerSeconds() const { return seconds_; }
    void setTimerSeconds(int value) { seconds_ = value; }
    int timerTicks() const { return ticks_; }
    bool isOn() const { return timer4_.isActive(); }
    bool isRinging() const { return isOn() && ticks_ > seconds_; }

    QString countdownText() const { return label_; }
    bool timerButtonVisible() const { return timerButtonShown_; }
    bool stopButtonVisible() const { return stopButtonShown_; }

    QTimer& countdownTimer() { return timer4_; }

public slots:
    // Counts the given seconds down from now.
    void start(int timerSeconds);
    // One second of the countdown; the timer calls it, tests may too.
    void tick();
    // Timer off, label empty, "Stop" hidden, "Timer" shown; the alarm window closes.
    void stop();
    // The settings panel came up: the "Timer" button gives way to it.
    void settingsOpened();

signals:
    void countdownTextChanged(const QString& text);
    void timerButtonVisibleChanged(bool visible);
    void stopButtonVisibleChanged(bool visible);
    // The time has run out: the alarm window is to show its alarm. Repeats every second.
    void ringing();
    void stopped();

private:
    void setLabel(const QString& text);
    void setTimerButtonShown(bool shown);
    void setStopButtonShown(bool shown);

    TonePlayer& tones_;
    QTimer timer4_;
    int seconds_ = 0;
    int ticks_ = 0;
    QString label_;
    bool timerButtonShown_ = true;
    bool stopButtonShown_ = false;
};
