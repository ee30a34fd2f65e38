// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ODSourceInterface.h"
#include "lumo/Sleeper.h"

#include <cstdint>
#include <vector>

namespace Talvessa {

// The built-in source "Sim0": hands out a generated S-shaped growth curve with a little
// noise, so that the whole workstation runs without a photometer.
class ODSourceSimulated : public ODSourceInterface {
public:
    // Shared by all instances, read at construction (restartValueList on every value()).
    static inline std::uint32_t valueCount = 1000;
    static inline double noiseAmplitude = 0.01;
    static inline double maximumValue = 3.0;
    static inline bool restartValueList = true;

    explicit ODSourceSimulated(__lumo::Sleeper& sleeper = __lumo::systemSleeper());

    double value() override;
    void checkErrorState() override {}
    CalibrationResult calibrate() override;
    void setLedBrightness(std::int32_t) override {}

    const std::vector<double>& getValues() const { return values; }

private:
    void generateValues(double noise, std::uint32_t n, double max);

    std::vector<double> values;
    std::size_t position = 0;
    __lumo::Sleeper& sleeper_;
};

} // namespace Talvessa
