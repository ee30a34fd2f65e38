// SPDX-License-Identifier: GPL-3.0-or-later
// Disk trouble: files that may not grow (a file-size limit, set on the running process, whose
// signal must not end it) and a disk that runs full at each step of a save (the shim answers
// ENOSPC from a chosen change on). The measurement goes on, says what went wrong, and no file
// is left damaged.
#include "../workstation/EngineFixture.h"
#include "FaultRun.h"
#include "MosquittoBroker.h"
#include "publish/PublishOutbox.h"
#include "workstation/OpenedMeasurement.h"

#include <QDir>
#include <chrono>
#include <csignal>
#include <numeric>
#include <sys/resource.h>

using namespace FaultRun;

namespace {

// The page size of the table files. The working table keeps a rollback journal, and a commit
// writes at least one whole page to it past its header.
constexpr int tablePage = 4096;

// The soft limit of a process (0: this one); the hard limit stays, so it can be lifted again.
void setFileSizeLimit(pid_t process, rlim_t bytes) {
    rlimit limit{};
    ASSERT_EQ(prlimit(process, RLIMIT_FSIZE, nullptr, &limit), 0);
    limit.rlim_cur = bytes;
    ASSERT_EQ(prlimit(process, RLIMIT_FSIZE, &limit, nullptr), 0);
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class DiskFull : public ProfileStoreFixture {
protected:
    void SetUp() override {
        ProfileStoreFixture::SetUp();
        openDefault(); // the profile the tool opens too
    }
};

TEST_F(DiskFull, SamplingGoesOnWhileTheWorkingTableCannotGrow) {
    const std::string program = programDirectory(temp_, "program");
    const std::string saved = temp_.path("out/run.nph");
    Subprocess tool(cli(), {"measure", "--program-dir", program, "--device", "Sim0", "--samples",
                            "100000", "--interval", "0", "--save", saved});
    std::vector<std::string> printed;
    // Reads lines until three more report the row stored (or not stored, as asked); false
    // when twenty lines did not.
    const auto awaitThree = [&](bool stored) {
        for (int seen = 0, lines = 0; seen < 3; ++lines) {
            if (lines == 20)
                return false;
            printed.push_back(tool.nextLine(10000));
            if (printed.back().empty())
                return false;
            if (reportsStoredRow(printed.back()) == stored)
                ++seen;
        }
        return true;
    };
    ASSERT_TRUE(awaitThree(true)) << tool.errorOutput();
    // No file may reach past its first page: the journal cannot take the next commit.
    setFileSizeLimit(tool.id(), tablePage);
    ASSERT_TRUE(awaitThree(false)) << "samples are still reported stored\n" << tool.errorOutput();
    setFileSizeLimit(tool.id(), RLIM_INFINITY);
    ASSERT_TRUE(awaitThree(true)) << "nothing is stored again once the limit is lifted\n"
                                  << tool.errorOutput();
    tool.signal(SIGINT); // ends the measurement as End does, with the save
    for (const auto& line : remainingLines(tool))
        printed.push_back(line);
    ASSERT_EQ(tool.wait(20000), 0) << tool.errorOutput();

    const std::string errors = tool.errorOutput();
    EXPECT_TRUE(contains(errors, program + "/Record1.db") && contains(errors, "File too large"))
        << errors;
    EXPECT_EQ(integrity(program + "/Record1.db"), "ok");
    const auto rows =
        RecordTable::openFile(QString::fromStdString(program + "/Record1.db"), true)->allRows();
    expectRowsMatchPrinted(rows, printed, false);
    const auto savedRows = RecordTable::openFile(QString::fromStdString(saved), true)->allRows();
    ASSERT_EQ(savedRows.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(lineOf(savedRows[i]), lineOf(rows[i]));
}

// The workstation under a file-size limit set mid-run: its samples fail to be stored, and it
// goes on running instead of being ended by the limit's signal.
TEST_F(DiskFull, TheWorkstationOutlivesAFileSizeLimit) {
    const std::string program = programDirectory(temp_, "program");
    const std::string table = program + "/Record1.db";
    copyProgramFolders({"Objects", "buttons"});
    Subprocess workstation(NEPHODAR_PROGRAM_DIR "/Nephodar",
                           {"--program-dir", program, "--start", "--interval", "0"},
                           {{"QT_QPA_PLATFORM", "offscreen"}});
    const auto rowsStored = [&] {
        try {
            return RecordTable::openFile(QString::fromStdString(table), true)->rowCount();
        } catch (const std::exception&) {
            return 0; // not made yet
        }
    };
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    while (rowsStored() < 3 && std::chrono::steady_clock::now() < until)
        ASSERT_EQ(workstation.wait(100), -1) << workstation.errorOutput();
    ASSERT_GE(rowsStored(), 3) << workstation.errorOutput();
    setFileSizeLimit(workstation.id(), tablePage);
    EXPECT_EQ(workstation.wait(3000), -1) << "ended under the limit\n" << workstation.errorOutput();
    setFileSizeLimit(workstation.id(), RLIM_INFINITY);
    EXPECT_EQ(integrity(table), "ok");
}

// The disk runs full at each change of the save in turn. A save that is reported failed
// replaced nothing of the earlier set; one that succeeded wrote the whole new set; the
// measurement's rows stay in the working table either way.
TEST_F(DiskFull, SaveOntoAFullDiskKeepsTheEarlierSet) {
    using State = SetOverwrite::State;
    const SetOverwrite set(temp_);
    const long changes = set.changesOfASave(temp_);
    ASSERT_GE(changes, 6) << "the shim does not see the save";

    int failedSaves = 0;
    for (long k = 1; k <= changes; ++k) {
        SCOPED_TRACE("disk full from file change " + std::to_string(k) + " of " +
                     std::to_string(changes));
        set.restoreOld();
        Subprocess tool(cli(), set.arguments(), shim(set.out, "FULL_AT", k));
        const auto printed = remainingLines(tool);
        const int status = tool.wait(20000);
        const std::string errors = tool.errorOutput();
        if (status == 0) {
            EXPECT_EQ(set.states("after a save reported complete"), SetOverwrite::all(State::New));
        } else {
            ++failedSaves;
            EXPECT_EQ(status, 1);
            EXPECT_TRUE(contains(errors, "could not be saved") && contains(errors, set.base) &&
                        (contains(errors, "No space left on device") ||
                         contains(errors, "database or disk is full")))
                << errors;
            EXPECT_EQ(set.states("after a save reported failed"), SetOverwrite::all(State::Old));
            EXPECT_EQ(namesIn(set.out), (std::vector<std::string>{"run.log", "run.nph", "run.txt"}))
                << "what the failed save wrote is removed";
            ASSERT_NO_THROW(OpenedMeasurement::open(QString::fromStdString(set.base + ".nph")));
            EXPECT_EQ(set.states("when opened again"), SetOverwrite::all(State::Old));
        }
        const std::string table = set.program + "/Record1.db";
        EXPECT_EQ(integrity(table), "ok");
        expectRowsMatchPrinted(
            RecordTable::openFile(QString::fromStdString(table), true)->allRows(), printed, false);
        if (HasFailure())
            return;
    }
    EXPECT_GT(failedSaves, 0) << "the full disk never reached the save";
}

// The MQTT outbox's log finds the disk full for a stretch of the run: every row is still
// stored, the trouble is said once, the messages wait in memory, and once there is room
// again every row reaches the broker, in order.
TEST_F(DiskFull, AFullOutboxKeepsItsMessagesUntilThereIsRoomAndLosesNone) {
    constexpr int samples = 30;
    const std::string program = programDirectory(temp_, "program");
    MosquittoBroker broker;
    BrokerSubscriber subscriber(broker.port(), "lab/ws1/sample");
    auto environment = shim(program + "/Outbox1.db-wal", "FULL_AT", 4, temp_.path("tally"));
    environment["NEPHODAR_FAULT_ROOM_AT"] = "24";
    Subprocess tool(cli(),
                    {"measure", "--program-dir", program, "--device", "Sim0", "--samples",
                     std::to_string(samples), "--interval", "0", "--mqtt",
                     "127.0.0.1:" + std::to_string(broker.port()), "--topic", "lab/ws1"},
                    environment);
    const auto printed = remainingLines(tool);
    ASSERT_EQ(tool.wait(20000), 0) << tool.errorOutput();
    ASSERT_GT(std::stol("0" + TempDirectory::readFile(temp_.path("tally"))), 24)
        << "the run never had room again";

    ASSERT_EQ(printed.size(), static_cast<size_t>(samples));
    for (const auto& line : printed)
        EXPECT_TRUE(reportsStoredRow(line)) << line;
    const std::string errors = tool.errorOutput();
    const std::string said = "could not be written to the outbox";
    const auto first = errors.find(said);
    ASSERT_NE(first, std::string::npos) << errors;
    EXPECT_EQ(errors.find(said, first + 1), std::string::npos) << errors;

    const auto messages = subscriber.waitFor("/sample", samples, 10000);
    ASSERT_FALSE(messages.empty());
    const QString run = payloadOf(messages.front()).value(QStringLiteral("run")).toString();
    std::vector<int> every(samples);
    std::iota(every.begin(), every.end(), 0);
    EXPECT_EQ(firstArrivals(messages, run), every); // repeats may come: at least once
    EXPECT_EQ(PublishOutbox(QString::fromStdString(program)).count(), 0);
    EXPECT_EQ(integrity(program + "/Outbox1.db"), "ok");
}

// A file-size limit on the test process itself, lifted at the end of the scope whatever
// happened in it.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        setFileSizeLimit(0, bytes);
    }
    ~FileSizeLimit() { setFileSizeLimit(0, RLIM_INFINITY); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
};

class EngineDiskFull : public EngineFixture {};

// In the engine, where a save can fail in the middle of a run: the run goes on, the failure
// is said once, and samples and saves work again once files may grow.
TEST_F(EngineDiskFull, MeasurementGoesOnThroughFailedAppendsAndSaves) {
    std::vector<SampleReport> reports;
    QObject::connect(engine_.get(), &MeasurementEngine::sampleTaken,
                     [&](const SampleReport& report) { reports.push_back(report); });
    engine_->setInterval(1);
    ASSERT_TRUE(engine_->start());
    takeSamples(2);
    const QString saved = program() + "/saved/run.nph";
    prompts_.chosenFile = saved;
    ASSERT_TRUE(engine_->saveAs());
    const std::string savedDirectory = temp_.path("program/saved");
    std::map<std::string, std::string> before;
    for (const auto& name : namesIn(savedDirectory))
        before[name] = TempDirectory::readFile(savedDirectory + "/" + name);
    ASSERT_EQ(before.size(), 3u);

    {
        FileSizeLimit limit(tablePage);
        takeSamples(3);
        ASSERT_EQ(reports.size(), 5u);
        for (std::size_t i = 2; i < 5; ++i)
            EXPECT_FALSE(reports[i].stored) << "sample " << i;
        EXPECT_EQ(engine_->runState(), MeasurementEngine::RunState::Running);
        ASSERT_EQ(prompts_.messages.size(), 1) << "said once, not on every sample";
        EXPECT_TRUE(prompts_.messages[0].contains("Record1.db") &&
                    prompts_.messages[0].contains("File too large"))
            << prompts_.messages[0].toStdString();

        // A statement longer than any file may now be: the save cannot be written.
        engine_->statement().appendLine(QString(tablePage + 1, QLatin1Char('x')));
        EXPECT_FALSE(engine_->save());
        EXPECT_FALSE(engine_->isSaved());
        ASSERT_EQ(prompts_.messages.size(), 2);
        EXPECT_TRUE(prompts_.messages[1].contains(program() + "/saved/run.") &&
                    prompts_.messages[1].contains("File too large"))
            << prompts_.messages[1].toStdString();
        std::map<std::string, std::string> after;
        for (const auto& name : namesIn(savedDirectory))
            after[name] = TempDirectory::readFile(savedDirectory + "/" + name);
        EXPECT_EQ(after, before) << "the earlier set is untouched and nothing is left beside it";
    }

    takeSamples(1);
    EXPECT_TRUE(reports.back().stored);
    EXPECT_TRUE(engine_->save());
    EXPECT_EQ(integrity(temp_.path("program/Record1.db")), "ok");
    EXPECT_EQ(integrity(saved.toStdString()), "ok");
    std::vector<double> numbers;
    for (const auto& row : RecordTable::openFile(saved, true)->allRows())
        numbers.push_back(row.number);
    EXPECT_EQ(numbers, (std::vector<double>{0, 1, 5}));
    EXPECT_EQ(storedNumbers(), numbers);
}

} // namespace
