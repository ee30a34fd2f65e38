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
    const std::string& devicePath() const { return firstLine; }
    // Waits (bounded) for the next announced line, e.g. the new terminal after a hang-up.
    std::string nextLine(int timeoutMilliseconds = 5000) { return process.nextLine(timeoutMilliseconds); }
    void stop();
    // What the simulator wrote to its standard error (the trace, with --verbose).
    std::string trace() const { return process.errorOutput(); }

    static std::string executable() { return NEPHODAR_PROGRAM_DIR "/q7sim"; }

private:
    Subprocess process;
    std::string firstLine;
};
