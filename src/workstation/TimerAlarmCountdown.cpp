// SPDX-License-Identifier: GPL-3.0-or-later
#include "TimerAlarmCountdown.h"

#include "EngineEnvironment.h"

#include <QRegularExpression>

// Every entry lasts exactly what its text says.
const QVector<TimerAlarmCountdown::Preset>& TimerAlarmCountdown::presets() {
    static const QVector<Preset> list{
        {QStringLiteral("  1/2 Minute"), 30},     {QStringLiteral("  1     Minute"), 60},
        {QStringLiteral("  3     Minutes"), 180}, {QStringLiteral("  5     Minutes"), 300},
        {QStringLiteral("  10   Minutes"), 600},  {QStringLiteral("  20   Minutes"), 1200},
        {QStringLiteral("  60   Minutes"), 3600},
    };
    return list;
}

std::optional<int> TimerAlarmCountdown::secondsOfTimeText(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(\\d{1,2}):(\\d{2}):(\\d{2})\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const int hours = match.captured(1).toInt();
    const int minutes = match.captured(2).toInt();
    const int secs = match.captured(3).toInt();
    if (hours > 23 || minutes > 59 || secs > 59)
        return std::nullopt;
    return hours * 3600 + minutes * 60 + secs;
}

QString TimerAlarmCountdown::remainingText(int seconds) {
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds % 3600 / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

TimerAlarmCountdown::TimerAlarmCountdown(TonePlayer& tones, QObject* parent)
    : QObject(parent), tones_(tones) {
    timer4_.setObjectName(QStringLiteral("Timer4"));
    timer4_.setInterval(1000);
    connect(&timer4_, &QTimer::timeout, this, &TimerAlarmCountdown::tick);
}

void TimerAlarmCountdown::start(int timerSeconds) {
    seconds_ = timerSeconds;
    ticks_ = 0;
    timer4_.start();
    setStopButtonShown(true);
}

void TimerAlarmCountdown::tick() {
    ++ticks_;
    if (ticks_ <= seconds_) {
        setLabel(remainingText(seconds_ - ticks_));
        return;
    }
    // The window comes up first: showing it hides the "Timer" button, which must end visible.
    emit ringing();
    setTimerButtonShown(true);
    setLabel(QStringLiteral("Alarm"));
    tones_.playTone(1500, 200);
}

void TimerAlarmCountdown::stop() {
    timer4_.stop();
    setLabel(QString());
    setStopButtonShown(false);
    setTimerButtonShown(true);
    emit stopped();
}

void TimerAlarmCountdown::settingsOpened() {
    setTimerButtonShown(false);
}

void TimerAlarmCountdown::setLabel(const QString& text) {
    if (text == label_)
        return;
    label_ = text;
    emit countdownTextChanged(label_);
}

void TimerAlarmCountdown::setTimerButtonShown(bool shown) {
    if (shown == timerButtonShown_)
        return;
    timerButtonShown_ = shown;
    emit timerButtonVisibleChanged(shown);
}

void TimerAlarmCountdown::setStopButtonShown(bool shown) {
    if (shown == stopButtonShown_)
        return;
    stopButtonShown_ = shown;
    emit stopButtonVisibleChanged(shown);
}
