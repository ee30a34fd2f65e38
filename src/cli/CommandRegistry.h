// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <vector>

// The commands of nephodar-cli. Each command's file registers itself with a static
// registration object, so that adding a command touches no other file.
struct CliCommand {
    std::string name;
    std::string summary;
    std::function<int(int argc, char** argv)> run;
};

std::vector<CliCommand>& cliCommands();

struct CliCommandRegistration {
    CliCommandRegistration(std::string name, std::string summary,
                           std::function<int(int, char**)> run) {
        cliCommands().push_back({std::move(name), std::move(summary), std::move(run)});
    }
};
