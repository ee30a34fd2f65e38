// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReadCommand.h"

#include "CliSetup.h"
#include "CommandLine.h"
#include "CommandRegistry.h"
#include "com/ODSourceFactory.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"

#include <iostream>

namespace {

const char* const readHelp =
    R"(Usage: nephodar-cli read --device TYPE [OPTION]...
Connects to an OD source and prints readings, one line each: the reading's number and its OD.
Use it to check that a photometer answers before a measurement.

  --device TYPE       connection type: Com1, Com2, ... (serial port), Sim1, Sim2, ...
                      (device simulator on a local socket) or Sim0 (built-in simulation)
  --count N           number of readings (default 10)
)";

} // namespace

int runReadCommand(int argc, char** argv) {
    auto valueOptions = CliSetup::options;
    valueOptions.insert(valueOptions.end(), {"--device", "--count"});
    const CommandLine options(argc, argv, 2, valueOptions, {"--help"});
    if (options.has("--help")) {
        std::cout << readHelp << cliSetupHelp << "  --help              show this text\n";
        return 0;
    }
    if (!options.has("--device"))
        throw std::invalid_argument("--device is required");
    const std::string device = options.text("--device");
    const long count = options.number("--count", 10, 1, 1000000);
    CliSetup setup(options, device, CliSetup::TableUse::None);

    std::unique_ptr<Talvessa::ODSourceInterface> source;
    try {
        source = Talvessa::createODSource(device, 6);
    } catch (const std::exception& e) {
        throw std::runtime_error("Can't connect to " + device + ":\n" + withPortOption(e.what()));
    }
    const auto& bright = IniFile::keys::LedBright;
    source->setLedBrightness(IniFile::getIniFile().readInteger(bright.section, bright.key, 0));
    for (long i = 1; i <= count; ++i) {
        // Read before anything is printed: a reading that fails leaves no half line behind.
        const double od = source->value();
        std::cout << i << "\t" << od << std::endl;
    }
    return 0;
}

namespace {
const CliCommandRegistration read("read", "connect to an OD source and print readings",
                                  runReadCommand);
} // namespace
