// SPDX-License-Identifier: GPL-3.0-or-later
#include "Subprocess.h"

#include "Deadline.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;
} // namespace

Subprocess::Subprocess(const std::string& program, const std::vector<std::string>& arguments,
                       const std::map<std::string, std::string>& environment) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    char errorName[] = "/tmp/nephodar-stderr-XXXXXX";
    const int errorFile = mkostemp(errorName, O_CLOEXEC);
    if (errorFile < 0)
        throw std::runtime_error("no file for standard error");
    errorPath_ = errorName;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        dup2(errorFile, STDERR_FILENO);
        for (const auto& [name, value] : environment)
            setenv(name.c_str(), value.c_str(), 1);
        std::vector<std::string> copies{program};
        copies.insert(copies.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& a : copies)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    close(errorFile);
    output_ = pipeEnds[0];
}

Subprocess::~Subprocess() {
    if (pid_ > 0 && status_ < 0) {
        kill(pid_, SIGTERM);
        if (wait(5000) < 0) {
            kill(pid_, SIGKILL);
            wait(5000);
        }
    }
    if (output_ >= 0)
        close(output_);
    unlink(errorPath_.c_str());
}

std::string Subprocess::nextLine(int timeoutMilliseconds) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    while (true) {
        const auto newline = pending_.find('\n');
        if (newline != std::string::npos) {
            std::string line = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            return line;
        }
        if (endOfOutput_)
            return "";
        const int left = millisecondsLeft(deadline);
        if (left == 0)
            return "";
        pollfd entry{output_, POLLIN, 0};
        if (poll(&entry, 1, left) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = read(output_, buffer, sizeof buffer);
        if (n <= 0) {
            endOfOutput_ = true;
            continue;
        }
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string Subprocess::errorOutput() const {
    std::ifstream file(errorPath_);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void Subprocess::signal(int number) {
    if (pid_ > 0 && status_ < 0)
        kill(pid_, number);
}

int Subprocess::wait(int timeoutMilliseconds) {
    if (status_ >= 0)
        return status_;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    do {
        int raw = 0;
        const pid_t done = waitpid(pid_, &raw, WNOHANG);
        if (done == pid_) {
            status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            return status_;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (millisecondsLeft(deadline) > 0);
    return -1;
}
