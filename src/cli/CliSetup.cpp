// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliSetup.h"

#include "com/SerialPortResolver.h"
#include "lumo/Logger.h"
#include "lumo/ProgramDirectory.h"
#include "settings/IniFile.h"

#include <fstream>
#include <iostream>

const std::vector<std::string> CliSetup::options = {"--program-dir", "--profile", "--log",
                                                    "--port"};

const char* const cliSetupHelp =
    R"(  --port PATH         device path of a Com type for this run; otherwise the profile's
                      section "Ports" (Com1=/dev/ttyUSB0) or /dev/ttyS<N-1>
  --profile NAME      settings profile to use (default "Default")
  --program-dir DIR   program directory: working table, templates, auto-save
                      (default: the environment variable NEPHODAR_PROGRAM_DIR, else
                      ~/.local/share/nephodar ($XDG_DATA_HOME/nephodar) for a program
                      installed under /usr, else the directory of this program)
  --log FILE          write the device log to FILE ("-" for standard error)
)";

namespace {
// Where the log goes when nobody asked for it.
class DiscardBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return c == traits_type::eof() ? 0 : c; }
};
} // namespace

CliSetup::CliSetup(const CommandLine& line, const std::string& device, TableUse table) {
    if (line.has("--program-dir"))
        Talvessa::setProgramDirectory(line.text("--program-dir"));
    if (table == TableUse::Hold)
        tableHold_ = WorkingTableLock::acquire(programDirectory());
    const std::string target = line.text("--log");
    if (target == "-") {
        Talvessa::setLogStream(std::cerr.rdbuf());
    } else if (!target.empty()) {
        auto file = std::make_unique<std::filebuf>();
        if (!file->open(target, std::ios::out | std::ios::trunc))
            throw std::runtime_error("Can't write the log file '" + target + "'.");
        logFile_ = std::move(file);
        Talvessa::setLogStream(logFile_.get());
    } else {
        logFile_ = std::make_unique<DiscardBuffer>();
        Talvessa::setLogStream(logFile_.get());
    }
    IniFile::openProfile(line.text("--profile", "Default"), "Nephodar", "Talvessa");
    if (line.has("--port")) {
        const std::string path = line.text("--port");
        Talvessa::setSerialPortLookup(
            [device, path](const std::string& type) { return type == device ? path : ""; });
    }
}

CliSetup::~CliSetup() {
    Talvessa::getLogStream().flush();
}

QString CliSetup::programDirectory() const {
    return QString::fromStdString(Talvessa::getProgramDirectory());
}

std::string withPortOption(const std::string& failure) {
    if (failure.find("[Ports]") == std::string::npos)
        return failure;
    return failure + "\nFor this run alone, give the device file with --port PATH.";
}
