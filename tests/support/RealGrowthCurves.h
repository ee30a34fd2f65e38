// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Published growth curves measured by others (plate readers, E. coli and P. putida), and the
// figures the growth analysis is judged by on them: its rate against the steepest plain
// two-hour window of ln OD, the same cultures read less often, and the agreement of replicate
// wells. Shared by the tests and the benchmark.

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <numeric>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace RealGrowthCurves {

struct Reading {
    double minutes = 0;
    double od = 0;
};

struct Curve {
    std::string name;
    std::string dataset;
    std::string organism;
    std::string condition;
    std::vector<Reading> readings; // in time order
    // The wells of one condition of one organism in one data set are replicates.
    std::string replicateGroup() const { return dataset + "/" + organism + "/" + condition; }
};

// Splits one CSV line; quoted fields may hold commas.
inline std::vector<std::string> csvFields(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (const char c : line) {
        if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            fields.emplace_back();
        else if (c != '\r')
            fields.back() += c;
    }
    return fields;
}

// Reads "curve,dataset,organism,condition,hours,od" rows, one reading each, curves in the
// order of their first row.
inline std::vector<Curve> load(const std::string& path) {
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::string line;
    std::getline(in, line);
    const auto header = csvFields(line);
    const auto column = [&](const char* name) {
        const auto at = std::find(header.begin(), header.end(), name);
        if (at == header.end())
            throw std::runtime_error(path + " has no column " + name);
        return static_cast<std::size_t>(at - header.begin());
    };
    const std::size_t name = column("curve"), dataset = column("dataset"),
                      organism = column("organism"), condition = column("condition"),
                      hours = column("hours"), od = column("od");
    std::vector<Curve> curves;
    std::map<std::string, std::size_t> index;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        const auto f = csvFields(line);
        if (f.size() < header.size())
            throw std::runtime_error(path + ": short line: " + line);
        auto [at, added] = index.emplace(f[name], curves.size());
        if (added)
            curves.push_back({f[name], f[dataset], f[organism], f[condition], {}});
        curves[at->second].readings.push_back({std::stod(f[hours]) * 60, std::stod(f[od])});
    }
    for (auto& c : curves)
        std::stable_sort(c.readings.begin(), c.readings.end(),
                         [](const Reading& a, const Reading& b) { return a.minutes < b.minutes; });
    return curves;
}

// Every k-th reading from the first: the culture as a photometer set to a longer interval
// would have read it.
inline std::vector<Reading> everyKth(const std::vector<Reading>& readings, int k) {
    std::vector<Reading> kept;
    for (std::size_t i = 0; i < readings.size(); i += static_cast<std::size_t>(k))
        kept.push_back(readings[i]);
    return kept;
}

constexpr double noiseFloorOd = 0.02;

// The steepest least-squares slope of ln OD, per hour, over stretches of consecutive readings
// at OD >= 0.02 that span at most the given hours. A stretch always takes the next reading,
// so readings further apart than the span still give their pair's slope. Stretches cut short
// by the end of the readings count only when nothing longer starts there.
inline double steepestSlope(const std::vector<Reading>& readings, double spanHours) {
    std::vector<Reading> usable;
    for (const auto& r : readings)
        if (r.od >= noiseFloorOd)
            usable.push_back(r);
    double best = 0;
    for (std::size_t i = 0; i + 1 < usable.size(); ++i) {
        std::size_t end = i + 2;
        while (end < usable.size() &&
               usable[end].minutes - usable[i].minutes <= spanHours * 60 + 1e-6)
            ++end;
        // A stretch at the end that is shorter than the span repeats the one before it.
        if (end == usable.size() && i > 0 &&
            usable.back().minutes - usable[i].minutes < spanHours * 60 - 1e-6 &&
            usable.back().minutes - usable[i - 1].minutes <= spanHours * 60 + 1e-6)
            break;
        double meanT = 0, meanY = 0;
        const double n = static_cast<double>(end - i);
        for (std::size_t k = i; k < end; ++k) {
            meanT += usable[k].minutes / 60 / n;
            meanY += std::log(usable[k].od) / n;
        }
        double sxx = 0, sxy = 0;
        for (std::size_t k = i; k < end; ++k) {
            const double dt = usable[k].minutes / 60 - meanT;
            sxx += dt * dt;
            sxy += dt * (std::log(usable[k].od) - meanY);
        }
        if (sxx > 0)
            best = std::max(best, sxy / sxx);
    }
    return best;
}

// The plain two-hour window the figures are measured against.
inline double twoHourRate(const std::vector<Reading>& readings) {
    return steepestSlope(readings, 2);
}

// A culture that clearly grows: its OD rises at least 2.5-fold above 0.02 and its steepest
// two-hour stretch is at least 0.1 /h.
inline bool clearlyGrows(const std::vector<Reading>& readings) {
    double lowest = INFINITY, rise = 0;
    for (const auto& r : readings) {
        lowest = std::min(lowest, std::max(r.od, noiseFloorOd));
        rise = std::max(rise, r.od / lowest);
    }
    return rise >= 2.5 && twoHourRate(readings) >= 0.1;
}

// A well that does not grow: its OD never rises 1.5-fold above 0.02.
inline bool clearlyFlat(const std::vector<Reading>& readings) {
    double lowest = INFINITY, rise = 0;
    for (const auto& r : readings) {
        lowest = std::min(lowest, std::max(r.od, noiseFloorOd));
        rise = std::max(rise, r.od / lowest);
    }
    return rise < 1.5;
}

