// SPDX-License-Identifier: GPL-3.0-or-later
// Where a program keeps its working table: an installed one (PREFIX/bin beside
// PREFIX/share/nephodar) in the user's data directory, seeded from the read-only shared files;
// any other in its own directory.
#include "ProfileStoreFixture.h"
#include "Subprocess.h"

#include <filesystem>

namespace {

namespace fs = std::filesystem;

struct InstalledProgram : ProfileStoreFixture {
    void SetUp() override {
        ProfileStoreFixture::SetUp();
        openDefault();
    }

    // nephodar-cli copied to DIRECTORY; its path.
    std::string placeCli(const std::string& directory) {
        fs::create_directories(temp_.path(directory));
        const std::string copy = temp_.path(directory + "/nephodar-cli");
        fs::copy_file(NEPHODAR_PROGRAM_DIR "/nephodar-cli", copy);
        return copy;
    }

    // A prefix as a package leaves it: the shared files read-only.
    std::string installedCli() {
        const std::string cli = placeCli("usr/bin");
        TempDirectory::writeFile(shared("Templates/Template.txt"), "Lab:\n");
        TempDirectory::writeFile(shared("Nephodar.html"), "<p>help</p>\n");
        setSharedWritable(false);
        return cli;
    }
    std::string shared(const std::string& relative = "") const {
        return temp_.path("usr/share/nephodar") + (relative.empty() ? "" : "/" + relative);
    }
    void setSharedWritable(bool writable) {
        const auto option = writable ? fs::perm_options::add : fs::perm_options::remove;
        for (const auto& entry : fs::recursive_directory_iterator(shared()))
            fs::permissions(entry.path(), fs::perms::owner_write, option);
        fs::permissions(shared(), fs::perms::owner_write, option);
    }
    void TearDown() override {
        if (fs::exists(shared()))
            setSharedWritable(true);
        ProfileStoreFixture::TearDown();
    }

    // One quick Sim0 sample; the exit status, with standard error in errors.
    static int measure(const std::string& cli,
                       const std::map<std::string, std::string>& environment, std::string& errors) {
        std::map<std::string, std::string> all{{"NEPHODAR_PROGRAM_DIR", ""}};
        for (const auto& [name, value] : environment)
            all[name] = value;
        Subprocess tool(cli, {"measure", "--device", "Sim0", "--samples", "1", "--interval", "0"},
                        all);
        while (!tool.nextLine(20000).empty() || !tool.outputEnded()) {
        }
        const int status = tool.wait(20000);
        errors = tool.errorOutput();
        return status;
    }
};

TEST_F(InstalledProgram, KeepsTheUsersFilesInTheDataDirectorySeededFromTheSharedFiles) {
    const std::string cli = installedCli();
    struct Case {
        const char* what;
        std::map<std::string, std::string> environment;
        std::string directory;
    };
    const std::vector<Case> cases{
        {"XDG_DATA_HOME", {{"XDG_DATA_HOME", temp_.path("data")}}, temp_.path("data/nephodar")},
        {"no XDG_DATA_HOME",
         {{"XDG_DATA_HOME", ""}, {"HOME", temp_.path("home")}},
         temp_.path("home/.local/share/nephodar")},
        {"a relative XDG_DATA_HOME",
         {{"XDG_DATA_HOME", "data"}, {"HOME", temp_.path("home2")}},
         temp_.path("home2/.local/share/nephodar")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string errors;
        ASSERT_EQ(measure(cli, c.environment, errors), 0) << errors;
        EXPECT_TRUE(fs::exists(c.directory + "/Record1.db"));
        EXPECT_EQ(TempDirectory::readFile(c.directory + "/Templates/Template.txt"), "Lab:\n");
        EXPECT_EQ(TempDirectory::readFile(c.directory + "/Nephodar.html"), "<p>help</p>\n");
        // The user saves templates over the copies.
        EXPECT_NE(fs::status(c.directory + "/Templates").permissions() & fs::perms::owner_write,
                  fs::perms::none);
        EXPECT_NE(fs::status(c.directory + "/Templates/Template.txt").permissions() &
                      fs::perms::owner_write,
                  fs::perms::none);
    }
    EXPECT_FALSE(fs::exists(temp_.path("usr/bin/Record1.db")));
    EXPECT_FALSE(fs::exists(shared("Record1.db")));
}

TEST_F(InstalledProgram, NeverOverwritesWhatTheUserHasAndAddsNewSharedFiles) {
    const std::string cli = installedCli();
    const std::map<std::string, std::string> environment{{"XDG_DATA_HOME", temp_.path("data")}};
    const std::string mine = temp_.path("data/nephodar");
    std::string errors;
    ASSERT_EQ(measure(cli, environment, errors), 0) << errors;
    TempDirectory::writeFile(mine + "/Templates/Template.txt", "Our lab:\nStrain:\n");
    const std::string table = TempDirectory::readFile(mine + "/Record1.db");

    setSharedWritable(true);
    TempDirectory::writeFile(shared("Templates/Template.txt"), "Lab, new version:\n");
    TempDirectory::writeFile(shared("Templates/Growth.txt"), "Medium:\n");
    setSharedWritable(false);
    ASSERT_EQ(measure(cli, environment, errors), 0) << errors;

    EXPECT_EQ(TempDirectory::readFile(mine + "/Templates/Template.txt"), "Our lab:\nStrain:\n");
    EXPECT_EQ(TempDirectory::readFile(mine + "/Templates/Growth.txt"), "Medium:\n");
    EXPECT_NE(TempDirectory::readFile(mine + "/Record1.db"), table); // the second run's row
}

TEST_F(InstalledProgram, OnlyAnInstalledProgramWithoutAChosenDirectoryMovesItsFiles) {
    const std::map<std::string, std::string> environment{{"XDG_DATA_HOME", temp_.path("data")}};
    std::string errors;
    // A build directory, a copy in /opt, a bin folder without shared files beside it.
    for (const std::string directory : {"build/program", "opt/nephodar", "tools/bin"}) {
        SCOPED_TRACE(directory);
        const std::string cli = placeCli(directory);
        TempDirectory::writeFile(temp_.path(directory + "/Templates/Template.txt"), "Lab:\n");
        ASSERT_EQ(measure(cli, environment, errors), 0) << errors;
        EXPECT_TRUE(fs::exists(temp_.path(directory + "/Record1.db")));
    }
    EXPECT_FALSE(fs::exists(temp_.path("data/nephodar")));

    const std::string installed = installedCli();
    TempDirectory::writeFile(temp_.path("chosen/Templates/Template.txt"), "Lab:\n");
    ASSERT_EQ(measure(installed,
                      {{"XDG_DATA_HOME", temp_.path("data")},
                       {"NEPHODAR_PROGRAM_DIR", temp_.path("chosen")}},
                      errors),
              0)
        << errors;
    EXPECT_TRUE(fs::exists(temp_.path("chosen/Record1.db")));
    EXPECT_FALSE(fs::exists(temp_.path("data/nephodar")));
    ASSERT_EQ(measure(installed, environment, errors), 0) << errors;
    EXPECT_TRUE(fs::exists(temp_.path("data/nephodar/Record1.db")));
}

} // namespace
