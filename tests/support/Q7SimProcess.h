// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Subprocess.h"

#include <string>
#include <vector>

// Runs the photometer simulator as a child process for the length of a test.
class Q7SimProcess {
public:
    explicit Q7SimProcess(const std::vector<std::string>& arguments,
                          const std::map<std::string, std::string>& environment = {});

    // The terminal or socket path the simulator announced first.
    const std::string& devicePath() const { return firstLine_; }
    // Waits (bounded) for the next announced line, e.g. the new terminal after a hang-up.
    std::string nextLine(int timeoutMilliseconds = 5000) {
        return process_.nextLine(timeoutMilliseconds);
    }
    void stop();
    // A signal of the test's choosing: SIGKILL for a device that vanishes, SIGSTOP/SIGCONT for
    // one that freezes and comes back.
    void signal(int number) { process_.signal(number); }
    int wait(int timeoutMilliseconds = 10000) { return process_.wait(timeoutMilliseconds); }
    // What the simulator wrote to its standard error (the trace, with --verbose).
    std::string trace() const { return process_.errorOutput(); }

    static std::string executable() { return NEPHODAR_PROGRAM_DIR "/q7sim"; }

private:
    Subprocess process_;
    std::string firstLine_;
};
