// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GrowthModels.h"

#include <optional>
#include <vector>

// Least squares of a growth model to a culture's OD readings, and the steepest rate of ln OD
// it gives with its standard error.
namespace GrowthModelFit {

struct Sample {
    double hours = 0; // from the first reading
    double od = 0;
};

struct Fit {
    GrowthModels::Model model;
    GrowthModels::Parameters parameters{};
    double residualSquares = 0;
    int points = 0;
    // The parameters' covariance (row by row, parameterCount squared), scaled by the
    // residual variance.
    std::vector<double> covariance;

    // The small-sample Akaike information criterion: lower is the better model.
    double informationCriterion() const;
    double residualStandardDeviation() const;
};

// The readings' OD carries noise of the same size however high the OD, so the fit is made
// in OD, not in ln OD. Empty when the fit does not get anywhere (no finite result).
std::optional<Fit> fit(const GrowthModels::Model& model, const std::vector<Sample>& samples,
                       const GrowthModels::Parameters& start);

struct Rate {
    GrowthModels::Steepest steepest;
    double standardError = 0; // not finite when the fit leaves the rate undetermined
};
// The steepest rate between the times from and to, with its error carried over from the
// parameters' covariance.
Rate steepestRate(const Fit& fit, double from, double to);

} // namespace GrowthModelFit
