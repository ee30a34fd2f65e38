// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <string>
#include <vector>

// The growth curves a culture's OD is fitted with. Each is written in parameters that keep
// it meaningful whatever values a fit tries: p[0] = ln OD0, p[1] = ln A with A = ln(K / OD0)
// the rise to the plateau K, p[2] = ln of the rate parameter (per hour), p[3] = the lag
// (hours, its meaning per model), p[4] = ln of the Richards shape. Times are hours from the
// first reading.
namespace GrowthModels {

using Parameters = std::array<double, 5>;

enum class Kind {
    Logistic,         // dOD/dt = r OD (1 - OD/K) once the lag has passed
    Richards,         // dOD/dt = r OD (1 - (OD/K)^shape) once the lag has passed
    Gompertz,         // the modified Gompertz curve in ln OD
    ModifiedLogistic, // the modified logistic curve in ln OD
    Baranyi,          // the Baranyi-Roberts curve
};

struct Model {
    Kind kind;
    const char* name;
    int parameterCount;
};

const std::vector<Model>& all();

// ln OD at time t.
double lnOd(Kind kind, const Parameters& p, double t);
// d ln OD / dt at time t, per hour.
double lnSlope(Kind kind, const Parameters& p, double t);

struct Steepest {
    double rate = 0; // the largest d ln OD / dt within the range
    double time = 0; // where it is reached
};
// The steepest point of the curve between the times from and to.
Steepest steepest(Kind kind, const Parameters& p, double from, double to);

// The parameters of a curve through OD0 at the start that rises to the plateau K after the
// given lag, with the given steepest slope of ln OD; the Richards shape as given.
Parameters startingPoint(Kind kind, double od0, double plateau, double rate, double lag,
                         double shape = 1);

} // namespace GrowthModels
