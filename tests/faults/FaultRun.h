// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the crash and disk tests share: nephodar-cli run on a program directory of its own,
// optionally with the file-fault shim preloaded, and the checks on the files it leaves.
#include "ProfileStoreFixture.h"
#include "QtPrinters.h"
#include "SavedMeasurement.h"
#include "Subprocess.h"
#include "workstation/DisplayFormats.h"
#include "workstation/RecordTable.h"
#include "workstation/RtfText.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace FaultRun {

inline std::string cli() {
    return NEPHODAR_PROGRAM_DIR "/nephodar-cli";
}

// The environment that preloads the shim watching directory; mode is "KILL_AT" or "FULL_AT"
// (0: count only). The tally file, when given, receives the number of calls counted.
inline std::map<std::string, std::string> shim(const std::string& directory, const char* mode,
                                               long at, const std::string& tally = {}) {
    std::map<std::string, std::string> environment{
        {"LD_PRELOAD", FILE_FAULT_SHIM},
        {"ASAN_OPTIONS", "verify_asan_link_order=0"},
        {"NEPHODAR_FAULT_WATCH", directory},
        {std::string("NEPHODAR_FAULT_") + mode, std::to_string(at)}};
    if (!tally.empty())
        environment["NEPHODAR_FAULT_TALLY"] = tally;
    return environment;
}

// A program directory with the statement template the tool needs to start.
inline std::string programDirectory(const TempDirectory& temp, const std::string& name,
                                    const std::string& statementTemplate = "Lab:\n") {
    TempDirectory::writeFile(temp.path(name + "/Templates/Template.txt"), statementTemplate);
    return temp.path(name);
}

// Every line still to come, until the output ends (the process has ended or is ending).
inline std::vector<std::string> remainingLines(Subprocess& tool) {
    std::vector<std::string> lines;
    while (true) {
        std::string line = tool.nextLine(20000);
        if (line.empty() && tool.outputEnded())
            return lines;
        if (line.empty())
            return lines; // silent for too long; the caller's checks will say so
        lines.push_back(line);
    }
}

// How many file changes under directory a complete run with these arguments makes.
inline long countChanges(const TempDirectory& temp, const std::vector<std::string>& arguments,
                         const std::string& directory) {
    const std::string tally = temp.path("tally");
    Subprocess tool(cli(), arguments, shim(directory, "KILL_AT", 0, tally));
    remainingLines(tool);
    EXPECT_EQ(tool.wait(20000), 0) << tool.errorOutput();
    return std::stol("0" + TempDirectory::readFile(tally));
}

// "ok", or what SQLite's own check found. Opened as the program opens it after a crash, so
// a journal left behind is rolled back or a log replayed first.
inline std::string integrity(const std::string& file) {
    try {
        SqliteDatabase db(QString::fromStdString(file), SqliteDatabase::Mode::ReadWrite);
        auto check = db.prepare("PRAGMA integrity_check");
        std::string found;
        while (check.step())
            found += (found.empty() ? "" : "; ") + check.text(0).toStdString();
        return found;
    } catch (const std::exception& e) {
        return e.what();
    }
}

// The line the tool prints for a stored row.
inline std::string lineOf(const RecordRow& row) {
    return QString::number(static_cast<int>(row.number)).toStdString() + "\t" +
           row.timeS.toStdString() + "\t" + DisplayFormats::numberText(row.od).toStdString() +
           "\t" + DisplayFormats::numberText(row.calcOd).toStdString();
}

inline bool reportsStoredRow(const std::string& line) {
    const auto ends = [&line](const std::string& tail) {
        return line.size() >= tail.size() &&
               line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
    };
    return !ends("\tn. c.") && !ends("\tnot stored");
}

