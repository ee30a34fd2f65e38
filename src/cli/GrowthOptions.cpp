// SPDX-License-Identifier: GPL-3.0-or-later
#include "GrowthOptions.h"

namespace GrowthOptions {

const std::vector<std::string> names = {"--window", "--minimum-od"};

const char* const method =
    R"(The growth analysis fits the logistic, Richards, Gompertz, modified logistic and
Baranyi curves to the OD readings and takes the steepest rise of ln OD from their average,
weighted by how well each fits; the 95 % interval takes in how far they disagree. Where none
fits the curve as closely as its noise allows, the steepest fitted window of ln OD answers.

)";

const char* const help =
    R"(  --window N          only the steepest window, of N readings each (default 0: the curves,
                      and a window sized from the curve; under 9 points a straight line,
                      from 9 a cubic)
  --minimum-od X      leave readings below this OD out of the windows (default 0.02); the
                      curves weigh every positive reading by its OD, and need no minimum
)";

GrowthAnalysis::Settings settings(const CommandLine& line) {
    GrowthAnalysis::Settings settings;
    settings.windowPoints =
        static_cast<int>(line.number("--window", settings.windowPoints, 0, 1000000));
    settings.minimumOd = line.decimal("--minimum-od", settings.minimumOd, 0, 1000);
    return settings;
}

} // namespace GrowthOptions
