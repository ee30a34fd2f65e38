// SPDX-License-Identifier: GPL-3.0-or-later
#include "ODSourceSimulated.h"

#include "LoggedFailure.h"
#include "lumo/Logger.h"

#include <cmath>
#include <ctime>
#include <random>
#include <stdexcept>

namespace Talvessa {

ODSourceSimulated::ODSourceSimulated(__lumo::Sleeper& sleeper) : sleeper_(sleeper) {
    generateValues(noiseAmplitude, valueCount, maximumValue);
    position = 0;
}

void ODSourceSimulated::generateValues(double noise, std::uint32_t n, double max) {
    auto& log = getLogStream();
    log << "create value- list..." << std::endl;
    log << n << "\t" << max << "\t" << noise << std::endl;

    const double a = n * 3 * 0.5;
    const double b = static_cast<double>(n) * n * n * 0.5 / max;
    std::mt19937 generator(static_cast<std::mt19937::result_type>(std::time(nullptr)));
    std::uniform_int_distribution<int> draw(0, 32767);
    values.clear();
    values.reserve(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        const double x = i;
        const double base = x * x * (a - x) / b;
        if (!std::isfinite(base) || !std::isfinite(b) || b == 0.0) {
            log << "Can't create value list with given parameters!"
                << " " << n << " " << max << " " << noise << std::endl;
            throw std::runtime_error("Can't create value list with given parameters!");
        }
        const double noiseTerm = noise * (draw(generator) - 32767 * 0.5) / 32767;
        double v = base + noiseTerm;
        log << i << "\t" << base << "\t" << noiseTerm << "\t" << v << "\n";
        if (v < 0)
            v = 0.0;
        else if (v > max)
            v = max;
        values.push_back(v);
    }
}

double ODSourceSimulated::value() {
    if (values.empty())
        throw std::runtime_error("The simulated source has no values to hand out.");
    if (restartValueList || position >= values.size()) {
        position = 0;
        restartValueList = false;
    }
    return values[position++];
}

CalibrationResult ODSourceSimulated::calibrate() {
    __lumo::ProgressInfoType progress;
    progress.total = 15;
    for (int step = 0; step <= 15; ++step) {
        progress.current = step;
        progressCaller.fireEvent(progress);
        sleeper_.sleepMilliseconds(250);
    }
    CalibrationResult result;
    result.dark = 0.0;
    result.reference = 4095.0;
    return result;
}

} // namespace Talvessa
