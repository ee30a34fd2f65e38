// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DeviceModel.h"

#include <string>

namespace q7sim {

struct Options {
    DeviceSettings device;
    std::string linkPath;
    std::string socketName; // serve a local socket instead of a terminal
    int hangupMilliseconds = 1000;
    bool verbose = false;
    bool showVersion = false; // --version: say it and end
};

// Parses the command line; throws std::invalid_argument with a message for the user.
// Returns false when only the help text or the version was asked for.
bool parseOptions(int argc, char** argv, Options& options);

extern const char* const usageText;

} // namespace q7sim
