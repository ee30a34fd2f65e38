// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Synthetic cultures of the four standard growth models with a known steepest rate of ln OD,
// sampled and stored as the workstation stores its readings: the panel the growth analysis is
// judged on, in the tests and in the benchmark.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace SyntheticCultures {

enum class Model { Logistic, Richards, Gompertz, Baranyi };

inline const char* modelName(Model model) {
    switch (model) {
    case Model::Logistic:
        return "logistic";
    case Model::Richards:
        return "Richards";
    case Model::Gompertz:
        return "Gompertz";
    case Model::Baranyi:
        return "Baranyi";
    }
    return "";
}

struct Culture {
    Model model = Model::Logistic;
    double rate = 1; // the steepest slope of ln OD, per hour: the true value
    double lagHours = 0;
    double od0 = 0.05;
    double plateau = 1.5;
    double shape = 1; // Richards only
    double stepMinutes = 10;
    int decimals = 4; // the OD is stored cut toward zero to this many decimals
    double noise = 0; // standard deviation of Gaussian OD noise
    std::uint32_t seed = 1;
};

struct Reading {
    double minutes;
    double od;
};

// ln OD at t hours. Logistic and Richards grow in OD from the end of the lag on, so their
// steepest ln slope is right there; Gompertz (modified, in ln OD) and Baranyi are steepest
// later. Their rate parameters are set so that the steepest ln slope is the culture's rate.
inline double lnOd(const Culture& c, double t) {
    const double rise = std::log(c.plateau / c.od0);
    switch (c.model) {
    case Model::Logistic:
    case Model::Richards: {
        const double shape = c.model == Model::Logistic ? 1.0 : c.shape;
        if (t <= c.lagHours)
            return std::log(c.od0);
        const double r = c.rate / -std::expm1(-shape * rise);
        return std::log(c.plateau) -
               std::log1p(std::expm1(shape * rise) * std::exp(-r * shape * (t - c.lagHours))) /
                   shape;
    }
    case Model::Gompertz:
        return std::log(c.od0) +
               rise * std::exp(-std::exp(c.rate * std::exp(1.0) / rise * (c.lagHours - t) + 1));
    case Model::Baranyi: {
        // Its steepest slope stays a little under its rate parameter; taken as the parameter
        // here, the true value is measured off the curve (trueRate).
        const double mu = c.rate;
        const double h0 = mu * c.lagHours;
        const double b =
            t + std::log(std::exp(-mu * t) + std::exp(-h0) - std::exp(-mu * t - h0)) / mu;
        return std::log(c.od0) + mu * b - std::log1p(std::expm1(mu * b) / std::exp(rise));
    }
    }
    return 0;
}

// The run lasts until the curve is within 3 % of its plateau, and two hours more.
inline double runHours(const Culture& c) {
    const double target = std::log(c.plateau * 0.97);
    double t = 0;
    while (t < 72 && lnOd(c, t) < target)
        t += 0.05;
    return t + 2;
}

// The steepest slope of ln OD over the run, off the curve itself.
inline double trueRate(const Culture& c) {
    const double end = runHours(c);
    const double h = 1e-5;
    double best = 0;
    for (double t = h; t <= end; t += 0.0005)
        best = std::max(best, (lnOd(c, t + h) - lnOd(c, t - h)) / (2 * h));
    // Logistic and Richards are steepest just after the lag, where a central difference
    // straddling it would fall short.
    if (c.model == Model::Logistic || c.model == Model::Richards)
        best = std::max(best, (lnOd(c, c.lagHours + 2 * h) - lnOd(c, c.lagHours + h)) / h);
    return best;
}

inline std::vector<Reading> readings(const Culture& c) {
    std::mt19937 generator(c.seed);
    std::normal_distribution<double> noise(0.0, 1.0);
    const double scale = std::pow(10.0, c.decimals);
    const double end = runHours(c) * 60;
    std::vector<Reading> out;
    for (int i = 0; i * c.stepMinutes <= end; ++i) {
        const double minutes = i * c.stepMinutes;
        double od = std::exp(lnOd(c, minutes / 60));
        if (c.noise > 0)
            od += c.noise * noise(generator);
        out.push_back({minutes, std::trunc(od * scale) / scale});
    }
    return out;
}

// Cultures drawn across the range a lab meets: rates 0.2 to 2 per hour, lags 0 to 4 hours,
// starting ODs 0.02 to 0.1, plateaus 0.8 to 2, readings every 5 to 15 minutes stored with 3 or
// 4 decimals, and the Richards shape 0.3 to 2; perModel of each model, with the given noise.
inline std::vector<Culture> panel(int perModel, double noise, std::uint32_t seed) {
    std::mt19937 generator(seed);
    const auto uniform = [&](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(generator);
    };
    std::vector<Culture> cultures;
    for (const Model model : {Model::Logistic, Model::Richards, Model::Gompertz, Model::Baranyi})
        for (int i = 0; i < perModel; ++i) {
            Culture c;
            c.model = model;
            c.rate = uniform(0.2, 2);
            c.lagHours = uniform(0, 4);
            c.od0 = uniform(0.02, 0.1);
            c.plateau = uniform(0.8, 2);
            c.shape = model == Model::Richards ? uniform(0.3, 2) : 1;
            c.stepMinutes = std::round(uniform(5, 15));
            c.decimals = uniform(0, 1) < 0.5 ? 3 : 4;
            c.noise = noise;
            c.seed = static_cast<std::uint32_t>(generator());
            cultures.push_back(c);
        }
    return cultures;
}

// The common estimator the analysis is compared with: the steepest straight line through five
// consecutive readings of ln OD, readings ln cannot take left out.
inline double steepestFivePoints(const std::vector<Reading>& readings) {
    std::vector<Reading> usable;
    for (const auto& r : readings)
        if (r.od > 0)
            usable.push_back(r);
    double best = 0;
    for (std::size_t i = 0; i + 5 <= usable.size(); ++i) {
        double meanT = 0, meanY = 0;
        for (std::size_t k = i; k < i + 5; ++k) {
            meanT += usable[k].minutes / 60 / 5;
            meanY += std::log(usable[k].od) / 5;
        }
        double sxy = 0, sxx = 0;
        for (std::size_t k = i; k < i + 5; ++k) {
            const double dt = usable[k].minutes / 60 - meanT;
            sxy += dt * (std::log(usable[k].od) - meanY);
            sxx += dt * dt;
        }
        best = std::max(best, sxy / sxx);
    }
    return best;
}

} // namespace SyntheticCultures
