// SPDX-License-Identifier: GPL-3.0-or-later
#include "GrowthModelFit.h"

#include <cmath>
#include <gsl/gsl_blas.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <gsl/gsl_vector.h>
#include <memory>

namespace GrowthModelFit {

namespace {

struct Problem {
    const GrowthModels::Model& model;
    const std::vector<Sample>& samples;
};

GrowthModels::Parameters unpack(const gsl_vector* x, int count, GrowthModels::Parameters base) {
    for (int i = 0; i < count; ++i)
        base[static_cast<std::size_t>(i)] = gsl_vector_get(x, static_cast<std::size_t>(i));
    return base;
}

int residuals(const gsl_vector* x, void* data, gsl_vector* f) {
    const auto& problem = *static_cast<const Problem*>(data);
    const auto p = unpack(x, problem.model.parameterCount, {});
    for (std::size_t i = 0; i < problem.samples.size(); ++i) {
        const double fitted =
            std::exp(GrowthModels::lnOd(problem.model.kind, p, problem.samples[i].hours));
        const double r = problem.samples[i].od - fitted;
        // A trial step into overflow is a bad step, not a failure of the fit.
        gsl_vector_set(f, i, std::isfinite(r) ? r : 1e6);
    }
    return GSL_SUCCESS;
}

struct WorkspaceFree {
    void operator()(gsl_multifit_nlinear_workspace* w) const { gsl_multifit_nlinear_free(w); }
};
struct MatrixFree {
    void operator()(gsl_matrix* m) const { gsl_matrix_free(m); }
};
struct VectorFree {
    void operator()(gsl_vector* v) const { gsl_vector_free(v); }
};

} // namespace

double Fit::informationCriterion() const {
    const double n = points;
    const double k = model.parameterCount + 1; // the noise's variance is estimated too
    const double rss = std::max(residualSquares, 1e-300);
    return n * std::log(rss / n) + 2 * k + 2 * k * (k + 1) / std::max(n - k - 1, 1.0);
}

double Fit::residualStandardDeviation() const {
    return std::sqrt(residualSquares / std::max(points - model.parameterCount, 1));
}

std::optional<Fit> fit(const GrowthModels::Model& model, const std::vector<Sample>& samples,
                       const GrowthModels::Parameters& start) {
    const auto count = static_cast<std::size_t>(model.parameterCount);
    if (samples.size() <= count + 1)
        return std::nullopt;
    // Failures are answered here; GSL's default would abort the program.
    gsl_set_error_handler_off();

    Problem problem{model, samples};
    gsl_multifit_nlinear_fdf fdf{};
    fdf.f = residuals;
    fdf.df = nullptr; // the Jacobian by finite differences
    fdf.fvv = nullptr;
    fdf.n = samples.size();
    fdf.p = count;
    fdf.params = &problem;
    gsl_multifit_nlinear_parameters settings = gsl_multifit_nlinear_default_parameters();
    settings.trs = gsl_multifit_nlinear_trs_lm;
    settings.scale = gsl_multifit_nlinear_scale_more;
    std::unique_ptr<gsl_multifit_nlinear_workspace, WorkspaceFree> workspace(
        gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &settings, samples.size(), count));
    std::unique_ptr<gsl_vector, VectorFree> x(gsl_vector_alloc(count));
    if (!workspace || !x)
        return std::nullopt;
    for (std::size_t i = 0; i < count; ++i)
        gsl_vector_set(x.get(), i, start[i]);
    if (gsl_multifit_nlinear_init(x.get(), &fdf, workspace.get()) != GSL_SUCCESS)
        return std::nullopt;
    int info = 0;
    const int status =
        gsl_multifit_nlinear_driver(300, 1e-10, 1e-12, 0, nullptr, nullptr, &info, workspace.get());
    if (status != GSL_SUCCESS && status != GSL_EMAXITER)
        return std::nullopt;

    Fit result;
    result.model = model;
    result.parameters =
        unpack(gsl_multifit_nlinear_position(workspace.get()), model.parameterCount, start);
    result.points = static_cast<int>(samples.size());
    double rss = 0;
    gsl_blas_ddot(gsl_multifit_nlinear_residual(workspace.get()),
                  gsl_multifit_nlinear_residual(workspace.get()), &rss);
    if (!std::isfinite(rss))
        return std::nullopt;
    result.residualSquares = rss;

    std::unique_ptr<gsl_matrix, MatrixFree> covariance(gsl_matrix_alloc(count, count));
    gsl_multifit_nlinear_covar(gsl_multifit_nlinear_jac(workspace.get()), 0.0, covariance.get());
    const double variance = rss / static_cast<double>(samples.size() - count);
    result.covariance.resize(count * count);
    for (std::size_t r = 0; r < count; ++r)
        for (std::size_t c = 0; c < count; ++c)
            result.covariance[r * count + c] = gsl_matrix_get(covariance.get(), r, c) * variance;
    return result;
}

Rate steepestRate(const Fit& fit, double from, double to) {
    Rate rate;
    rate.steepest = GrowthModels::steepest(fit.model.kind, fit.parameters, from, to);
    // The delta method: the rate's gradient in the parameters by central differences.
    const auto count = static_cast<std::size_t>(fit.model.parameterCount);
    std::vector<double> gradient(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double step = 1e-5 * std::max(1.0, std::abs(fit.parameters[i]));
        auto up = fit.parameters;
        auto down = fit.parameters;
        up[i] += step;
        down[i] -= step;
        gradient[i] = (GrowthModels::steepest(fit.model.kind, up, from, to).rate -
                       GrowthModels::steepest(fit.model.kind, down, from, to).rate) /
                      (2 * step);
    }
    double variance = 0;
    for (std::size_t r = 0; r < count; ++r)
        for (std::size_t c = 0; c < count; ++c)
            variance += gradient[r] * fit.covariance[r * count + c] * gradient[c];
    rate.standardError = variance >= 0 ? std::sqrt(variance) : NAN;
    return rate;
}

} // namespace GrowthModelFit
