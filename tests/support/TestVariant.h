// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "com/Q7_Base.h"

#include <stdexcept>

// The smallest photometer variant: a status answer of statusLength bytes whose first byte
// is 0 when all is well.
class TestVariant : public Talvessa::Q7_Base {
public:
    TestVariant(Talvessa::ConnectionInterface& port, std::int32_t statusBytes = 6,
                __lumo::Sleeper& sleeper = __lumo::systemSleeper())
        : Q7_Base(port, 6, statusBytes, sleeper) {}

    void checkErrorState() override {
        Talvessa::UCharContainer status(statusLength);
        sleeper_.sleepMilliseconds(statusDelayMilliseconds);
        connection >> status;
        if (status.at(0) != 0)
            throw std::runtime_error("status error");
    }

    void setCalibration(double newDark, double newReference) {
        dark = newDark;
        reference = newReference;
    }
    void setRawValue(std::uint32_t raw) { rawValue = raw; }
};
