// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TempDirectory.h"
#include "lumo/ProgramDirectory.h"
#include "settings/IniFile.h"

#include <cstdlib>
#include <gtest/gtest.h>

// A profile store and a program directory of the test's own, found through the environment
// exactly as the program finds its real ones.
class ProfileStoreFixture : public testing::Test {
protected:
    void SetUp() override {
        unsetenv("ALLUSERSPROFILE");
        unsetenv("APPDATA");
        setenv("XDG_CONFIG_HOME", temp_.path("config").c_str(), 1);
        Talvessa::setProgramDirectory(temp_.path("program"));
        std::filesystem::create_directories(temp_.path("program"));
    }
    void TearDown() override {
        Talvessa::setProgramDirectory("");
        unsetenv("XDG_CONFIG_HOME");
    }

    std::string store() const { return temp_.path("config/Talvessa/Nephodar"); }
    void openDefault() { IniFile::openProfile("Default", "Nephodar", "Talvessa"); }

#ifdef NEPHODAR_PROGRAM_DIR
    // What the windows load from their program directory (pictures, templates), copied from
    // the built program, for a test that runs the workstation itself.
    void copyProgramFolders(std::initializer_list<const char*> folders) {
        for (const char* folder : folders)
            std::filesystem::copy(std::string(NEPHODAR_PROGRAM_DIR) + "/" + folder,
                                  temp_.path("program/") + folder);
    }
#endif

    TempDirectory temp_;
};
