#pragma once

#include "lumo/Progress.h"

#include <cstdint>

namespace Talvessa {

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

    __lumo::ProgressEventCaller progressCaller;
};

} // namespace Talvessa
