#pragma once

#include "CommandLine.h"

#include <QString>
#include <memory>
#include <streambuf>

// What every engine command of nephodar-cli does first: the device log's destination, the
// program directory and the settings profile.
class CliSetup {
public:
    static const std::vector<std::string> options; // --program-dir --profile --log --port

    // Throws std::runtime_error with a message for the user.
    CliSetup(const CommandLine& line, const std::string& device);
    ~CliSetup();

    QString programDirectory() const;

private:
    std::unique_ptr<std::streambuf> logFile;
};

// The options CliSetup reads, as help text lines.
extern const char* const cliSetupHelp;
