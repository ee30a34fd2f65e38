// SPDX-License-Identifier: GPL-3.0-or-later
// nephodar-cli end to end: a real process, the simulator on a real pseudo-terminal and a
// real socket, and real files in a temporary program directory.
#include "ProfileStoreFixture.h"
#include "Q7SimProcess.h"
#include "Subprocess.h"
#include "workstation/ODFormula.h"
#include "workstation/RecordTable.h"
#include "workstation/RtfText.h"

#include <QFile>
#include <chrono>
#include <csignal>
#include <thread>

namespace {

std::string cli() {
    return NEPHODAR_PROGRAM_DIR "/nephodar-cli";
}

struct MeasureCli : ProfileStoreFixture {
    void SetUp() override {
        ProfileStoreFixture::SetUp();
        setenv("NEPHODAR_PIPE_DIR", temp_.path("pipes").c_str(), 1);
        TempDirectory::writeFile(temp_.path("program/Templates/Template.txt"), "Lab:\n");
        openDefault(); // the profile the tool opens too
    }
    void TearDown() override {
        unsetenv("NEPHODAR_PIPE_DIR");
        ProfileStoreFixture::TearDown();
    }

    std::vector<std::string> run(std::vector<std::string> arguments, int& exitStatus,
                                 std::string* errors = nullptr) {
        arguments.insert(arguments.begin() + 1, {"--program-dir", temp_.path("program")});
        Subprocess tool(cli(), arguments);
        std::vector<std::string> lines;
        for (std::string line = tool.nextLine(20000); !line.empty() || !tool.outputEnded();
             line = tool.nextLine(20000)) {
            if (line.empty() && !tool.outputEnded())
                break; // silent for too long
            lines.push_back(line);
        }
        exitStatus = tool.wait(20000);
        if (errors)
            *errors = tool.errorOutput();
        return lines;
    }

    std::vector<double> storedNumbers(const std::string& file) {
        std::vector<double> numbers;
        for (const auto& row : RecordTable::openFile(QString::fromStdString(file), true)->allRows())
            numbers.push_back(row.number);
        return numbers;
    }
};

} // namespace

TEST_F(MeasureCli, SimulatedSourceWithFormulaAndSave) {
    int status = -1;
    const auto lines =
        run({"measure", "--device", "Sim0", "--samples", "4", "--interval", "0.1", "--title",
             "Sim run", "--formula", "0,0,2,0.1", "--save", temp_.path("out/run.nph")},
            status);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(lines.size(), 4u);
    const auto rows =
        RecordTable::openFile(QString::fromStdString(temp_.path("out/run.nph")), true)->allRows();
    ASSERT_EQ(rows.size(), 4u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string expected = std::to_string(i) + "\t" + rows[i].timeS.toStdString() + "\t" +
                                     QString::number(rows[i].od, 'g', 15).toStdString() + "\t" +
                                     QString::number(rows[i].calcOd, 'g', 15).toStdString();
        EXPECT_EQ(lines[i], expected);
        EXPECT_EQ(rows[i].title, "Sim run");
        EXPECT_NEAR(rows[i].calcOd, 2 * rows[i].od + 0.1, 0.0002);
    }
    EXPECT_TRUE(QFile::exists(QString::fromStdString(temp_.path("out/run.log"))));
    EXPECT_EQ(TempDirectory::readFile(temp_.path("out/run.txt")),
              "Lab:\r\nUsing OD-formula: CalcOD = 0X³+ 0X²+ 2X+ 0.1\r\n");
}

TEST_F(MeasureCli, PhotometerOnASerialLineWithADeviceErrorPeriod) {
    Q7SimProcess sim({"--value", "1000", "--fault", "6:status=3", "--fault", "7:status=3",
                      "--fault", "8:status=3"});
    IniFile::getIniFile().writeString("Ports", "Com5", sim.devicePath());
    int status = -1;
    const auto lines =
        run({"measure", "--device", "Com5", "--samples", "10", "--interval", "0.1"}, status);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], "0\t0:00\t0.6125\t0.6125");
    EXPECT_EQ(lines[5], "5\t0:00\tn. c.");
    EXPECT_EQ(lines[7], "7\t0:00\tn. c.");
    EXPECT_EQ(lines[8], "8\t0:00\t0.6125\t0.6125");
    EXPECT_EQ(storedNumbers(temp_.path("program/Record1.db")),
              (std::vector<double>{0, 1, 2, 3, 4, 8, 9}));
    const QString protocol = RtfText::read(
        QByteArray::fromStdString(TempDirectory::readFile(temp_.path("program/Temp.log"))));
    EXPECT_EQ(protocol.count("OD Error at "), 1);
}

