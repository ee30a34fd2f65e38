// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>
#include <random>
#include <vector>

// Curves for the tests that show growth figures.
namespace GrowthCurves {

// A culture as a photometer reads it, one OD per step: 48 steps of a logistic rise from OD
// 0.05 to 2 around step 21, with noise of +/- 0.003 (the same on every platform, as the
// standard fixes the generator), so that its rate has an interval.
inline std::vector<double> noisyCulture() {
    std::mt19937 generator(20240305);
    std::vector<double> ods;
    for (int i = 0; i < 48; ++i) {
        const double od = 0.05 + 1.95 / (1 + std::exp(-0.27 * (i - 21)));
        const double noise =
            0.003 * (2.0 * generator() / static_cast<double>(std::mt19937::max()) - 1);
        ods.push_back(std::round((od + noise) * 10000) / 10000);
    }
    return ods;
}

} // namespace GrowthCurves
