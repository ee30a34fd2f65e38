// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GrowthAnalysis.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// How a growth analysis reads wherever it is shown: nephodar-cli info and growth, the viewer's
// panel and the report. Each line is a name and its value.
namespace GrowthTexts {

// A rate per hour with three decimals and a point, whatever the locale: "0.693".
QString rateNumber(double perHour);
// "0.693 /h (95 %: 0.680 to 0.706)", or "0.693 /h" without an interval.
QString rateText(const GrowthAnalysis::Result& result);
// The doubling times of the rate's 95 % interval, in minutes. A rate whose interval reaches
// down to zero leaves the doubling time without an upper bound: only its shortest is known.
struct DoublingRange {
    double shortest = 0;
    std::optional<double> longest;
};
std::optional<DoublingRange> doublingRange(const GrowthAnalysis::Result& result);
// "01:00:00 (00:58:54 to 01:01:09)", "01:00:00 (00:58:54 or longer)" or "01:00:00".
QString doublingText(const GrowthAnalysis::Result& result);
// How the rate was found: "Gompertz fit", ..., "steepest window".
QString methodText(const std::string& method);

// How much a growing culture's lines tell.
enum class Detail {
    // The rate and the doubling time with their intervals, the stretch, the lag time and how
    // the rate was found.
    Full,
    // What one line on screen has room for: the doubling time without its interval (the
    // rate's interval tells it) and not how the rate was found.
    OneLine
};

// The readings within the stretch: "7 readings", or "3 readings, few readings in the growth
// phase" where too few carry the rate.
QString readingsText(const GrowthAnalysis::Result& result);
// "00:50:00 to 02:00:00 (7 readings)"; in one line without the readings.
QString stretchText(const GrowthAnalysis::Result& result, Detail detail = Detail::Full);
// "from 14:00:00; the figures are of the first rise", for a culture that rose twice.
QString secondRiseText(const GrowthAnalysis::Result& result);
// What one line leaves out that a user must not miss: "few readings in the growth phase",
// a second rise; empty when there is nothing to say.
QString caution(const GrowthAnalysis::Result& result);

// What a result without a rate says: "no growth", or "not known: " and why the readings
// hold no rate (a clock set back).
QString noRateText(const GrowthAnalysis::Result& result);
// "growth rate" with the no-rate text, or the lines the detail asks for.
std::vector<std::pair<QString, QString>> lines(const GrowthAnalysis::Result& result,
                                               Detail detail = Detail::Full);
// The lines as "name: value".
QStringList texts(const GrowthAnalysis::Result& result, Detail detail = Detail::Full);
// Those texts joined by the separator.
QString joined(const GrowthAnalysis::Result& result, const QString& separator,
               Detail detail = Detail::Full);

} // namespace GrowthTexts
