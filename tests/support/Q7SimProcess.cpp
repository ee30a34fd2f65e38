#include "Q7SimProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

Q7SimProcess::Q7SimProcess(const std::vector<std::string>& arguments) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    char traceName[] = "/tmp/q7sim-trace-XXXXXX";
    const int traceFile = mkostemp(traceName, O_CLOEXEC);
    if (traceFile < 0)
        throw std::runtime_error("no trace file");
    tracePath = traceName;
    pid = fork();
    if (pid == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        dup2(traceFile, STDERR_FILENO);
        std::vector<char*> argv;
        std::string program = executable();
        argv.push_back(program.data());
        std::vector<std::string> copies(arguments);
        for (auto& a : copies)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    close(traceFile);
    output = pipeEnds[0];
    firstLine = nextLine();
    if (firstLine.empty())
        throw std::runtime_error("q7sim announced no terminal");
}

Q7SimProcess::~Q7SimProcess() {
    stop();
    if (output >= 0)
        close(output);
    unlink(tracePath.c_str());
}

std::string Q7SimProcess::trace() const {
    std::ifstream file(tracePath);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string Q7SimProcess::executable() { return NEPHODAR_PROGRAM_DIR "/q7sim"; }

std::string Q7SimProcess::nextLine(int timeoutMilliseconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    while (true) {
        const auto newline = pending.find('\n');
        if (newline != std::string::npos) {
            std::string line = pending.substr(0, newline);
            pending.erase(0, newline + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0)
            return "";
        pollfd entry{output, POLLIN, 0};
        if (poll(&entry, 1, static_cast<int>(left)) <= 0)
            continue;
        char buffer[256];
        const ssize_t n = read(output, buffer, sizeof buffer);
        if (n <= 0)
            return "";
        pending.append(buffer, static_cast<std::size_t>(n));
    }
}

void Q7SimProcess::stop() {
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    pid = -1;
}
