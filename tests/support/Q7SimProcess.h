#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// Runs the photometer simulator as a child process for the length of a test.
class Q7SimProcess {
public:
    explicit Q7SimProcess(const std::vector<std::string>& arguments);
    ~Q7SimProcess();
    Q7SimProcess(const Q7SimProcess&) = delete;
    Q7SimProcess& operator=(const Q7SimProcess&) = delete;

    // The terminal path the simulator announced first.
    const std::string& devicePath() const { return firstLine; }
    // Waits (bounded) for the next announced line, e.g. the new terminal after a hang-up.
    std::string nextLine(int timeoutMilliseconds = 5000);
    void stop();
    // What the simulator wrote to its standard error (the trace, with --verbose).
    std::string trace() const;

    static std::string executable();

private:
    pid_t pid = -1;
    int output = -1;
    std::string pending;
    std::string firstLine;
    std::string tracePath;
};
