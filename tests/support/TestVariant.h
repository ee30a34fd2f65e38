// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "com/Q7_Base.h"

#include <stdexcept>

// The smallest photometer variant: a status answer of statusLength bytes whose first byte
// is 0 when all is well.
class TestVariant : public Talvessa::Q7_Base {
public:
    TestVariant(Talvessa::ConnectionInterface& connection, std::int32_t statusLength = 6,
                __lumo::Sleeper& sleeper = __lumo::systemSleeper())
        : Q7_Base(connection, 6, statusLength, sleeper) {}

    void checkErrorState() override {
        Talvessa::UCharContainer status(statusLength);
        sleeper.sleepMilliseconds(statusDelayMilliseconds);
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