inline double median(std::vector<double> values) {
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline double coefficientOfVariation(const std::vector<double>& values) {
    if (values.size() < 2)
        return 0;
    const double mean =
        std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
    double squares = 0;
    for (const double v : values)
        squares += (v - mean) * (v - mean);
    return std::sqrt(squares / static_cast<double>(values.size() - 1)) / mean;
}

// What the analysis said of one curve.
struct Answer {
    bool growing = false;
    double rate = 0;
    std::optional<double> low, high; // the 95 % interval
};

// The figures of one data set read every k-th reading.
struct Figures {
    std::string dataset;
    int every = 1;
    int growingCurves = 0;           // curves that clearly grow
    int noGrowth = 0;                // of those, answered "no growth"
    int withinRange = 0;             // of those, within 0.8-1.25 of the two-hour window
    std::vector<double> ratios;      // rate / two-hour window, of those answered
    int aboveOneHour = 0;            // answers above 1.25 times the steepest one-hour stretch
    int flatCurves = 0;              // wells that do not grow
    int flatAnsweredGrowing = 0;     // of those, answered with a rate
    int thinnedCompared = 0;         // curves answered both at every reading and here
    int thinnedConsistent = 0;       // of those, within 0.8-1.25 of the rate at every reading
    int replicateGroups = 0;         // groups whose two-hour windows agree (CV <= 6 %)
    int replicateGroupsAgreeing = 0; // of those, rates with a CV of at most 10 %
    double worstReplicateCv = 0;
    int replicateWells = 0; // wells of groups with at least two growing replicates
    int intervalsHoldingMedian = 0;

    double withinShare() const {
        return growingCurves ? static_cast<double>(withinRange) / growingCurves : 1;
    }
    double thinnedShare() const {
        return thinnedCompared ? static_cast<double>(thinnedConsistent) / thinnedCompared : 1;
    }
    double medianRatio() const { return median(ratios); }
    double holdingShare() const {
        return replicateWells ? static_cast<double>(intervalsHoldingMedian) / replicateWells : 1;
    }
};

// Judges the answers for curves (one each, in order) read every k-th reading; atEveryReading
// holds the answers for the same curves read at every reading.
inline Figures judge(const std::string& dataset, int every, const std::vector<Curve>& curves,
                     const std::vector<Answer>& answers,
                     const std::vector<Answer>& atEveryReading) {
    Figures f;
    f.dataset = dataset;
    f.every = every;
    std::map<std::string, std::vector<std::size_t>> groups;
    for (std::size_t i = 0; i < curves.size(); ++i) {
        const auto& full = curves[i].readings;
        const auto seen = everyKth(full, every);
        const Answer& a = answers[i];
        if (a.growing && a.rate > 1.25 * steepestSlope(seen, 1) + 1e-9)
            ++f.aboveOneHour;
        if (clearlyFlat(full)) {
            ++f.flatCurves;
            if (a.growing)
                ++f.flatAnsweredGrowing;
        }
        // Growth and its window are judged on the readings the analysis saw.
        if (!clearlyGrows(seen))
            continue;
        ++f.growingCurves;
        groups[curves[i].replicateGroup()].push_back(i);
        if (!a.growing) {
            ++f.noGrowth;
            continue;
        }
        const double ratio = a.rate / twoHourRate(seen);
        f.ratios.push_back(ratio);
        if (ratio >= 0.8 && ratio <= 1.25)
            ++f.withinRange;
        if (atEveryReading[i].growing) {
            ++f.thinnedCompared;
            const double thinned = a.rate / atEveryReading[i].rate;
            if (thinned >= 0.8 && thinned <= 1.25)
                ++f.thinnedConsistent;
        }
    }
    for (const auto& [name, members] : groups) {
        if (members.size() < 2)
            continue;
        std::vector<double> windows, rates;
        for (const std::size_t i : members) {
            windows.push_back(twoHourRate(everyKth(curves[i].readings, every)));
            if (answers[i].growing)
                rates.push_back(answers[i].rate);
        }
        const double groupMedian = median(rates);
        for (const std::size_t i : members) {
            ++f.replicateWells;
            const Answer& a = answers[i];
            if (a.growing && a.low && a.high && *a.low <= groupMedian && groupMedian <= *a.high)
                ++f.intervalsHoldingMedian;
        }
        if (coefficientOfVariation(windows) > 0.06)
            continue;
        ++f.replicateGroups;
        const double cv = rates.size() == members.size() ? coefficientOfVariation(rates) : 1;
        f.worstReplicateCv = std::max(f.worstReplicateCv, cv);
        if (cv <= 0.10)
            ++f.replicateGroupsAgreeing;
    }
    return f;
}

// One line of figures for a table.
inline std::string describe(const Figures& f) {
    std::ostringstream line;
    line.setf(std::ios::fixed);
    line.precision(3);
    line << f.dataset << " every " << f.every << ": " << f.growingCurves << " growing, "
         << f.noGrowth << " no growth, median ratio " << f.medianRatio() << ", within "
         << f.withinShare() << ", above 1 h " << f.aboveOneHour << ", flat " << f.flatCurves << " ("
         << f.flatAnsweredGrowing << " with a rate), thinned " << f.thinnedShare() << " of "
         << f.thinnedCompared << ", replicate groups " << f.replicateGroupsAgreeing << "/"
         << f.replicateGroups << " (worst CV " << f.worstReplicateCv << "), median held "
         << f.holdingShare() << " of " << f.replicateWells;
    return line.str();
}

} // namespace RealGrowthCurves
