// SPDX-License-Identifier: GPL-3.0-or-later
// nephodar-cli info: what a saved measurement holds, at a glance.
#include "CommandLine.h"
#include "CommandRegistry.h"
#include "GrowthOptions.h"
#include "TerminalText.h"
#include "workstation/DisplayFormats.h"
#include "workstation/GrowthTexts.h"
#include "workstation/OpenedMeasurement.h"

#include <functional>
#include <iostream>

namespace {

const char* const infoHelp = R"(Usage: nephodar-cli info FILE.nph [OPTION]...
Prints what a saved measurement holds: its rows, title, start date and time, duration, and its
first and last OD, and its growth (the steepest rise of ln OD: rate and doubling time with
their 95 % intervals, that stretch, the lag before it and how the rate was found, or
"no growth"), one "name: value" line each.

)";

// A title is 50 characters as this program stores it; another program's file may hold more.
constexpr int longestText = 200;

void printHelp() {
    std::cout << infoHelp << GrowthOptions::method << GrowthOptions::help
              << "  --help              show this text\n";
}

int runInfoCommand(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[2]) == "--help") {
        printHelp();
        return 0;
    }
    if (argc < 3)
        throw std::invalid_argument("the measurement file is missing");
    const CommandLine options(argc, argv, 3, GrowthOptions::names, {"--help"});
    if (options.has("--help")) {
        printHelp();
        return 0;
    }
    const GrowthAnalysis::Settings growthSettings = GrowthOptions::settings(options);
    const QString file = QString::fromLocal8Bit(argv[2]);
    OpenedMeasurement opened;
    try {
        opened = OpenedMeasurement::open(file, growthSettings);
    } catch (const std::exception& e) {
        std::cerr << "Unable to open file!\n" << e.what() << std::endl;
        return 1;
    }
    // An empty measurement has no duration and no first or last OD: those lines stay empty.
    const auto ofRow = [&](bool last, const std::function<QString(const RecordRow&)>& text) {
        if (opened.rows.empty())
            return std::string();
        return text(last ? opened.rows.back() : opened.rows.front()).toStdString();
    };
    // The file as given: the table is read from it whatever its name ends in.
    std::cout << "file: " << opened.chosenPath.toStdString() << "\n"
              << "rows: " << opened.rows.size() << "\n"
              << "title: " << terminalText(opened.title, longestText).toStdString() << "\n"
              << "start date: " << opened.startDate.toString(Qt::ISODate).toStdString() << "\n"
              << "start time: " << DisplayFormats::longTimeText(opened.startTime).toStdString()
              << "\n"
              << "duration: "
              << ofRow(true,
                       [](const RecordRow& r) { return DisplayFormats::elapsedText(r.minutes); })
              << "\n"
              << "first OD: "
              << ofRow(false, [](const RecordRow& r) { return DisplayFormats::numberText(r.od); })
              << "\n"
              << "last OD: "
              << ofRow(true, [](const RecordRow& r) { return DisplayFormats::numberText(r.od); })
              << "\n";
    std::cout << GrowthTexts::joined(opened.growth, QStringLiteral("\n")).toStdString() << "\n";
    std::cout << std::flush;
    return 0;
}

const CliCommandRegistration info("info", "show what a saved measurement holds", runInfoCommand);

} // namespace
