// SPDX-License-Identifier: GPL-3.0-or-later
// nephodar-cli export end to end: a real process, a saved measurement in a temporary directory.
#include "Subprocess.h"
#include "TempDirectory.h"
#include "WorkbookSheet.h"
#include "workstation/RecordTable.h"
#include "workstation/TableExport.h"

#include <gtest/gtest.h>

namespace {

struct ExportCli : testing::Test {
    TempDirectory temp;
    std::string source = temp.path("run.nph");

    void SetUp() override {
        auto table = RecordTable::openWorking(QString::fromStdString(temp.path()));
        for (int i = 0; i < 3; ++i) {
            RecordRow row;
            row.allTime = QTime(0, 0, 3 * i);
            row.number = i;
            row.minutes = 0.05 * i;
            row.od = 0.125 * i;
            row.startTime = QTime(9, 5, 3);
            row.startDate = QDate(2026, 12, 10);
            row.title = "Culture A";
            row.timeS = "0:00";
            table->append(row);
        }
        table->snapshotTo(QString::fromStdString(source));
    }

    struct Result {
        int status = -1;
        std::string output, errors;
    };
    static Result run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "export");
        Subprocess tool(NEPHODAR_PROGRAM_DIR "/nephodar-cli", arguments);
        Result result;
        for (std::string line = tool.nextLine(20000); !tool.outputEnded();
             line = tool.nextLine(20000))
            result.output += line + "\n";
        result.status = tool.wait(20000);
        result.errors = tool.errorOutput();
        return result;
    }
    QString q(const std::string& path) const { return QString::fromStdString(path); }
};

} // namespace

TEST_F(ExportCli, WritesWhatTheWindowsWrite) {
    const struct {
        std::vector<std::string> options;
        AsciiVariant variant;
    } texts[] = {{{"--tsv", temp.path("blank.dat")}, AsciiVariant::Viewer},
                 {{"--tsv", temp.path("quoted.dat"), "--quoted"}, AsciiVariant::FileMenu}};
    for (const auto& c : texts) {
        std::vector<std::string> arguments{source};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const Result result = run(arguments);
        ASSERT_EQ(result.status, 0) << result.errors;
        EXPECT_EQ(result.output + result.errors, "");
        exportTableAscii(q(source), q(temp.path("expected.dat")), c.variant);
        EXPECT_EQ(TempDirectory::readFile(c.options[1]),
                  TempDirectory::readFile(temp.path("expected.dat")));
    }

    const Result result = run({source, "--xlsx", temp.path("run.xlsx")});
    ASSERT_EQ(result.status, 0) << result.errors;
    exportTableExcel(q(source), q(temp.path("expected.xlsx")));
    EXPECT_EQ(WorkbookSheet::member(q(temp.path("run.xlsx")), "xl/worksheets/sheet1.xml"),
              WorkbookSheet::member(q(temp.path("expected.xlsx")), "xl/worksheets/sheet1.xml"));
}

TEST_F(ExportCli, HelpUsageErrorsAndFailures) {
    const Result help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output.rfind("Usage: nephodar-cli export FILE.nph --tsv OUT [--quoted]", 0), 0u);

    const std::string out = temp.path("out.dat");
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string error;
    } cases[] = {
        {{}, 2, "the measurement file to export is missing"},
        {{"--tsv", out}, 2, "the measurement file to export is missing"},
        {{source}, 2, "--tsv OUT or --xlsx OUT is required"},
        {{source, "--xlsx", out, "--quoted"}, 2, "--quoted applies to --tsv only"},
        {{source, "--tsv"}, 2, "--tsv needs a value"},
        {{temp.path("missing.nph"), "--tsv", out}, 1, "does not exist"},
        {{source, "--tsv", temp.path("no/dir/out.dat")}, 1, "Can't write the file"},
        {{source, "--xlsx", source}, 1, "can't be written over the measurement file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        const Result result = run(c.arguments);
        EXPECT_EQ(result.status, c.status);
        EXPECT_NE(result.errors.find(c.error), std::string::npos) << result.errors;
    }
    EXPECT_EQ(RecordTable::openFile(q(source), true)->rowCount(), 3);
}

TEST_F(ExportCli, AnExportThatCannotBeWrittenWhollyFailsAndKeepsTheEarlierFile) {
    // A file-size limit cuts the write short: the write fails, the program goes on.
    for (const std::string option : {"--tsv", "--xlsx"}) {
        SCOPED_TRACE(option);
        const std::string target = temp.path("earlier" + option.substr(1));
        TempDirectory::writeFile(target, "earlier\r\n");
        Subprocess tool("/usr/bin/prlimit",
                        {"--fsize=300", "--", NEPHODAR_PROGRAM_DIR "/nephodar-cli", "export",
                         source, option, target});
        while (!tool.outputEnded())
            tool.nextLine(20000);
        EXPECT_EQ(tool.wait(20000), 1) << tool.errorOutput();
        EXPECT_NE(tool.errorOutput().find("File too large"), std::string::npos)
            << tool.errorOutput();
        EXPECT_EQ(TempDirectory::readFile(target), "earlier\r\n");
    }
}
