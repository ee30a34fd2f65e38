// nephodar-cli info: what a saved measurement holds, at a glance.
#include "CommandLine.h"
#include "CommandRegistry.h"
#include "workstation/DisplayFormats.h"
#include "workstation/GrowthAnalysis.h"
#include "workstation/OpenedMeasurement.h"

#include <cmath>
#include <iostream>

namespace {

const char* const infoHelp = R"(Usage: nephodar-cli info FILE.nph
Prints what a saved measurement holds: its rows, title, start date and time, duration, and its
first and last OD, and its growth (the steepest rise of ln OD: rate, doubling time, that stretch
and the lag before it, or "no growth"), one "name: value" line each.

  --window N          points in each fitted window of the growth analysis (default 0: sized
                      from the curve; under 9 points a straight line, from 9 a cubic)
  --minimum-od X      leave readings below this OD out of the growth analysis (default 0.02)
  --help              show this text
)";

// Hours beyond a day are kept: a 30-hour culture lasted 30:00:00, not 06:00:00.
QString durationText(double minutes) {
    const long seconds = std::lround(minutes * 60);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void printGrowth(const GrowthAnalysis::Result& growth) {
    if (!growth.growing) {
        std::cout << "growth rate: no growth\n";
        return;
    }
    // QString::number keeps the point whatever the desktop's locale.
    std::cout << "growth rate: " << QString::number(growth.maxRatePerHour, 'f', 3).toStdString()
              << " /h\n"
              << "doubling time: " << durationText(growth.doublingMinutes).toStdString() << "\n"
              << "growth stretch: " << durationText(growth.stretchStartMinutes).toStdString()
              << " to " << durationText(growth.stretchEndMinutes).toStdString() << "\n"
              << "lag time: "
              << (growth.lagMinutes ? durationText(*growth.lagMinutes).toStdString() : "unknown")
              << "\n";
}

int runInfoCommand(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[2]) == "--help") {
        std::cout << infoHelp;
        return 0;
    }
    if (argc < 3)
        throw std::invalid_argument("the measurement file is missing");
    const CommandLine options(argc, argv, 3, {"--window", "--minimum-od"}, {"--help"});
    if (options.has("--help")) {
        std::cout << infoHelp;
        return 0;
    }
    GrowthAnalysis::Settings growthSettings;
    growthSettings.windowPoints =
        static_cast<int>(options.number("--window", growthSettings.windowPoints, 0, 1000000));
    growthSettings.minimumOd =
        options.decimal("--minimum-od", growthSettings.minimumOd, 0, 1000);
    const QString file = QString::fromLocal8Bit(argv[2]);
    OpenedMeasurement opened;
    try {
        opened = OpenedMeasurement::open(file);
    } catch (const std::exception& e) {
        std::cerr << "Unable to open file!\n" << e.what() << std::endl;
        return 1;
    }
    std::cout << "file: " << opened.filePath.toStdString() << "\n"
              << "rows: " << opened.rows.size() << "\n"
              << "title: " << opened.title.toStdString() << "\n"
              << "start date: " << opened.startDate.toString(Qt::ISODate).toStdString() << "\n"
              << "start time: " << DisplayFormats::longTimeText(opened.startTime).toStdString()
              << "\n"
              << "duration: " << durationText(opened.rows.back().minutes).toStdString() << "\n"
              << "first OD: " << DisplayFormats::numberText(opened.rows.front().od).toStdString()
              << "\n"
              << "last OD: " << DisplayFormats::numberText(opened.rows.back().od).toStdString()
              << "\n";
    printGrowth(GrowthAnalysis::analyse(opened.rows, growthSettings));
    std::cout << std::flush;
    return 0;
}

const CliCommandRegistration info("info", "show what a saved measurement holds", runInfoCommand);

} // namespace
