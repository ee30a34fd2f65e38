// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

// A child process with its standard output read line by line and its standard error kept in
// a file; ended (SIGTERM, then waited for) when the object goes.
class Subprocess {
public:
    Subprocess(const std::string& program, const std::vector<std::string>& arguments,
               const std::map<std::string, std::string>& environment = {});
    ~Subprocess();
    Subprocess(const Subprocess&) = delete;
    Subprocess& operator=(const Subprocess&) = delete;

    // The next line of standard output; empty when none came within the time or the output
    // ended (see ended()).
    std::string nextLine(int timeoutMilliseconds = 5000);
    bool outputEnded() const { return endOfOutput_; }
    // Everything written to standard error so far.
    std::string errorOutput() const;

    void signal(int number);
    // Waits for the exit and returns the exit status (128 + signal when killed), or -1 when
    // the process is still running after the time.
    int wait(int timeoutMilliseconds = 10000);
    pid_t id() const { return pid_; }

private:
    pid_t pid_ = -1;
    int output_ = -1;
    int status_ = -1;
    bool endOfOutput_ = false;
    std::string pending_;
    std::string errorPath_;
};
