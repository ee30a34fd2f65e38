// SPDX-License-Identifier: GPL-3.0-or-later
#include "ODAlarm.h"

#include "EngineEnvironment.h"
#include "Protocol.h"

#include <algorithm>
#include <cmath>

QString ODAlarm::filledThresholdText(const QString& text) {
    QString filled = text;
    filled.replace(QLatin1Char(' '), QLatin1Char('0'));
    return filled;
}

void ODAlarm::setSwitch(bool on, Protocol& protocol, std::int64_t elapsedMilliseconds) {
    if (on == switchOn_)
        return;
    switchOn_ = on;
    protocol.addPlain(on ? QStringLiteral("Turn On OD Alarm at ")
                         : QStringLiteral("Turn Off OD Alarm at "),
                      elapsedMilliseconds);
}

bool ODAlarm::check(double od, bool deviceError, TonePlayer& tones) {
    thresholdText = filledThresholdText(thresholdText);
    bool ok = false;
    const double threshold = thresholdText.toDouble(&ok);
    if (!ok || !std::isfinite(threshold))
        return false;
    if (!switchOn_ || deviceError)
        return false;
    if (direction == Below && od < threshold) {
        fired = true;
        tones.playTone(1500, 50);
        tones.playTone(500, 50);
        return true;
    }
    if (direction == Above && od > threshold) {
        fired = true;
        tones.playTone(1500, 50);
        return true;
    }
    return false;
}

void ODAlarm::moveBy(int delta) {
    position = std::clamp(position + delta, 0, 9000);
    thresholdText = QString::number(position * 0.001, 'f', 3);
    ++step_;
}

void ODAlarm::stepUp() {
    moveBy(step_);
}

void ODAlarm::stepDown() {
    moveBy(-step_);
}

void ODAlarm::acknowledge(Protocol& protocol, std::int64_t elapsedMilliseconds) {
    fired = false;
    setSwitch(false, protocol, elapsedMilliseconds);
}
