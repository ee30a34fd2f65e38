// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommandLine.h"
#include "workstation/WorkingTableLock.h"

#include <QString>
#include <memory>
#include <streambuf>

// What every engine command of nephodar-cli does first: the program directory, the hold of
// its working table (for the commands that write it), the device log's destination and the
// settings profile.
class CliSetup {
public:
    static const std::vector<std::string> options; // --program-dir --profile --log --port

    enum class TableUse { None, Hold };

    // Throws std::runtime_error with a message for the user. A table that another program
    // holds is refused before anything is written, the log and the profile included.
    CliSetup(const CommandLine& line, const std::string& device, TableUse table);
    ~CliSetup();

    QString programDirectory() const;

private:
    std::shared_ptr<WorkingTableLock> tableHold_;
    std::unique_ptr<std::streambuf> logFile_;
};

// A connection failure's text, with the command line's way to another device file added
// where the text points to the profile's [Ports] for one.
std::string withPortOption(const std::string& failure);

// The options CliSetup reads, as help text lines.
extern const char* const cliSetupHelp;