// The rows are exactly the samples the printed lines report as stored, with the same values
// and in order. A process killed between a commit and its line may have stored one row more.
inline void expectRowsMatchPrinted(const std::vector<RecordRow>& rows,
                                   const std::vector<std::string>& printed, bool killed) {
    std::vector<std::string> expected;
    for (const auto& line : printed)
        if (reportsStoredRow(line))
            expected.push_back(line);
    ASSERT_GE(rows.size(), expected.size()) << "a reported sample is missing";
    ASSERT_LE(rows.size(), expected.size() + (killed ? 1 : 0)) << "rows nobody reported";
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(lineOf(rows[i]), expected[i]) << "row " << i;
    if (rows.size() > expected.size()) {
        const double next =
            printed.empty() ? 0
                            : std::stod(printed.back().substr(0, printed.back().find('\t'))) + 1;
        EXPECT_EQ(rows.back().number, next)
            << "the one unreported row is the sample after the last line";
    }
}

// The names in a directory, sorted.
inline std::vector<std::string> namesIn(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// An earlier saved set under out/run, and a one-sample run titled "new" that saves over it.
class SetOverwrite {
public:
    enum class State { Old, New, Broken };

    explicit SetOverwrite(const TempDirectory& temp)
        : out(temp.path("out")), base(out + "/run"),
          program(programDirectory(temp, "program", "New lab:\n")) {
        SavedMeasurement::write(temp.path("old"), "run",
                                {SavedMeasurement::row(0, 0, 0.1, 0.1, "old"),
                                 SavedMeasurement::row(1, 1, 0.2, 0.2, "old"),
                                 SavedMeasurement::row(2, 2, 0.3, 0.3, "old")},
                                "old protocol", "old statement\r\n");
        for (const char* extension : extensions)
            old_[extension] = TempDirectory::readFile(temp.path("old/run") + extension);
    }

    std::vector<std::string> arguments() const {
        return {"measure",    "--program-dir", program, "--device", "Sim0", "--samples",
                "1",          "--interval",    "0",     "--title",  "new",  "--save",
                base + ".nph"};
    }

    // The directory holds the earlier set and nothing else.
    void restoreOld() const {
        std::filesystem::remove_all(out);
        for (const auto& [extension, bytes] : old_)
            TempDirectory::writeFile(base + extension, bytes);
    }

    // How many file changes a complete save over the earlier set makes.
    long changesOfASave(const TempDirectory& temp) const {
        restoreOld();
        return countChanges(temp, arguments(), out);
    }

    // Each member as it lies on disk; a missing, cut-off or damaged one is Broken.
    std::vector<State> states(const std::string& when) const {
        std::vector<State> found;
        for (const char* extension : extensions) {
            found.push_back(stateOf(extension));
            EXPECT_NE(found.back(), State::Broken) << extension << " " << when;
        }
        return found;
    }

    static std::vector<State> all(State state) { return std::vector<State>(3, state); }

    const std::string out, base, program;

private:
    static constexpr const char* extensions[] = {".nph", ".log", ".txt"};

    State stateOf(const std::string& extension) const {
        const std::string path = base + extension;
        if (!std::filesystem::exists(path))
            return State::Broken;
        const std::string bytes = TempDirectory::readFile(path);
        if (bytes == old_.at(extension))
            return State::Old;
        if (extension == ".txt")
            return bytes == "New lab:\r\nUsing no OD-formula: CalcOD = OD\r\n" ? State::New
                                                                               : State::Broken;
        if (extension == ".log") {
            // Newest entry first: a cut-off file lacks the run's first entry.
            const QString text = RtfText::read(QByteArray::fromStdString(bytes));
            return text.startsWith("Stoped Process at ") && text.contains("started measurement")
                       ? State::New
                       : State::Broken;
        }
        if (integrity(path) != "ok")
            return State::Broken;
        const auto rows = RecordTable::openFile(QString::fromStdString(path), true)->allRows();
        return rows.size() == 1 && rows[0].title == "new" ? State::New : State::Broken;
    }

    std::map<std::string, std::string> old_;
};

inline void PrintTo(SetOverwrite::State state, std::ostream* out) {
    static const char* const names[] = {"old", "new", "broken"};
    *out << names[static_cast<int>(state)];
}

} // namespace FaultRun
