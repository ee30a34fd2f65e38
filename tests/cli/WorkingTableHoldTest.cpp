// SPDX-License-Identifier: GPL-3.0-or-later
// One measurement at a time per working table, between real processes: the workstation and
// nephodar-cli on one program directory.
#include "ProfileStoreFixture.h"
#include "Subprocess.h"
#include "workstation/RecordTable.h"

#include <QFile>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace {

std::string cli() {
    return NEPHODAR_PROGRAM_DIR "/nephodar-cli";
}
std::string workstation() {
    return NEPHODAR_PROGRAM_DIR "/Nephodar";
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

struct WorkingTableHold : ProfileStoreFixture {
    void SetUp() override {
        ProfileStoreFixture::SetUp();
        TempDirectory::writeFile(temp_.path("program/Templates/Template.txt"), "Lab:\n");
        copyProgramFolders({"Objects", "buttons"});
        openDefault();
    }

    std::string program() const { return temp_.path("program"); }
    std::string profile() const { return TempDirectory::readFile(store() + "/Default.ini"); }

    // A measuring command that stays on: its first sample line shows it holds the table.
    std::unique_ptr<Subprocess> holdingMeasurement() {
        auto tool = std::make_unique<Subprocess>(
            cli(), std::vector<std::string>{"measure", "--program-dir", program(), "--device",
                                            "Sim0", "--samples", "100000", "--interval", "0.1",
                                            "--title", "first"});
        EXPECT_FALSE(tool->nextLine(20000).empty()) << tool->errorOutput();
        return tool;
    }

    // Runs a command to its end; its exit status, with its standard error in errors.
    int runCli(std::vector<std::string> arguments, std::string& errors) {
        if (arguments[0] == "measure" || arguments[0] == "calibrate")
            arguments.insert(arguments.begin() + 1, {"--program-dir", program()});
        Subprocess tool(cli(), arguments);
        while (!tool.nextLine(20000).empty() || !tool.outputEnded()) {
        }
        const int status = tool.wait(20000);
        errors = tool.errorOutput();
        return status;
    }

    std::unique_ptr<Subprocess> startWorkstation() {
        return std::make_unique<Subprocess>(
            workstation(), std::vector<std::string>{"--program-dir", program()},
            std::map<std::string, std::string>{{"QT_QPA_PLATFORM", "offscreen"}});
    }

    // True once some process holds the program directory; waits up to the time given.
    bool heldByAnother(int milliseconds) {
        const auto until =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        do {
            const int fd = open(program().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
            close(fd);
            if (held)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } while (std::chrono::steady_clock::now() < until);
        return false;
    }

    std::vector<RecordRow> rows() {
        return RecordTable::openFile(QString::fromStdString(program() + "/Record1.db"), true)
            ->allRows();
    }
};

} // namespace

TEST_F(WorkingTableHold, ASecondCommandIsRefusedAndChangesNothing) {
    auto first = holdingMeasurement();
    const std::string holder = "nephodar-cli (process " + std::to_string(first->id()) + ")";
    const std::string profileBefore = profile();

    for (const auto& command :
         {std::vector<std::string>{"measure", "--device", "Sim0", "--samples", "3", "--interval",
                                   "0", "--title", "second"},
          std::vector<std::string>{"calibrate", "--device", "Sim0"}}) {
        std::string errors;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(runCli(command, errors), 1) << command[0];
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5))
            << "refused at once";
        EXPECT_TRUE(contains(errors, "The working table of '" + program() + "' is in use by " +
                                         holder + "."))
            << errors;
    }
    // The files of a measurement need no hold.
    std::string errors;
    EXPECT_EQ(runCli({"info", program() + "/Record1.db"}, errors), 0) << errors;

    first->signal(SIGINT);
    while (!first->nextLine(20000).empty()) {
    }
    ASSERT_EQ(first->wait(20000), 0) << first->errorOutput();
    const auto stored = rows();
    ASSERT_FALSE(stored.empty());
    for (std::size_t i = 0; i < stored.size(); ++i) {
        EXPECT_EQ(stored[i].title, "first") << "no row of a refused run";
        EXPECT_EQ(stored[i].number, static_cast<double>(i)) << "nothing emptied under the run";
    }
    EXPECT_EQ(profile(), profileBefore) << "the refused calibration wrote nothing";
}

