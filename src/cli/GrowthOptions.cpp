#include "GrowthOptions.h"

namespace GrowthOptions {

const std::vector<std::string> names = {"--window", "--minimum-od"};

const char* const help =
    R"(  --window N          points in each fitted window of the growth analysis (default 0: sized
                      from the curve; under 9 points a straight line, from 9 a cubic)
  --minimum-od X      leave readings below this OD out of the growth analysis (default 0.02)
)";

GrowthAnalysis::Settings settings(const CommandLine& line) {
    GrowthAnalysis::Settings settings;
    settings.windowPoints =
        static_cast<int>(line.number("--window", settings.windowPoints, 0, 1000000));
    settings.minimumOd = line.decimal("--minimum-od", settings.minimumOd, 0, 1000);
    return settings;
}

} // namespace GrowthOptions
