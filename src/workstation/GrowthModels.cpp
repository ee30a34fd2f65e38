// SPDX-License-Identifier: GPL-3.0-or-later
#include "GrowthModels.h"

#include <algorithm>
#include <cmath>

namespace GrowthModels {

namespace {

// ln(1 + e^x) without overflow.
double softplus(double x) {
    return x > 30 ? x : std::log1p(std::exp(x));
}
double sigmoid(double x) {
    return x >= 0 ? 1 / (1 + std::exp(-x)) : std::exp(x) / (1 + std::exp(x));
}
// ln(e^a + e^b)
double logAddExp(double a, double b) {
    const double high = std::max(a, b);
    return high + std::log1p(std::exp(std::min(a, b) - high));
}

struct Common {
    double lnOd0, rise, rate, lag, shape;
};
Common unpack(Kind kind, const Parameters& p) {
    Common c{p[0], std::exp(p[1]), std::exp(p[2]), p[3], 1.0};
    if (kind == Kind::Richards)
        c.shape = std::exp(p[4]);
    if (kind == Kind::Baranyi)
        c.lag = softplus(p[3]); // its lag cannot be negative
    return c;
}

// Logistic and Richards after the lag: ln OD = ln K - softplus(z) / shape, and the slope of
// ln OD is rate * sigmoid(z).
double richardsZ(const Common& c, double t) {
    return std::log(std::expm1(c.shape * c.rise)) - c.rate * c.shape * (t - c.lag);
}

// Baranyi: the adjustment function's ln q and the curve's y = rate * B(t).
struct BaranyiTerms {
    double lnQ, y;
};
BaranyiTerms baranyi(const Common& c, double t) {
    const double h0 = c.rate * c.lag;
    // q = e^(-rate t) (1 - e^(-h0)) + e^(-h0): a sum of positive terms, so no cancellation.
    const double lnQ = h0 > 0 ? logAddExp(-c.rate * t + std::log(-std::expm1(-h0)), -h0)
                              : 0.0; // without a lag q = 1
    return {lnQ, c.rate * t + lnQ};
}

} // namespace

const std::vector<Model>& all() {
    static const std::vector<Model> models = {
        {Kind::Logistic, "logistic", 4}, {Kind::Richards, "Richards", 5},
        {Kind::Gompertz, "Gompertz", 4}, {Kind::ModifiedLogistic, "modified logistic", 4},
        {Kind::Baranyi, "Baranyi", 4},
    };
    return models;
}

double lnOd(Kind kind, const Parameters& p, double t) {
    const Common c = unpack(kind, p);
    switch (kind) {
    case Kind::Logistic:
    case Kind::Richards:
        if (t <= c.lag)
            return c.lnOd0;
        return c.lnOd0 + c.rise - softplus(richardsZ(c, t)) / c.shape;
    case Kind::Gompertz: {
        const double u = c.rate * std::exp(1.0) / c.rise * (c.lag - t) + 1;
        return c.lnOd0 + c.rise * std::exp(-std::exp(u));
    }
    case Kind::ModifiedLogistic: {
        const double v = 4 * c.rate / c.rise * (c.lag - t) + 2;
        return c.lnOd0 + c.rise * sigmoid(-v);
    }
    case Kind::Baranyi: {
        const auto terms = baranyi(c, t);
        // ln(1 + (e^y - 1) e^-A) = ln(1 - e^-A + e^(y - A))
        return c.lnOd0 + terms.y - logAddExp(std::log(-std::expm1(-c.rise)), terms.y - c.rise);
    }
    }
    return 0;
}

double lnSlope(Kind kind, const Parameters& p, double t) {
    const Common c = unpack(kind, p);
    switch (kind) {
    case Kind::Logistic:
    case Kind::Richards:
        return t < c.lag ? 0 : c.rate * sigmoid(richardsZ(c, t));
    case Kind::Gompertz: {
        const double u = c.rate * std::exp(1.0) / c.rise * (c.lag - t) + 1;
        return c.rate * std::exp(1.0) * std::exp(u - std::exp(u));
    }
    case Kind::ModifiedLogistic: {
        const double v = 4 * c.rate / c.rise * (c.lag - t) + 2;
        return 4 * c.rate * sigmoid(v) * sigmoid(-v);
    }
    case Kind::Baranyi: {
        const auto terms = baranyi(c, t);
        const double adjustment = std::exp(-c.rate * c.lag - terms.lnQ); // dB/dt
        return c.rate * adjustment * sigmoid(std::log(std::expm1(c.rise)) - terms.y);
    }
    }
    return 0;
}

Steepest steepest(Kind kind, const Parameters& p, double from, double to) {
    const Common c = unpack(kind, p);
    const auto at = [&](double t) {
        t = std::clamp(t, from, to);
        return Steepest{lnSlope(kind, p, t), t};
    };
    switch (kind) {
    case Kind::Logistic:
    case Kind::Richards:
        // Falling from the end of the lag on: steepest just after it, or at the first reading
        // when the growth began before it.
        if (c.lag >= to)
            return at(to);
        return at(std::max(c.lag, from));
    case Kind::Gompertz:
        return at(c.lag + c.rise / (c.rate * std::exp(1.0)));
    case Kind::ModifiedLogistic:
        return at(c.lag + c.rise / (2 * c.rate));
    case Kind::Baranyi:
        break;
    }
    // Baranyi's slope rises through the lag and falls toward the plateau: a grid finds its
    // hill, a golden section its top.
    constexpr int gridPoints = 256;
    Steepest best = at(from);
    int bestIndex = 0;
    for (int i = 1; i <= gridPoints; ++i) {
        const auto s = at(from + (to - from) * i / gridPoints);
        if (s.rate > best.rate) {
            best = s;
            bestIndex = i;
        }
    }
    double low = from + (to - from) * std::max(0, bestIndex - 1) / gridPoints;
    double high = from + (to - from) * std::min(gridPoints, bestIndex + 1) / gridPoints;
    const double golden = (std::sqrt(5.0) - 1) / 2;
    for (int i = 0; i < 60 && high - low > 1e-9 * (1 + std::abs(high)); ++i) {
        const double a = high - golden * (high - low);
        const double b = low + golden * (high - low);
        if (at(a).rate >= at(b).rate)
            high = b;
        else
            low = a;
    }
    const auto top = at((low + high) / 2);
    return top.rate > best.rate ? top : best;
}

Parameters startingPoint(Kind kind, double od0, double plateau, double rate, double lag,
                         double shape) {
    const double rise = std::max(std::log(plateau / od0), 0.05);
    Parameters p{std::log(od0), std::log(rise), std::log(rate), lag, std::log(shape)};
    switch (kind) {
    case Kind::Logistic:
        p[2] = std::log(rate / -std::expm1(-rise));
        break;
    case Kind::Richards:
        p[2] = std::log(rate / -std::expm1(-shape * rise));
        break;
    case Kind::Baranyi:
        p[3] = lag > 1e-6 ? std::log(std::expm1(lag)) : std::log(1e-6);
        break;
    case Kind::Gompertz:
    case Kind::ModifiedLogistic:
        break;
    }
    return p;
}

} // namespace GrowthModels
