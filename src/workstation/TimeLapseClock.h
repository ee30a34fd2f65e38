// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EngineEnvironment.h"

// A clock that runs `rate` times as fast as the real one, so that a simulated culture of
// several hours fits into a demonstration of a few seconds. It shows the real time when first
// read (the start of the run) and runs fast from there; anchoring it earlier would move the
// start by the set-up time multiplied by the rate.
class TimeLapseClock final : public Clock {
public:
    explicit TimeLapseClock(double rate) : rate_(rate) {}

    QDateTime now() const override {
        const QDateTime real = QDateTime::currentDateTime();
        if (!origin_.isValid())
            origin_ = real;
        return origin_.addMSecs(
            static_cast<qint64>(static_cast<double>(origin_.msecsTo(real)) * rate_));
    }

private:
    double rate_;
    mutable QDateTime origin_;
};
