// SPDX-License-Identifier: GPL-3.0-or-later
// nephodar-cli growth end to end: a real process over saved measurements of both formats.
#include "GrowthCurves.h"
#include "ParadoxWriter.h"
#include "SavedMeasurement.h"
#include "Subprocess.h"
#include "workstation/DisplayFormats.h"
#include "workstation/GrowthAnalysis.h"
#include "workstation/GrowthTexts.h"
#include "workstation/OpenedMeasurement.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

namespace {

using Cells = std::vector<std::string>;

// Reads comma-separated values back as RFC 4180 writes them.
std::vector<Cells> parseCsv(const std::string& text) {
    std::vector<Cells> rows;
    Cells row;
    std::string cell;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                cell += text[++i];
            else if (c == '"')
                quoted = false;
            else
                cell += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(cell);
            cell.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            row.push_back(cell);
            rows.push_back(row);
            row.clear();
            cell.clear();
            ++i;
        } else {
            cell += c;
        }
    }
    EXPECT_TRUE(row.empty() && cell.empty() && !quoted) << "the last line ends in CR LF";
    return rows;
}

Cells split(const std::string& line, char separator) {
    Cells cells(1);
    for (const char c : line)
        if (c == separator)
            cells.emplace_back();
        else
            cells.back() += c;
    return cells;
}

// The growth cells of a row as the analysis of the same points gives them, by column name;
// the cells left empty are left out.
std::map<std::string, std::string> growthCells(const GrowthAnalysis::Result& r) {
    const auto time = [](double minutes) {
        return DisplayFormats::elapsedText(minutes).toStdString();
    };
    const auto rate = [](double perHour) { return QString::number(perHour, 'f', 3).toStdString(); };
    if (!r.growing)
        return {{"growth rate /h", "no growth"}};
    std::map<std::string, std::string> cells = {
        {"growth rate /h", rate(r.maxRatePerHour)},
        {"doubling time", time(r.doublingMinutes)},
        {"maximum OD", DisplayFormats::numberText(r.maximumOd).toStdString()},
        {"growth stretch start", time(r.stretchStartMinutes)},
        {"growth stretch end", time(r.stretchEndMinutes)},
        {"rate from", GrowthTexts::methodText(r.method).toStdString()}};
    if (r.rateInterval) {
        cells["rate 95 % low"] = rate(r.rateInterval->low);
        cells["rate 95 % high"] = rate(r.rateInterval->high);
    }
    if (const auto doubling = r.doublingIntervalMinutes()) {
        cells["doubling 95 % shortest"] = time(doubling->first);
        cells["doubling 95 % longest"] = time(doubling->second);
    }
    if (r.lagMinutes)
        cells["lag time"] = time(*r.lagMinutes);
    if (r.stretchReadings > 0)
        cells["growth stretch readings"] = std::to_string(r.stretchReadings);
    if (r.secondRiseMinutes)
        cells["second rise"] = time(*r.secondRiseMinutes);
    return cells;
}

// What a file that cannot be read gets in its error cell: the reader's own reason.
std::string openingError(const std::string& file) {
    try {
        OpenedMeasurement::open(QString::fromStdString(file));
    } catch (const std::exception& e) {
        return std::string("Unable to open file! ") + e.what();
    }
    ADD_FAILURE() << file << " opens";
    return {};
}

struct GrowthCli : testing::Test {
    TempDirectory temp;

    // The culture's ODs, one every 10 minutes.
    static std::vector<GrowthAnalysis::Point> points(const std::vector<double>& ods) {
        std::vector<GrowthAnalysis::Point> points;
        for (std::size_t i = 0; i < ods.size(); ++i)
            points.push_back({10.0 * i, ods[i]});
        return points;
    }
    std::string writeNph(const std::string& base, const std::vector<double>& ods,
                         const QString& title = QStringLiteral("Growth run")) {
        std::vector<RecordRow> rows;
        for (const auto& p : points(ods))
            rows.push_back(
                SavedMeasurement::row(static_cast<int>(rows.size()), p.minutes, p.od, p.od, title));
        return SavedMeasurement::write(temp.path(), base, rows, QString(), QString()).toStdString();
    }
    // An older measurement: a Paradox table started on 2026-12-10 at 09:05:00.
    std::string writeParadox(const std::string& name, const std::vector<double>& ods) {
        using namespace ParadoxWriter;
        std::vector<ParadoxRow> rows;
        for (const auto& p : points(ods)) {
            ParadoxRow row = sampleRow(static_cast<int>(rows.size()));
            row[2] = p.minutes;
            row[3] = p.od;
            row[6] = std::string("Culture B");
            rows.push_back(row);
        }
        ParadoxWriter::writeParadox(temp.path(name), measurementFields, rows);
        return temp.path(name);
    }

