// SPDX-License-Identifier: GPL-3.0-or-later
// nephodar-cli growth: the growth of several saved measurements side by side.
#include "CommandLine.h"
#include "CommandRegistry.h"
#include "CsvText.h"
#include "GrowthOptions.h"
#include "GrowthTable.h"
#include "workstation/OpenedMeasurement.h"
#include "workstation/TableExport.h"
#include "workstation/TextFile.h"

#include <QFile>
#include <iostream>

namespace {

const char* const growthHelp = R"(Usage: nephodar-cli growth FILE... [OPTION]...
Analyses the growth of saved measurements (.nph files, older Paradox tables included) and
prints one tab-separated line per file, in the order given, under a header line: the file,
its title, start date and time and rows, then the growth rate per hour with its 95 % interval
(low, high), the doubling time with its interval (shortest, longest), the lag time, the
highest OD, the growth stretch (start, end) and how the rate was found. Times are HH:MM:SS,
numbers have a point. A curve without growth reads "no growth" under the rate. A file that
cannot be read gets its line with the reason in the last column ("error"); the other files
are still analysed. In the printed lines, tabs, line ends and other control characters in a
text are blanks; the CSV file keeps the texts as stored. Files whose names begin with "-"
follow "--".

The exit status is 0 when every file was read, 1 when any could not be read or the CSV file
could not be written, and 2 for a wrong option or when no file is given.

)";

const char* const csvHelp =
    R"(  --csv OUT           also write the lines to OUT as comma-separated values (quoted where a
                      value holds a comma, a quote or a line end; UTF-8); OUT is replaced whole
                      or not at all
)";

void printHelp() {
    std::cout << growthHelp << GrowthOptions::method << csvHelp << GrowthOptions::help
              << "  --help              show this text\n";
}

int runGrowthCommand(int argc, char** argv) {
    std::vector<std::string> valueOptions = GrowthOptions::names;
    valueOptions.push_back("--csv");
    const CommandLine options(argc, argv, 2, valueOptions, {"--help"},
                              CommandLine::Operands::Taken);
    if (options.has("--help")) {
        printHelp();
        return 0;
    }
    if (options.operands().empty())
        throw std::invalid_argument("the measurement files are missing");
    if (options.has("--csv") && options.text("--csv").empty())
        throw std::invalid_argument("--csv needs a file name");
    const GrowthAnalysis::Settings settings = GrowthOptions::settings(options);
    const QString csvFile = QFile::decodeName(options.text("--csv").c_str());
    std::vector<QString> files;
    for (const std::string& operand : options.operands())
        files.push_back(QFile::decodeName(operand.c_str()));
    // Before anything is read: the table must not replace a measurement it reads.
    if (!csvFile.isEmpty())
        for (const QString& file : files)
            refuseOverwritingSource(file, csvFile);

    std::vector<GrowthTable::Row> rows{GrowthTable::header()};
    int unreadable = 0;
    for (const QString& file : files) {
        try {
            rows.push_back(GrowthTable::rowOf(file, OpenedMeasurement::open(file, settings)));
        } catch (const std::exception& e) {
            ++unreadable;
            rows.push_back(GrowthTable::failedRow(file, QStringLiteral("Unable to open file! ") +
                                                            QString::fromStdString(e.what())));
        }
    }
    std::cout << GrowthTable::tabSeparated(rows).toStdString() << std::flush;

    int status = 0;
    // Standard output sent to a file on a full disk: the table there is cut short.
    if (!std::cout) {
        std::cerr << "nephodar-cli growth: the table could not be written to standard output."
                  << std::endl;
        status = 1;
    }
    if (unreadable > 0) {
        std::cerr << "nephodar-cli growth: " << unreadable << " of " << files.size()
                  << (files.size() == 1 ? " file" : " files") << " could not be read." << std::endl;
        status = 1;
    }
    if (!csvFile.isEmpty()) {
        try {
            TextFile::replace(csvFile, csvText(rows));
        } catch (const std::exception& e) {
            std::cerr << e.what() << std::endl;
            status = 1;
        }
    }
    return status;
}

const CliCommandRegistration growth("growth", "compare the growth of saved measurements",
                                    runGrowthCommand);

} // namespace
