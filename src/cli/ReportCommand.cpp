// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReportCommand.h"

#include "CommandLine.h"
#include "CommandRegistry.h"
#include "report/MeasurementReport.h"
#include "workstation/ReportContent.h"

#include <QApplication>
#include <QFile>
#include <iostream>

namespace {

const char* const reportHelp =
    R"(Usage: nephodar-cli report FILE.nph --pdf OUT.pdf [OPTION]...
Writes the report of a saved measurement as a PDF file, as the viewer's "Report" shows it:
A4 pages with the measurement's title, start, duration and its OD and CalcOD curves on fixed
axes, the same curves autoscaled, and the texts of its log file and statement file (the files
of the set beside FILE.nph). No display is needed.

  --pdf OUT.pdf       the PDF file to write; it is replaced whole or not at all
  --parameter OD|CalcOD
                      the quantity the viewer shows (default OD): when all its values stay
                      within +/- 0.01 of the first, both autoscaled curves show that band
  --help              show this text
)";

ChartParameter parameterNamed(const std::string& name) {
    if (name == "OD")
        return ChartParameter::OD;
    if (name == "CalcOD")
        return ChartParameter::CalcOD;
    throw std::invalid_argument("--parameter takes OD or CalcOD, not '" + name + "'");
}

} // namespace

int runReportCommand(int argc, char** argv) {
    // The measurement file comes first; everything after it is an option.
    std::string file;
    int first = 2;
    if (argc > 2 && argv[2][0] != '-') {
        file = argv[2];
        first = 3;
    }
    const CommandLine options(argc, argv, first, {"--pdf", "--parameter"}, {"--help"});
    if (options.has("--help")) {
        std::cout << reportHelp;
        return 0;
    }
    if (file.empty())
        throw std::invalid_argument("the measurement file FILE.nph is required");
    if (!options.has("--pdf") || options.text("--pdf").empty())
        throw std::invalid_argument("--pdf is required");
    const ChartParameter parameter = parameterNamed(options.text("--parameter", "OD"));
    const QString output = QFile::decodeName(options.text("--pdf").c_str());

    // The charts are widgets drawn off screen; no window is ever shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);

    ReportInput input;
    try {
        input.measurement = OpenedMeasurement::open(QFile::decodeName(file.c_str()));
    } catch (const std::exception& e) {
        throw std::runtime_error(std::string("Unable to open file! ") + e.what());
    }
    const ReportPanes panes = loadReportPanes(input.measurement);
    for (const QString& problem : panes.problems)
        std::cerr << "nephodar-cli report: " << problem.toStdString()
                  << "; the report is written without it." << std::endl;
    input.logText = panes.log;
    input.statementText = panes.statement;
    input.viewerFlat = testViewerFlat(input.measurement.rows, parameter);
    const int pages = writeMeasurementReportPdf(input, output);
    std::cout << output.toStdString() << ": " << pages << " pages" << std::endl;
    return 0;
}

namespace {
const CliCommandRegistration report("report", "write the report of a saved measurement as PDF",
                                    runReportCommand);
} // namespace