    struct Run {
        int status = -1;
        std::vector<std::string> lines; // standard output
        std::string errors;
    };
    static Run run(const std::vector<std::string>& arguments,
                   const std::vector<std::string>& launcher = {}) {
        std::vector<std::string> command = launcher;
        command.push_back(NEPHODAR_PROGRAM_DIR "/nephodar-cli");
        command.push_back("growth");
        command.insert(command.end(), arguments.begin(), arguments.end());
        Subprocess tool(command.front(),
                        std::vector<std::string>(command.begin() + 1, command.end()));
        Run result;
        for (std::string line = tool.nextLine(20000); !tool.outputEnded();
             line = tool.nextLine(20000))
            result.lines.push_back(line);
        result.status = tool.wait(20000);
        result.errors = tool.errorOutput();
        return result;
    }
};

// Each line's cells by the header's column names.
std::vector<std::map<std::string, std::string>> byColumn(const std::vector<Cells>& table) {
    std::vector<std::map<std::string, std::string>> rows;
    for (std::size_t i = 1; i < table.size(); ++i) {
        EXPECT_EQ(table[i].size(), table[0].size()) << "line " << i;
        std::map<std::string, std::string> row;
        for (std::size_t j = 0; j < table[0].size() && j < table[i].size(); ++j)
            if (!table[i][j].empty())
                row[table[0][j]] = table[i][j];
        rows.push_back(row);
    }
    return rows;
}

std::map<std::string, std::string> joinedWith(std::map<std::string, std::string> cells,
                                              const std::map<std::string, std::string>& more) {
    cells.insert(more.begin(), more.end());
    return cells;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST_F(GrowthCli, EveryFileHasItsRowAndAnUnreadableOneOnlyItsOwn) {
    const std::vector<double> culture = GrowthCurves::noisyCulture();
    const std::string nph = writeNph("culture", culture);
    const std::string paradox = writeParadox("legacy.db", culture);
    const std::string damaged = temp.path("damaged.nph");
    const std::string whole = TempDirectory::readFile(nph);
    TempDirectory::writeFile(damaged, whole.substr(0, whole.size() / 2));
    const std::string missing = temp.path("missing.nph");
    const std::string flat = writeNph("flat", std::vector<double>(30, 0.25));
    const std::string csv = temp.path("growth.csv");

    const Run result = run({nph, paradox, damaged, missing, flat, "--csv", csv});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.errors, "nephodar-cli growth: 2 of 5 files could not be read.\n");

    std::vector<Cells> table;
    for (const auto& line : result.lines)
        table.push_back(split(line, '\t'));
    ASSERT_EQ(table.size(), 6u);
    EXPECT_EQ(table[0].front(), "file");
    EXPECT_EQ(table[0].back(), "error");
    const GrowthAnalysis::Result analysed = GrowthAnalysis::analyse(points(culture));
    ASSERT_TRUE(analysed.rateInterval && analysed.doublingIntervalMinutes() && analysed.lagMinutes)
        << "a culture with every figure";
    const auto culturesGrowth = growthCells(analysed);
    const std::vector<std::map<std::string, std::string>> expected = {
        joinedWith({{"file", nph},
                    {"title", "Growth run"},
                    {"start date", "2024-03-05"},
                    {"start time", "08:15:00"},
                    {"rows", "48"}},
                   culturesGrowth),
        joinedWith({{"file", paradox},
                    {"title", "Culture B"},
                    {"start date", "2026-12-10"},
                    {"start time", "09:05:00"},
                    {"rows", "48"}},
                   culturesGrowth),
        {{"file", damaged}, {"error", openingError(damaged)}},
        {{"file", missing}, {"error", openingError(missing)}},
        {{"file", flat},
         {"title", "Growth run"},
         {"start date", "2024-03-05"},
         {"start time", "08:15:00"},
         {"rows", "30"},
         {"growth rate /h", "no growth"},
         {"maximum OD", "0.25"}},
    };
    EXPECT_EQ(byColumn(table), expected);
    EXPECT_TRUE(contains(expected[2].at("error"), "is not a measurement table"));
    EXPECT_TRUE(contains(expected[3].at("error"), "does not exist"));
    EXPECT_EQ(parseCsv(TempDirectory::readFile(csv)), table) << "the same rows in both";
}

TEST_F(GrowthCli, TheAnalysisOptionsReachEveryFile) {
    const std::vector<double> culture = GrowthCurves::noisyCulture();
    const std::string nph = writeNph("culture", culture);
    GrowthAnalysis::Settings settings;
    settings.windowPoints = 5;
    settings.minimumOd = 0.1;
    const auto tuned = growthCells(GrowthAnalysis::analyse(points(culture), settings));
    ASSERT_NE(tuned, growthCells(GrowthAnalysis::analyse(points(culture))))
        << "the options change the figures";

    const Run result = run({nph, "--window", "5", nph, "--minimum-od", "0.1"});
    ASSERT_EQ(result.status, 0) << result.errors;
    std::vector<Cells> table;
    for (const auto& line : result.lines)
        table.push_back(split(line, '\t'));
    const auto rows = byColumn(table);
    ASSERT_EQ(rows.size(), 2u);
    for (const auto& row : rows)
        for (const auto& [column, value] : tuned)
            EXPECT_EQ(row.at(column), value) << column;
}

