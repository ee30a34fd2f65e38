// SPDX-License-Identifier: GPL-3.0-or-later
// Process death: nephodar-cli killed with SIGKILL while it measures and while it saves. The
// tool is the real one; the moments are random times, or every single change it makes to its
// files (the shim kills it just before the chosen one).
#include "FaultRun.h"
#include "workstation/OpenedMeasurement.h"

#include <chrono>
#include <csignal>
#include <random>
#include <thread>

using namespace FaultRun;

namespace {

unsigned faultSeed() {
    if (const char* given = std::getenv("NEPHODAR_FAULT_SEED"))
        return static_cast<unsigned>(std::strtoul(given, nullptr, 10));
    return std::random_device{}();
}

class CrashSafety : public ProfileStoreFixture {
protected:
    void SetUp() override {
        ProfileStoreFixture::SetUp();
        openDefault(); // the profile the tool opens too
    }

    // The working table a killed run left: whole, holding every sample it printed, and
    // usable by the next start (opened, emptied and appended to as a start does).
    void expectWorkingTableSurvived(const std::string& program,
                                    const std::vector<std::string>& printed) {
        const std::string file = program + "/Record1.db";
        if (!std::filesystem::exists(file)) {
            EXPECT_TRUE(printed.empty()) << "samples were printed, but there is no table";
            return;
        }
        EXPECT_EQ(integrity(file), "ok");
        std::unique_ptr<RecordTable> table;
        try {
            table = RecordTable::openWorking(QString::fromStdString(program));
        } catch (const std::exception& e) {
            FAIL() << "the next start cannot open the working table: " << e.what();
        }
        expectRowsMatchPrinted(table->allRows(), printed, true);
        ASSERT_NO_THROW(table->empty());
        ASSERT_NO_THROW(table->append(SavedMeasurement::row(0, 0, 0.5, 0.5)));
        EXPECT_EQ(table->rowCount(), 1);
    }
};

TEST_F(CrashSafety, KilledAtRandomMomentsOfAMeasurement) {
    const unsigned seed = faultSeed();
    SCOPED_TRACE("seed " + std::to_string(seed) + " (NEPHODAR_FAULT_SEED=" + std::to_string(seed) +
                 " repeats these moments)");
    std::mt19937 random(seed);
    // From the start-up to the fifth sample or so: the table is created, switched to its log
    // mode, emptied and appended to in that time.
    std::uniform_int_distribution<int> moment(0, 1100);
    for (int run = 0; run < 20; ++run) {
        const int milliseconds = moment(random);
        SCOPED_TRACE("run " + std::to_string(run) + ", killed after " +
                     std::to_string(milliseconds) + " ms");
        const std::string program = programDirectory(temp_, "run" + std::to_string(run));
        Subprocess tool(cli(), {"measure", "--program-dir", program, "--device", "Sim0",
                                "--samples", "100000", "--interval", "0"});
        // A real process at a real moment: no clock of ours can stand in for this wait.
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        tool.signal(SIGKILL);
        ASSERT_EQ(tool.wait(), 128 + SIGKILL) << tool.errorOutput();
        const auto printed = remainingLines(tool);
        expectWorkingTableSurvived(program, printed);
        if (HasFailure())
            return;
    }
}

// Every state the program directory passes through, from the first start on an empty
// directory to the end of a one-sample run, is one a kill may leave behind.
TEST_F(CrashSafety, KilledBeforeEachFileChangeOfARun) {
    const auto arguments = [](const std::string& program) {
        return std::vector<std::string>{"measure",  "--program-dir", program,
                                        "--device", "Sim0",          "--samples",
                                        "1",        "--interval",    "0"};
    };
    const std::string counted = programDirectory(temp_, "counted");
    const long changes = countChanges(temp_, arguments(counted), counted);
    ASSERT_GE(changes, 8) << "the shim does not see the tool's writes";
    for (long k = 1; k <= changes; ++k) {
        SCOPED_TRACE("killed before file change " + std::to_string(k) + " of " +
                     std::to_string(changes));
        const std::string program = programDirectory(temp_, "kill" + std::to_string(k));
        Subprocess tool(cli(), arguments(program), shim(program, "KILL_AT", k));
        const auto printed = remainingLines(tool);
        ASSERT_EQ(tool.wait(20000), 128 + SIGKILL) << tool.errorOutput();
        expectWorkingTableSurvived(program, printed);
        if (HasFailure())
            return;
    }
}

// A measurement saved over an earlier set of the same name, killed at every change the save
// makes: each file of the set is the old one or the whole new one, and the set as the
// program opens it again is all old or all new.
TEST_F(CrashSafety, KilledBeforeEachFileChangeOfASave) {
    using State = SetOverwrite::State;
    const SetOverwrite set(temp_);
    const long changes = set.changesOfASave(temp_);
    ASSERT_GE(changes, 6) << "the shim does not see the save";
    ASSERT_EQ(set.states("after a complete save"), SetOverwrite::all(State::New));

    long leftStrayFiles = 0; // the first kill that left files beside the set
    for (long k = 1; k <= changes; ++k) {
        SCOPED_TRACE("killed before file change " + std::to_string(k) + " of " +
                     std::to_string(changes));
        set.restoreOld();
        Subprocess tool(cli(), set.arguments(), shim(set.out, "KILL_AT", k));
        remainingLines(tool);
        ASSERT_EQ(tool.wait(20000), 128 + SIGKILL) << tool.errorOutput();
        set.states("as the kill left it");
        if (leftStrayFiles == 0 && namesIn(set.out).size() > 3)
            leftStrayFiles = k;
        // Opening it again is what a user does next (viewer, report, info).
        ASSERT_NO_THROW(OpenedMeasurement::open(QString::fromStdString(set.base + ".nph")));
        const auto states = set.states("when opened again");
        EXPECT_TRUE(states == SetOverwrite::all(State::Old) ||
                    states == SetOverwrite::all(State::New))
            << "a mixed set: " << testing::PrintToString(states);
        if (HasFailure())
            return;
    }

    // The next save over what such a kill left behind completes and leaves nothing stray.
    set.restoreOld();
    if (leftStrayFiles > 0) {
        Subprocess killed(cli(), set.arguments(), shim(set.out, "KILL_AT", leftStrayFiles));
        remainingLines(killed);
        ASSERT_EQ(killed.wait(20000), 128 + SIGKILL) << killed.errorOutput();
    }
    Subprocess tool(cli(), set.arguments());
    remainingLines(tool);
    ASSERT_EQ(tool.wait(20000), 0) << tool.errorOutput();
    EXPECT_EQ(set.states("after the next save"), SetOverwrite::all(State::New));
    EXPECT_EQ(namesIn(set.out), (std::vector<std::string>{"run.log", "run.nph", "run.txt"}));
}

} // namespace
