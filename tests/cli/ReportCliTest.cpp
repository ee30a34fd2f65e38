// SPDX-License-Identifier: GPL-3.0-or-later
// nephodar-cli report end to end: a real process without a display, a saved measurement set in
// a temporary directory, and the PDF read back with poppler's tools.
#include "PdfProbe.h"
#include "SavedMeasurement.h"
#include "Subprocess.h"
#include "TempDirectory.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

std::string cli() {
    return NEPHODAR_PROGRAM_DIR "/nephodar-cli";
}

struct ReportCli : testing::Test {
    struct Result {
        int status = -1;
        std::string output, errors;
    };
    Result run(const std::vector<std::string>& arguments) {
        // A display must not be needed, whatever the caller's environment says.
        Subprocess tool(cli(), arguments, {{"DISPLAY", ""}, {"QT_QPA_PLATFORM", "xcb"}});
        Result result;
        result.output = PdfProbe::toolOutputOf(tool);
        result.status = tool.wait(30000);
        result.errors = tool.errorOutput();
        return result;
    }
    QString saveSet(const QString& log, const QString& statement) {
        std::vector<RecordRow> rows;
        for (int i = 0; i < 12; ++i)
            rows.push_back(
                SavedMeasurement::row(i, i * 5, 0.1 + 0.05 * i, 0.2 + 0.1 * i, "Culture B"));
        return SavedMeasurement::write(temp.path(), "culture", rows, log, statement);
    }
    bool exists(const std::string& path) const {
        return QFile::exists(QString::fromStdString(path));
    }

    TempDirectory temp;
};

TEST_F(ReportCli, WritesTheReportOfASavedSetWithoutADisplay) {
    const QString nph = saveSet("5.3.2024 08:15  started measurement", "Lab: bench 4\r\n");
    const std::string pdf = temp.path("out/report.pdf");
    std::filesystem::create_directories(temp.path("out"));
    const Result result = run({"report", nph.toStdString(), "--pdf", pdf});
    ASSERT_EQ(result.status, 0) << result.errors;
    EXPECT_EQ(result.output, pdf + ": 3 pages\n");
    EXPECT_EQ(PdfProbe::pageSizes(pdf), std::vector<std::string>(3, "A4"));
    EXPECT_NE(PdfProbe::pageText(pdf, 1).find("Culture B"), std::string::npos);
    EXPECT_NE(PdfProbe::pageText(pdf, 2).find("OD (autoscaled)"), std::string::npos);
    const std::string last = PdfProbe::pageText(pdf, 3);
    EXPECT_NE(last.find("started measurement"), std::string::npos) << last;
    EXPECT_NE(last.find("Lab: bench 4"), std::string::npos) << last;
}

TEST_F(ReportCli, AMissingLogIsSaidAndTheReportStillWritten) {
    const QString nph = saveSet(QString(), "Lab: bench 4\r\n");
    const std::string pdf = temp.path("report.pdf");
    const Result result = run({"report", nph.toStdString(), "--pdf", pdf});
    ASSERT_EQ(result.status, 0) << result.errors;
    EXPECT_NE(result.errors.find("Can't read the file '" + temp.path("culture.log") + "'"),
              std::string::npos)
        << result.errors;
    const std::string last = PdfProbe::pageText(pdf, 3);
    EXPECT_NE(last.find("Log File Viewer"), std::string::npos) << last;
    EXPECT_NE(last.find("Lab: bench 4"), std::string::npos) << last;
}

TEST_F(ReportCli, RefusesWhatItCannotUseAndWritesNothing) {
    const std::string nph = saveSet("log", "statement").toStdString();
    const std::string pdf = temp.path("report.pdf");
    TempDirectory::writeFile(temp.path("notes.nph"), "not a table");
    struct Case {
        std::vector<std::string> arguments;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {{"report", "--pdf", pdf}, 2, "the measurement file FILE.nph is required"},
        {{"report", nph}, 2, "--pdf is required"},
        {{"report", nph, "--pdf", pdf, "--parameter", "SmoothOD"}, 2, "OD or CalcOD"},
        {{"report", nph, "--pdf", pdf, "--colour"}, 2, "unknown option '--colour'"},
        {{"report", temp.path("none.nph"), "--pdf", pdf}, 1, "Unable to open file!"},
        {{"report", temp.path("notes.nph"), "--pdf", pdf}, 1, "Unable to open file!"},
        {{"report", nph, "--pdf", temp.path("missing/report.pdf")}, 1, "Can't write the report"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.back());
        const Result result = run(c.arguments);
        EXPECT_EQ(result.status, c.status);
        EXPECT_NE(result.errors.find(c.says), std::string::npos) << result.errors;
        EXPECT_FALSE(exists(pdf));
        EXPECT_FALSE(exists(temp.path("missing/report.pdf")));
    }
}

TEST_F(ReportCli, HelpNamesTheOptions) {
    const Result result = run({"report", "--help"});
    EXPECT_EQ(result.status, 0);
    for (const char* text : {"Usage: nephodar-cli report FILE.nph --pdf OUT.pdf", "--parameter"})
        EXPECT_NE(result.output.find(text), std::string::npos) << text;
    EXPECT_NE(run({"--help"}).output.find("report"), std::string::npos);
}

} // namespace
