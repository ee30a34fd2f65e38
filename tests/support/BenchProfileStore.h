// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TempDirectory.h"
#include "lumo/Logger.h"
#include "settings/IniFile.h"

#include <cstdlib>
#include <sstream>

// What a benchmark or a test outside the engine's own needs to run the engine: a profile store of
// its own under a temporary directory with "Default" open, and the device log kept out of the way.
class BenchProfileStore {
public:
    BenchProfileStore() {
        setenv("XDG_CONFIG_HOME", temp.path("config").c_str(), 1);
        unsetenv("ALLUSERSPROFILE");
        Talvessa::setLogStream(log_.rdbuf());
        IniFile::openProfile("Default", "Nephodar", "Talvessa");
    }

    TempDirectory temp;

private:
    std::ostringstream log_;
};