TEST_F(GrowthCli, TitlesWithCommasQuotesAndLineBreaksComeBackFromTheCsvAsStored) {
    const QString title = QStringLiteral("Strain \"K-12\", 37 °C\r\nflask 2, 日本");
    const std::string nph = writeNph("strain", {0.1, 0.1, 0.1}, title);
    const std::string csv = temp.path("growth.csv");
    const Run result = run({nph, "--csv", csv});
    ASSERT_EQ(result.status, 0) << result.errors;

    const std::string text = TempDirectory::readFile(csv);
    EXPECT_EQ(text.rfind("file,title,", 0), 0u) << "UTF-8 without a byte order mark";
    const auto rows = parseCsv(text);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][0], nph);
    EXPECT_EQ(rows[1][1], title.toStdString());
    // On the terminal the row stays one line.
    ASSERT_EQ(result.lines.size(), 2u);
    EXPECT_EQ(split(result.lines[1], '\t')[1], "Strain \"K-12\", 37 °C  flask 2, 日本");
}

// Written under a temporary name and renamed: a CSV that cannot be written whole leaves the
// earlier file as it was and nothing beside it. Root may write anywhere, so the command runs
// as an ordinary user for the directory it may not write.
TEST_F(GrowthCli, ACsvThatCannotBeWrittenLeavesTheEarlierFile) {
    namespace fs = std::filesystem;
    const std::string nph = writeNph("culture", GrowthCurves::noisyCulture());
    const std::string out = temp.path("out");
    const std::string csv = out + "/growth.csv";
    TempDirectory::writeFile(csv, "earlier\r\n");
    fs::permissions(csv, fs::perms::all);
    const auto readable = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                          fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(temp.path(), readable);

    const std::vector<std::string> asOrdinaryUser = {"/usr/bin/setpriv", "--reuid=65534",
                                                     "--regid=65534", "--clear-groups"};
    const struct {
        const char* name;
        std::vector<std::string> launcher;
        fs::perms directory;
        const char* reason;
    } failures[] = {
        {"directory not writable", geteuid() == 0 ? asOrdinaryUser : std::vector<std::string>{},
         readable & ~fs::perms::owner_write, "Permission denied"},
        // A file-size limit cuts the write short: the write fails, the program goes on.
        {"file too large",
         {"/usr/bin/prlimit", "--fsize=300", "--"},
         fs::perms::all,
         "File too large"},
    };
    for (const auto& failure : failures) {
        SCOPED_TRACE(failure.name);
        fs::permissions(out, failure.directory);
        // Five rows: more than the limit lets through.
        const Run result = run({nph, nph, nph, nph, nph, "--csv", csv}, failure.launcher);
        fs::permissions(out, fs::perms::all);
        EXPECT_EQ(result.status, 1);
        EXPECT_TRUE(contains(result.errors, "Can't write the file '" + csv + "'") &&
                    contains(result.errors, failure.reason))
            << result.errors;
        EXPECT_EQ(result.lines.size(), 6u) << "the table is still printed";
        EXPECT_EQ(TempDirectory::readFile(csv), "earlier\r\n");
        EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
    }
}

TEST_F(GrowthCli, StandardOutputThatCannotBeWrittenIsAFailure) {
    const std::string nph = writeNph("culture", {0.1, 0.2, 0.4});
    Subprocess tool("/bin/sh", {"-c", "exec \"$0\" growth \"$1\" >/dev/full",
                                NEPHODAR_PROGRAM_DIR "/nephodar-cli", nph});
    EXPECT_EQ(tool.wait(20000), 1);
    EXPECT_EQ(tool.errorOutput(),
              "nephodar-cli growth: the table could not be written to standard output.\n");
}

TEST_F(GrowthCli, HelpAndUsageErrors) {
    const Run help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    ASSERT_FALSE(help.lines.empty());
    EXPECT_EQ(help.lines[0], "Usage: nephodar-cli growth FILE... [OPTION]...");

    const std::string nph = writeNph("culture", {0.1, 0.2, 0.4});
    const std::string before = TempDirectory::readFile(nph);
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string error;
    } cases[] = {
        {{}, 2, "the measurement files are missing"},
        {{"--csv", temp.path("out.csv")}, 2, "the measurement files are missing"},
        {{nph, "--csv"}, 2, "--csv needs a value"},
        {{nph, "--window", "many"}, 2, "--window takes a whole number"},
        {{nph, "--minimum-od", "0,05"}, 2, "--minimum-od takes a number"},
        {{nph, "--bins"}, 2, "unknown option '--bins'"},
        {{nph, "--csv", nph}, 1, "can't be written over the measurement file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        const Run result = run(c.arguments);
        EXPECT_EQ(result.status, c.status);
        EXPECT_TRUE(contains(result.errors, c.error)) << result.errors;
    }
    EXPECT_EQ(TempDirectory::readFile(nph), before);
}
