#pragma once

#include "GrowthAnalysis.h"

#include <QString>
#include <utility>
#include <vector>

// How a growth analysis reads wherever it is shown: nephodar-cli info, the viewer's panel and
// the report. Each line is a name and its value.
namespace GrowthTexts {

// "growth rate" with "no growth", or the rate, doubling time, stretch and lag time.
std::vector<std::pair<QString, QString>> lines(const GrowthAnalysis::Result& result);
// The lines as "name: value", joined by the separator.
QString joined(const GrowthAnalysis::Result& result, const QString& separator);

} // namespace GrowthTexts