TEST_F(WorkingTableHold, AKilledHolderFreesTheTableAtOnce) {
    auto first = holdingMeasurement();
    first->signal(SIGKILL);
    first->wait(5000);
    std::string errors;
    EXPECT_EQ(runCli({"measure", "--device", "Sim0", "--samples", "2", "--interval", "0", "--title",
                      "after"},
                     errors),
              0)
        << errors;
    const auto stored = rows();
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].title, "after");
}

TEST_F(WorkingTableHold, TheWorkstationHoldsItFromStartToExit) {
    auto window = startWorkstation();
    ASSERT_TRUE(heldByAnother(20000)) << window->errorOutput();
    std::string errors;
    EXPECT_EQ(runCli({"measure", "--device", "Sim0", "--samples", "2", "--interval", "0"}, errors),
              1);
    EXPECT_TRUE(
        contains(errors, "is in use by Nephodar (process " + std::to_string(window->id()) + ")."))
        << errors;

    // A second workstation ends at once, says why, and leaves the first one holding.
    auto second = startWorkstation();
    EXPECT_EQ(second->wait(20000), 1);
    EXPECT_TRUE(contains(second->errorOutput(),
                         "is in use by Nephodar (process " + std::to_string(window->id()) + ")."))
        << second->errorOutput();
    EXPECT_TRUE(heldByAnother(0));

    window->signal(SIGKILL);
    window->wait(5000);
    EXPECT_FALSE(heldByAnother(0));
}

TEST_F(WorkingTableHold, AWorkstationStartedDuringAMeasurementEndsWithoutTouchingIt) {
    auto first = holdingMeasurement();
    // A profile the window would create: it must not appear.
    setenv("XDG_CONFIG_HOME", temp_.path("fresh").c_str(), 1);
    auto window = startWorkstation();
    EXPECT_EQ(window->wait(20000), 1);
    EXPECT_TRUE(contains(window->errorOutput(), "is in use by nephodar-cli (process " +
                                                    std::to_string(first->id()) + ")."))
        << window->errorOutput();
    EXPECT_FALSE(std::filesystem::exists(temp_.path("fresh"))) << "no profile was created";
    first->signal(SIGINT);
    ASSERT_EQ(first->wait(20000), 0);
    for (const auto& row : rows())
        EXPECT_EQ(row.title, "first");
}

// A program directory the user may not write: a clear message before anything is measured.
// Root may write anywhere, so the command runs as an ordinary user then.
TEST_F(WorkingTableHold, AReadOnlyProgramDirectoryIsSaidClearly) {
    std::string errors;
    ASSERT_EQ(runCli({"measure", "--device", "Sim0", "--samples", "1", "--interval", "0"}, errors),
              0)
        << errors;
    namespace fs = std::filesystem;
    fs::permissions(temp_.path(), fs::perms::owner_all | fs::perms::group_read |
                                      fs::perms::group_exec | fs::perms::others_read |
                                      fs::perms::others_exec);
    for (const auto& entry : fs::recursive_directory_iterator(temp_.path("config")))
        fs::permissions(entry.path(), fs::perms::all);
    fs::permissions(temp_.path("config"), fs::perms::all);
    fs::permissions(program(), fs::perms::owner_read | fs::perms::owner_exec |
                                   fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec);
    const std::string before = TempDirectory::readFile(program() + "/Record1.db");

    std::vector<std::string> command{cli(),        "measure", "--program-dir", program(),
                                     "--device",   "Sim0",    "--samples",     "1",
                                     "--interval", "0"};
    if (geteuid() == 0)
        command.insert(command.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups"});
    Subprocess tool(
        geteuid() == 0 ? "/usr/bin/setpriv" : cli(),
        std::vector<std::string>(command.begin() + (geteuid() == 0 ? 0 : 1), command.end()),
        {{"XDG_DATA_HOME", temp_.path("data")}});
    EXPECT_EQ(tool.wait(20000), 1);
    // Says where the data would go and how to choose a directory the user may write.
    EXPECT_EQ(tool.errorOutput(),
              "The working table '" + program() + "/Record1.db' cannot be written: '" + program() +
                  "' is not writable (Permission denied).\nThe working table, Temp.log, AutoSave "
                  "and saved templates are kept in the program directory '" +
                  program() +
                  "'; choose one you may write with --program-dir DIR or the environment "
                  "variable NEPHODAR_PROGRAM_DIR, for example '" +
                  temp_.path("data") + "/nephodar'.\n");
    EXPECT_EQ(TempDirectory::readFile(program() + "/Record1.db"), before);
    fs::permissions(program(), fs::perms::owner_all);
}