TEST_F(MeasureCli, SimulatorOnASocket) {
    Q7SimProcess sim({"--socket", "Sim1", "--variant", "old", "--value", "200", "--dark", "100"});
    IniFile::getIniFile().writeInteger("CalibrECH", "OD1", 1100);
    IniFile::getIniFile().writeInteger("CalibrECH", "ODDark", 100);
    int status = -1;
    const auto lines =
        run({"measure", "--device", "Sim1", "--samples", "3", "--interval", "0.1"}, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(lines, (std::vector<std::string>{"0\t0:00\t1\t1", "1\t0:00\t1\t1", "2\t0:00\t1\t1"}));
}

TEST_F(MeasureCli, CalibrationStoresTheValuesAndMeasuringReadsTheSample) {
    // The simulator serves its calibration levels only while a calibration has the LED off;
    // the brightness sent on connecting and at Start leaves the sample's readings alone.
    Q7SimProcess sim({"--calibration", "20,4000", "--value", "2010"});
    IniFile::getIniFile().writeString("Ports", "Com6", sim.devicePath());
    IniFile::getIniFile().writeInteger("CommandCheck", "LedBright", 300);
    int status = -1;
    auto lines = run({"calibrate", "--device", "Com6"}, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(lines,
              (std::vector<std::string>{"Reference (OD 0): 4000 units",
                                        "Dark (OD maximum): 20 units", "Stored in the profile."}));
    IniFile::openProfile("Default", "Nephodar", "Talvessa"); // read what the tool wrote
    EXPECT_EQ(IniFile::getIniFile().readInteger("CalibrECH", "OD1", 0), 4000);
    EXPECT_EQ(IniFile::getIniFile().readInteger("CalibrECH", "ODDark", 0), 20);

    // (2010 - 20) / (4000 - 20) = 0.5: OD 0.301 from the first sample on.
    lines = run({"measure", "--device", "Com6", "--samples", "2", "--interval", "0.1"}, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(lines, (std::vector<std::string>{"0\t0:00\t0.301\t0.301", "1\t0:00\t0.301\t0.301"}));
}

// The profile edited by hand while a calibration runs keeps the edit when the values are stored.
TEST_F(MeasureCli, HandEditsMadeDuringACalibrationSurviveIt) {
    const std::string path = store() + "/Default.ini";
    Subprocess tool(cli(),
                    {"calibrate", "--program-dir", temp_.path("program"), "--device", "Sim0"});
    // The simulated calibration takes 16 steps of a quarter second; the profile is open by the
    // first.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (tool.errorOutput().find("calibrating 1 / 15") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_NE(tool.errorOutput().find("calibrating 1 / 15"), std::string::npos)
        << tool.errorOutput();
    std::string text = TempDirectory::readFile(path);
    text.replace(text.find("User=User"), 9, "User=Alice");
    TempDirectory::writeFile(path, text + "[Ports]\nCom3=/dev/ttyUSB0\n");
    EXPECT_EQ(tool.wait(20000), 0) << tool.errorOutput();

    const IniFile::ProfileFile stored(path);
    EXPECT_EQ(stored.readString("Options", "User", ""), "Alice");
    EXPECT_EQ(stored.readString("Ports", "Com3", ""), "/dev/ttyUSB0");
    EXPECT_EQ(stored.readString("CalibrECH", "ODDark", ""), "0");
    EXPECT_EQ(stored.readString("CalibrECH", "OD1", ""), "4095");
}

// A reading that fails ends the command without half a line on standard output.
TEST_F(MeasureCli, ReadPrintsWholeLinesOnly) {
    Q7SimProcess sim({"--fault", "2:garbage"});
    IniFile::getIniFile().writeString("Ports", "Com6", sim.devicePath());
    const std::string output = temp_.path("read.out");
    const std::string command = cli() + " read --program-dir " + temp_.path("program") +
                                " --device Com6 --count 3 >" + output + " 2>" + output + ".err";
    const int status = std::system(command.c_str());
    EXPECT_NE(status, 0);
    const std::string printed = TempDirectory::readFile(output);
    EXPECT_EQ(printed.substr(0, 2), "1\t") << printed;
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
    EXPECT_EQ(printed.back(), '\n') << printed;
    EXPECT_FALSE(TempDirectory::readFile(output + ".err").empty());
}

TEST_F(MeasureCli, TimeLapseAndNotesOfASimulatedRun) {
    // A second between samples, on a clock 600 times as fast: about 10 minutes.
    int status = -1;
    const auto lines =
        run({"measure", "--device", "Sim0", "--samples", "3", "--interval", "1", "--time-lapse",
             "600", "--note", "1:Inducer \"B\": 2 ml", "--save", temp_.path("lapse.nph")},
            status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(lines.size(), 3u);
    const auto rows =
        RecordTable::openFile(QString::fromStdString(temp_.path("lapse.nph")), true)->allRows();
    ASSERT_EQ(rows.size(), 3u);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const double step = rows[i].minutes - rows[i - 1].minutes;
        EXPECT_GT(step, 9.0) << lines[i];
        EXPECT_LT(step, 20.0) << lines[i];
    }
    EXPECT_EQ(rows[0].note, "");
    EXPECT_EQ(rows[1].note, "[1] Inducer \"B\": 2 ml"); // numbered as the window numbers it
    EXPECT_EQ(rows[2].note, "");
    std::string errors;
    const auto refused =
        run({"measure", "--device", "Com1", "--time-lapse", "600"}, status, &errors);
    EXPECT_EQ(status, 2);
    EXPECT_TRUE(refused.empty());
    EXPECT_NE(errors.find("--time-lapse is for simulated devices"), std::string::npos) << errors;
    run({"measure", "--device", "Sim0", "--note", "x:text"}, status, &errors);
    EXPECT_EQ(status, 2);
    EXPECT_NE(errors.find("--note takes SAMPLE:TEXT"), std::string::npos) << errors;
}

// Samples that follow closely share their stored minute: each note still goes to the sample
// it names, and a note for a sample never taken is said and fails the command.
TEST_F(MeasureCli, NotesLandOnTheSamplesTheyName) {
    int status = -1;
    std::string errors;
    const auto lines = run({"measure", "--device", "Sim0", "--samples", "8", "--interval", "0",
                            "--note", "5:fifth", "--note", "2:second", "--note", "12:never",
                            "--save", temp_.path("notes.nph")},
                           status, &errors);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(lines.size(), 8u);
    EXPECT_NE(errors.find("The note for sample 12 was not attached: the measurement ended after "
                          "8 samples."),
              std::string::npos)
        << errors;
    std::vector<QString> notes;
    for (const auto& row :
         RecordTable::openFile(QString::fromStdString(temp_.path("notes.nph")), true)->allRows())
        notes.push_back(row.note);
    EXPECT_EQ(notes, (std::vector<QString>{"", "", "[1] second", "", "", "[2] fifth", "", ""}));
}

TEST_F(MeasureCli, UnreachableDeviceAndBadOptions) {
    IniFile::getIniFile().writeString("Ports", "Com9", "/nonexistent/tty");
    int status = -1;
    std::string errors;
    auto lines = run({"measure", "--device", "Com9"}, status, &errors);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(errors, "Can't connect to Com9:\nError connecting port.\n'System reported: \nNo such "
                      "file or directory'\nThere is no serial port /nonexistent/tty (Com9). Name "
                      "the photometer's device file in the profile's section [Ports], as "
                      "Com9=/dev/ttyUSB0.\nFor this run alone, give the device file with --port "
                      "PATH.\n");

    lines = run({"measure", "--device", "Sim0", "--samples", "zero"}, status, &errors);
    EXPECT_EQ(status, 2);
    EXPECT_NE(errors.find("--samples takes a whole number"), std::string::npos);

    TempDirectory::writeFile(temp_.path("program/Templates/Template.txt"), "");
    QFile::remove(QString::fromStdString(temp_.path("program/Templates/Template.txt")));
    lines = run({"measure", "--device", "Sim0"}, status, &errors);
    EXPECT_EQ(status, 1);
    EXPECT_NE(errors.find("Can't load the template"), std::string::npos);
}

TEST_F(MeasureCli, KilledMidRunLeavesEveryPrintedRowIntact) {
    Subprocess tool(cli(), {"measure", "--program-dir", temp_.path("program"), "--device", "Sim0",
                            "--samples", "100000", "--interval", "0"});
    std::vector<std::string> printed;
    for (int i = 0; i < 12; ++i) {
        const std::string line = tool.nextLine(10000);
        ASSERT_FALSE(line.empty()) << tool.errorOutput();
        printed.push_back(line);
    }
    tool.signal(SIGKILL);
    EXPECT_EQ(tool.wait(), 128 + SIGKILL);

    const std::string file = temp_.path("program/Record1.db");
    {
        SqliteDatabase db(QString::fromStdString(file), SqliteDatabase::Mode::ReadOnly);
        auto check = db.prepare("PRAGMA integrity_check");
        ASSERT_TRUE(check.step());
        EXPECT_EQ(check.text(0), "ok");
    }
    const auto numbers = storedNumbers(file);
    ASSERT_GE(numbers.size(), printed.size());
    for (std::size_t i = 0; i < printed.size(); ++i)
        EXPECT_EQ(numbers[i], static_cast<double>(i)) << printed[i];
}

// Auto-saves that fail are said on standard error once per failing period, and the exit
// status tells a script that they did.
TEST_F(MeasureCli, FailingAutoSaveIsSaidOnceAndSetsTheExitStatus) {
    IniFile::getIniFile().writeInteger("Options", "AutoSave", 1);
    IniFile::getIniFile().writeInteger("Options", "OwnAutoDir", 1);
    IniFile::getIniFile().writeString("Options", "Dir", temp_.path("blocked/auto"));
    TempDirectory::writeFile(temp_.path("blocked"), "a file where a directory should be");
    int status = -1;
    std::string errors;
    const auto lines =
        run({"measure", "--device", "Sim0", "--samples", "3", "--interval", "0"}, status, &errors);
    EXPECT_EQ(lines.size(), 3u);
    EXPECT_EQ(status, 1);
    std::size_t said = 0;
    for (std::size_t at = errors.find("Autosave failed: "); at != std::string::npos;
         at = errors.find("Autosave failed: ", at + 1))
        ++said;
    EXPECT_EQ(said, 1u) << errors;
    EXPECT_NE(errors.find(temp_.path("blocked/auto")), std::string::npos) << errors;
    EXPECT_EQ(storedNumbers(temp_.path("program/Record1.db")), (std::vector<double>{0, 1, 2}))
        << "the measurement went on";

    std::filesystem::remove(temp_.path("blocked"));
    run({"measure", "--device", "Sim0", "--samples", "2", "--interval", "0"}, status, &errors);
    EXPECT_EQ(status, 0) << errors;
}

// A scripted run computes CalcOD with the profile's formula, as the window does; the options
// override it for one run.
TEST_F(MeasureCli, FormulaFromTheProfileUnlessOverridden) {
    ODFormula turbidity;
    turbidity.enabled = true;
    turbidity.name = "Turbidity";
    turbidity.a1 = "0";
    turbidity.a2 = "0";
    turbidity.a3 = "3";
    turbidity.a4 = "0.5";
    turbidity.storeToProfile();
    const struct {
        std::vector<std::string> extra;
        double a3, a4;
        const char* statement;
    } cases[] = {
        {{}, 3, 0.5, "Using OD-formula: Turbidity = 0X³+ 0X²+ 3X+ 0.5"},
        {{"--formula", "0,0,2,0.1"}, 2, 0.1, "Using OD-formula: CalcOD = 0X³+ 0X²+ 2X+ 0.1"},
        {{"--no-formula"}, 1, 0, "Using no OD-formula: CalcOD = OD"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments{"measure",   "--device", "Sim0",
                                           "--samples", "2",        "--interval",
                                           "0",         "--save",   temp_.path("f/run.nph")};
        arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
        int status = -1;
        std::string errors;
        run(arguments, status, &errors);
        ASSERT_EQ(status, 0) << errors;
        for (const auto& row :
             RecordTable::openFile(QString::fromStdString(temp_.path("f/run.nph")), true)
                 ->allRows())
            // OD is stored cut to 4 decimals, CalcOD computed from the uncut reading.
            EXPECT_NEAR(row.calcOd, c.a3 * row.od + c.a4, (c.a3 + 1) * 0.0001 + 1e-9)
                << c.statement;
        EXPECT_NE(TempDirectory::readFile(temp_.path("f/run.txt")).find(c.statement),
                  std::string::npos)
            << TempDirectory::readFile(temp_.path("f/run.txt"));
    }
}
