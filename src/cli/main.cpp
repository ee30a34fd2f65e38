// SPDX-License-Identifier: GPL-3.0-or-later
// nephodar-cli: the workstation's engine from a terminal.
#include "CommandRegistry.h"
#include "lumo/Version.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <iostream>
#include <stdexcept>

std::vector<CliCommand>& cliCommands() {
    static std::vector<CliCommand> commands;
    return commands;
}

namespace {

void printUsage(std::ostream& out) {
    auto commands = cliCommands();
    std::sort(commands.begin(), commands.end(),
              [](const CliCommand& a, const CliCommand& b) { return a.name < b.name; });
    out << "Usage: nephodar-cli COMMAND [OPTION]...\nCommands:\n";
    for (const auto& command : commands) {
        std::string name = command.name;
        name.resize(std::max<std::size_t>(name.size(), 10), ' ');
        out << "  " << name << "  " << command.summary << "\n";
    }
    out << "Run 'nephodar-cli COMMAND --help' for the options of a command;\n"
           "'nephodar-cli --version' shows the version.\n";
}

} // namespace

int main(int argc, char** argv) {
    // A file-size limit then fails the write (EFBIG) as a full disk does, which every writer
    // handles, instead of ending the process mid-run without its End and its save.
    std::signal(SIGXFSZ, SIG_IGN);
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        printUsage(argc < 2 ? std::cerr : std::cout);
        return argc < 2 ? 2 : 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::cout << "nephodar-cli " << Talvessa::programVersion << std::endl;
        return 0;
    }
    const std::string name = argv[1];
    const auto& commands = cliCommands();
    const auto command = std::find_if(commands.begin(), commands.end(),
                                      [&](const CliCommand& c) { return c.name == name; });
    if (command == commands.end()) {
        std::cerr << "nephodar-cli: unknown command '" << name << "'\n";
        printUsage(std::cerr);
        return 2;
    }
    try {
        return command->run(argc, argv);
    } catch (const std::invalid_argument& e) {
        std::cerr << "nephodar-cli " << name << ": " << e.what() << "\nTry 'nephodar-cli " << name
                  << " --help'." << std::endl;
        return 2;
    } catch (const std::exception& e) {
        std::cerr << e.what() << std::endl;
        return 1;
    }
}
