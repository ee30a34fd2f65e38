#include "ReadCommand.h"

#include "CommandLine.h"
#include "com/ODSourceFactory.h"
#include "com/SerialPortResolver.h"
#include "lumo/Logger.h"
#include "lumo/ProgramDirectory.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"

#include <fstream>
#include <iostream>
#include <memory>

namespace {

const char* const readHelp =
    R"(Usage: nephodar-cli read --device TYPE [OPTION]...
Connects to an OD source and prints readings, one line each: the reading's number and its OD.
Use it to check that a photometer answers before a measurement.

  --device TYPE       connection type: Com1, Com2, ... (serial port), Sim1, Sim2, ...
                      (device simulator on a local socket) or Sim0 (built-in simulation)
  --port PATH         device path of a Com type for this run; otherwise the profile's
                      section "Ports" (Com1=/dev/ttyUSB0) or /dev/ttyS<N-1>
  --count N           number of readings (default 10)
  --profile NAME      settings profile to use (default "Default")
  --program-dir DIR   program directory (default: the directory of this program)
  --log FILE          write the device log to FILE ("-" for standard error)
  --help              show this text
)";

} // namespace

int runReadCommand(int argc, char** argv) {
    const CommandLine options(argc, argv, 2,
                              {"--device", "--port", "--count", "--profile", "--program-dir",
                               "--log"},
                              {"--help"});
    if (options.has("--help")) {
        std::cout << readHelp;
        return 0;
    }
    if (!options.has("--device"))
        throw std::invalid_argument("--device is required");
    const std::string device = options.text("--device");
    const long count = options.number("--count", 10, 1, 1000000);

    // The log has to go somewhere; without --log it is dropped.
    std::unique_ptr<std::ofstream> logFile;
    std::streambuf* logBuffer = nullptr;
    const std::string logTarget = options.text("--log");
    if (logTarget == "-") {
        logBuffer = std::cerr.rdbuf();
    } else if (!logTarget.empty()) {
        logFile = std::make_unique<std::ofstream>(logTarget);
        if (!*logFile)
            throw std::runtime_error("Can't write the log file '" + logTarget + "'.");
        logBuffer = logFile->rdbuf();
    }
    static std::ofstream discard;
    Talvessa::setLogStream(logBuffer ? logBuffer : discard.rdbuf());

    if (options.has("--program-dir"))
        Talvessa::setProgramDirectory(options.text("--program-dir"));
    IniFile::openProfile(options.text("--profile", "Default"), "Nephodar", "Talvessa");
    if (options.has("--port")) {
        const std::string path = options.text("--port");
        Talvessa::setSerialPortLookup(
            [device, path](const std::string& type) { return type == device ? path : ""; });
    }

    auto source = Talvessa::createODSource(device, 6);
    const auto& bright = IniFile::keys::LedBright;
    source->setLedBrightness(IniFile::getIniFile().readInteger(bright.section, bright.key, 0));
    for (long i = 1; i <= count; ++i)
        std::cout << i << "\t" << source->value() << std::endl;
    return 0;
}
