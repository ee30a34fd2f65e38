// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lumo/Progress.h"

#include <cstdint>
#include <stdexcept>

namespace Talvessa {

// The device answered, and its status reported an error: the line itself is fine.
struct DeviceStatusError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The stored calibration leaves no scale to compute an OD on: the line and the device are
// fine, the user has to calibrate again.
struct CalibrationUnusableError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct CalibrationResult {
    double dark = 0.0;
    double reference = 0.0; // the reading that corresponds to OD 0
};

// What the measurement needs of an OD source: a photometer or the simulated source.
class ODSourceInterface {
public:
    virtual ~ODSourceInterface() = default;

    virtual double value() = 0;
    virtual void checkErrorState() = 0;
    virtual CalibrationResult calibrate() = 0;
    virtual void setLedBrightness(std::int32_t brightness) = 0;

    // True when the device has sent something nobody asked for yet (a status answer the
    // stand-alone error check can consume). A photometer only answers commands, so the
    // check must not wait for a status that will never come.
    virtual bool hasPendingStatus() { return false; }

    __lumo::ProgressEventCaller progressCaller;
};

} // namespace Talvessa
