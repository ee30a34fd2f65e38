// SPDX-License-Identifier: GPL-3.0-or-later
// Where the simulator's sockets are, and that the per-user place is private.
#include "lumo/SocketDirectory.h"
#include "ErrorOf.h"
#include "TempDirectory.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct SocketDirectory : ::testing::Test {
    TempDirectory temp_;
    void setEnvironment(const char* chosen, const char* runtime) {
        for (const auto& [name, value] :
             {std::pair{"NEPHODAR_PIPE_DIR", chosen}, std::pair{"XDG_RUNTIME_DIR", runtime}}) {
            if (value)
                setenv(name, value, 1);
            else
                unsetenv(name);
        }
    }
    void TearDown() override { setEnvironment(nullptr, nullptr); }
};

} // namespace

TEST_F(SocketDirectory, ChosenThenRuntimeThenPerUserTemporary) {
    const std::string perUser = "/tmp/nephodar-" + std::to_string(getuid());
    const struct {
        const char* chosen;
        const char* runtime;
        std::string expected;
    } cases[] = {
        {"/srv/pipes", "/run/user/1000", "/srv/pipes"},
        {nullptr, "/run/user/1000", "/run/user/1000/nephodar"},
        {"", "/run/user/1000", "/run/user/1000/nephodar"},
        {nullptr, nullptr, perUser},
        {nullptr, "", perUser},
    };
    for (const auto& c : cases) {
        setEnvironment(c.chosen, c.runtime);
        EXPECT_EQ(Talvessa::simulatorSocketDirectory(), c.expected)
            << (c.chosen ? c.chosen : "-") << " " << (c.runtime ? c.runtime : "-");
    }
}

TEST_F(SocketDirectory, MadePrivateAndRefusedWhereOthersMayEnter) {
    setEnvironment(nullptr, temp_.path().c_str());
    const std::string directory = Talvessa::simulatorSocketDirectory();
    Talvessa::prepareSimulatorSocketDirectory(directory);
    struct stat status {};
    ASSERT_EQ(stat(directory.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    Talvessa::prepareSimulatorSocketDirectory(directory); // a second simulator of the same user

    // Left open to others (as the old shared directory was): no socket goes there.
    chmod(directory.c_str(), 0755);
    EXPECT_NE(errorOf([&] {
                  Talvessa::prepareSimulatorSocketDirectory(directory);
              }).find("NEPHODAR_PIPE_DIR"),
              std::string::npos);
    // A file, or a link planted in its place, is no directory of ours either.
    rmdir(directory.c_str());
    ASSERT_EQ(symlink(temp_.path().c_str(), directory.c_str()), 0);
    EXPECT_NE(errorOf([&] { Talvessa::prepareSimulatorSocketDirectory(directory); }), "no error");

    // A directory chosen by hand is the user's business.
    setEnvironment(temp_.path("chosen").c_str(), nullptr);
    EXPECT_EQ(errorOf([] {
                  Talvessa::prepareSimulatorSocketDirectory(Talvessa::simulatorSocketDirectory());
              }),
              "no error");
}
