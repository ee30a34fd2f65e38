// SPDX-License-Identifier: GPL-3.0-or-later
// nephodar-cli info end to end: a real process, a saved measurement in a temporary directory.
#include "GrowthCurves.h"
#include "SavedMeasurement.h"
#include "Subprocess.h"
#include "workstation/GrowthAnalysis.h"
#include "workstation/GrowthTexts.h"

#include <cmath>
#include <gtest/gtest.h>
#include <iterator>
#include <regex>

namespace {

struct InfoCli : testing::Test {
    TempDirectory temp;

    static std::vector<RecordRow> rowsOf(const std::vector<double>& ods) {
        std::vector<RecordRow> rows;
        for (std::size_t i = 0; i < ods.size(); ++i)
            rows.push_back(SavedMeasurement::row(static_cast<int>(i), 10.0 * i, ods[i], 0));
        return rows;
    }

    // The lines info prints after "last OD: ".
    std::vector<std::string> growthLines(const std::vector<double>& ods,
                                         const std::vector<std::string>& options = {}) {
        const QString file =
            SavedMeasurement::write(temp.path(), "run", rowsOf(ods), QString(), QString());
        std::vector<std::string> arguments{"info", file.toStdString()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        Subprocess tool(NEPHODAR_PROGRAM_DIR "/nephodar-cli", arguments);
        std::vector<std::string> lines;
        bool growth = false;
        for (std::string line = tool.nextLine(20000); !tool.outputEnded();
             line = tool.nextLine(20000)) {
            if (growth)
                lines.push_back(line);
            growth = growth || line.rfind("last OD: ", 0) == 0;
        }
        EXPECT_EQ(tool.wait(20000), 0) << tool.errorOutput();
        return lines;
    }
};

} // namespace

TEST_F(InfoCli, AMeasurementWithoutSamplesShowsEmptyValues) {
    const QString file = SavedMeasurement::write(temp.path(), "run", {}, QString(), QString());
    Subprocess tool(NEPHODAR_PROGRAM_DIR "/nephodar-cli", {"info", file.toStdString()});
    std::vector<std::string> lines;
    for (std::string line = tool.nextLine(20000); !tool.outputEnded(); line = tool.nextLine(20000))
        lines.push_back(line);
    EXPECT_EQ(tool.wait(20000), 0) << tool.errorOutput();
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.begin() + 8),
              (std::vector<std::string>{"rows: 0", "title: ", "start date: ", "start time: ",
                                        "duration: ", "first OD: ", "last OD: "}));
}

TEST_F(InfoCli, AFileWithAnotherEndingIsNamedAsGiven) {
    const QString file =
        SavedMeasurement::write(temp.path(), "run", rowsOf({0.1, 0.2}), QString(), QString());
    const std::string renamed = temp.path("run.table");
    std::filesystem::copy_file(file.toStdString(), renamed);
    Subprocess tool(NEPHODAR_PROGRAM_DIR "/nephodar-cli", {"info", renamed});
    EXPECT_EQ(tool.nextLine(20000), "file: " + renamed);
    EXPECT_EQ(tool.nextLine(20000), "rows: 2");
    EXPECT_EQ(tool.wait(20000), 0) << tool.errorOutput();
}

TEST_F(InfoCli, GrowthOfAMeasurement) {
    // Flat at OD 0.1 until 50 minutes, doubling every hour for 70 minutes (eight samples),
    // then every two hours.
    std::vector<double> ods(6, 0.1);
    for (int i = 1; i <= 7; ++i)
        ods.push_back(0.1 * std::pow(2.0, i / 6.0));
    for (int i = 1; i <= 12; ++i)
        ods.push_back(ods[12] * std::pow(2.0, i / 12.0));
    // The options reach the analysis: the figures are those of the same rows analysed so.
    GrowthAnalysis::Settings settings;
    settings.windowPoints = 8;
    settings.minimumOd = 0.05;
    const GrowthAnalysis::Result expected = GrowthAnalysis::analyse(rowsOf(ods), settings);
    ASSERT_TRUE(expected.growing);
    std::vector<std::string> expectedLines;
    for (const QString& line : GrowthTexts::texts(expected))
        expectedLines.push_back(line.toStdString());
    EXPECT_EQ(growthLines(ods, {"--window", "8", "--minimum-od", "0.05"}), expectedLines);

    EXPECT_EQ(growthLines(std::vector<double>(30, 0.25)),
              (std::vector<std::string>{"growth rate: no growth"}));
}

TEST_F(InfoCli, GrowthFiguresCarryTheirIntervals) {
    const auto lines = growthLines(GrowthCurves::noisyCulture());
    const struct {
        std::size_t line;
        const char* pattern;
    } shapes[] = {
        {0, R"(growth rate: \d+\.\d{3} /h \(95 %: \d+\.\d{3} to \d+\.\d{3}\))"},
        {1, R"(doubling time: (\d\d:){2}\d\d \((\d\d:){2}\d\d to (\d\d:){2}\d\d\))"},
        {2, R"(growth stretch: (\d\d:){2}\d\d to (\d\d:){2}\d\d \(\d+ readings\))"},
        {3, R"(lag time: ((\d\d:){2}\d\d|unknown))"},
        {4, R"(rate from: .+ (fit|window))"},
    };
    ASSERT_EQ(lines.size(), std::size(shapes));
    for (const auto& shape : shapes)
        EXPECT_TRUE(std::regex_match(lines[shape.line], std::regex(shape.pattern)))
            << lines[shape.line];
}

// A measurement file from elsewhere whose title steers the terminal and fills it: shown
// harmlessly and cut with a mark.
TEST_F(InfoCli, AHostileTitleIsShownHarmlesslyAndCut) {
    const QString file =
        SavedMeasurement::write(temp.path(), "run", rowsOf({0.1, 0.2}), QString(), QString());
    {
        SqliteDatabase table(file, SqliteDatabase::Mode::ReadWrite);
        table.prepare("UPDATE Record1 SET Title = ?")
            .bind(1, QStringLiteral("\x1b]0;owned\x07\x1b[2J") + QString(100000, QLatin1Char('T')))
            .run();
    }
    Subprocess tool(NEPHODAR_PROGRAM_DIR "/nephodar-cli", {"info", file.toStdString()});
    std::vector<std::string> lines;
    for (std::string line = tool.nextLine(20000); !tool.outputEnded(); line = tool.nextLine(20000))
        lines.push_back(line);
    EXPECT_EQ(tool.wait(20000), 0) << tool.errorOutput();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[2], "title: \\x1b]0;owned\\x07\\x1b[2J" + std::string(200 - 14, 'T') +
                            "... [cut: 100014 characters in all]");
}

// Minutes no measurement can have, in a file from elsewhere: the duration says so.
TEST_F(InfoCli, AbsurdMinutesGiveNoMadeUpDuration) {
    const QString file =
        SavedMeasurement::write(temp.path(), "run", rowsOf({0.1, 0.2, 0.3}), QString(), QString());
    {
        SqliteDatabase table(file, SqliteDatabase::Mode::ReadWrite);
        table.execute("UPDATE Record1 SET Minutes = 1e300 WHERE Number = 2");
    }
    Subprocess tool(NEPHODAR_PROGRAM_DIR "/nephodar-cli", {"info", file.toStdString()});
    std::vector<std::string> lines;
    for (std::string line = tool.nextLine(20000); !tool.outputEnded(); line = tool.nextLine(20000))
        lines.push_back(line);
    EXPECT_EQ(tool.wait(20000), 0) << tool.errorOutput();
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[5], "duration: not a time (1e+300 minutes)");
}
