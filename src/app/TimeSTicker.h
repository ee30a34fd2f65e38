// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cmath>
#include <qcustomplot.h>

// Time axes are labelled with the elapsed hours and minutes of their positions, as the TimeS
// column of the rows reads ("26:05"). The ticks fall on whole minutes, hours or days, so that
// no two labels read the same; an axis shorter than a few minutes, as in the first minutes of
// a run, is ticked in seconds and its labels carry them ("0:01:30").
class TimeSTicker : public QCPAxisTicker {
protected:
    double getTickStep(const QCPRange& range) override {
        const double wanted = range.size() / (tickCount() + 1e-10);
        // Steps in minutes: seconds, minutes, hours; beyond a day whole days.
        static constexpr std::array<double, 19> steps{
            1.0 / 60, 2.0 / 60, 5.0 / 60, 10.0 / 60, 15.0 / 60, 30.0 / 60, 1,   2,   5,   10,
            15,       30,       60,       120,       180,       240,       360, 720, 1440};
        step_ = steps.back() * std::max(1.0, std::ceil(wanted / steps.back()));
        for (const double step : steps)
            if (step >= wanted) {
                step_ = step;
                break;
            }
        return step_;
    }

    QString getTickLabel(double tick, const QLocale&, QChar, int) override {
        if (tick < -1e-9)
            return QString();
        const auto twoDigits = [](long long n) {
            return QString::number(n).rightJustified(2, QLatin1Char('0'));
        };
        if (step_ < 1) {
            const long long seconds = std::llround(tick * 60);
            return QString::number(seconds / 3600) + QLatin1Char(':') +
                   twoDigits(seconds / 60 % 60) + QLatin1Char(':') + twoDigits(seconds % 60);
        }
        const long long minutes = std::llround(tick);
        return QString::number(minutes / 60) + QLatin1Char(':') + twoDigits(minutes % 60);
    }

private:
    double step_ = 1;
};
