// SPDX-License-Identifier: GPL-3.0-or-later
// nephodar-cli export: a saved measurement as tab-separated text or as a workbook.
#include "CommandLine.h"
#include "CommandRegistry.h"
#include "workstation/TableExport.h"

#include <QFile>
#include <cstring>
#include <iostream>

namespace {

const char* const exportHelp =
    R"(Usage: nephodar-cli export FILE.nph --tsv OUT [--quoted]
       nephodar-cli export FILE.nph --xlsx OUT
Exports a measurement file (a saved .nph, or the working table Record1.db) without changing
it. Times are written as HH:mm:ss, the date in the desktop's short format, numbers with a
point in the text export and as number cells in the workbook.

  --tsv OUT           tab-separated text: a line of the quoted column names, then one line
                      per row with a blank before and after each value; every cell ends with
                      a tab, every line with CR LF
  --quoted            put each value between double quotes instead of blanks
  --xlsx OUT          workbook with the sheet "Measuring Data": the column names in bold,
                      then one row per table row, numbers as number cells,
                      times, date and texts as text
  --help              show this text
)";

int runExportCommand(int argc, char** argv) {
    // The measurement file comes first, before the options.
    const bool fileGiven = argc > 2 && std::strncmp(argv[2], "--", 2) != 0;
    const CommandLine options(argc, argv, fileGiven ? 3 : 2, {"--tsv", "--xlsx"},
                              {"--quoted", "--help"});
    if (options.has("--help")) {
        std::cout << exportHelp;
        return 0;
    }
    if (!fileGiven)
        throw std::invalid_argument("the measurement file to export is missing");
    if (!options.has("--tsv") && !options.has("--xlsx"))
        throw std::invalid_argument("--tsv OUT or --xlsx OUT is required");
    if (options.has("--quoted") && !options.has("--tsv"))
        throw std::invalid_argument("--quoted applies to --tsv only");

    const QString source = QFile::decodeName(argv[2]);
    if (options.has("--tsv"))
        exportTableAscii(source, QFile::decodeName(options.text("--tsv").c_str()),
                         options.has("--quoted") ? AsciiVariant::FileMenu : AsciiVariant::Viewer);
    if (options.has("--xlsx"))
        exportTableExcel(source, QFile::decodeName(options.text("--xlsx").c_str()));
    return 0;
}

const CliCommandRegistration
    registration("export", "export a measurement file as text or as a workbook", runExportCommand);

} // namespace
