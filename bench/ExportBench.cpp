// SPDX-License-Identifier: GPL-3.0-or-later
// Text export of a 100 000-row measurement by nephodar-cli against the SQLite shell dumping the
// same table in the same run: the export should cost at most twice the plain dump.
#include "BenchMeasurement.h"
#include "BenchStatistics.h"
#include "BenchTarget.h"

#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int rowCount = 100000;
constexpr int runs = 5;

// Runs a program with its standard output going to a file; the wall time in milliseconds, or a
// negative value when it failed.
double timedRun(const std::vector<std::string>& command, const std::string& output) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        std::vector<char*> arguments;
        for (const auto& part : command)
            arguments.push_back(const_cast<char*>(part.c_str()));
        arguments.push_back(nullptr);
        execvp(arguments[0], arguments.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return std::chrono::duration<double, std::milli>(end - start).count();
}

std::size_t lineCount(const std::string& path) {
    const std::string content = TempDirectory::readFile(path);
    return static_cast<std::size_t>(std::count(content.begin(), content.end(), '\n'));
}

} // namespace

int main() {
    TempDirectory temp;
    const std::string measurement = BenchMeasurement::write(temp, "run", rowCount, [](int i) {
        return BenchMeasurement::Sample{i * 3.0,
                                        static_cast<int>(20000.0 * i / rowCount) / 10000.0};
    });

    const std::vector<std::string> exportCommand = {NEPHODAR_PROGRAM_DIR "/nephodar-cli", "export",
                                                    measurement, "--tsv", temp.path("run.dat")};
    const std::vector<std::string> dumpCommand = {"sqlite3", "-tabs", measurement,
                                                  "select * from Record1"};
    std::vector<double> exports, dumps;
    for (int run = 0; run < runs; ++run) {
        exports.push_back(timedRun(exportCommand, "/dev/null"));
        dumps.push_back(timedRun(dumpCommand, temp.path("dump.tsv")));
    }
    if (*std::min_element(exports.begin(), exports.end()) < 0 ||
        *std::min_element(dumps.begin(), dumps.end()) < 0) {
        std::fprintf(stderr, "export bench: a command failed (is sqlite3 installed?)\n");
        return 1;
    }
    if (lineCount(temp.path("run.dat")) != rowCount + 1 ||
        lineCount(temp.path("dump.tsv")) != rowCount) {
        std::fprintf(stderr, "export bench: unexpected line counts\n");
        return 1;
    }
    const double exportTime = median(exports);
    const double dumpTime = median(dumps);
    std::printf("text export of %d rows, median of %d runs: nephodar-cli export %.1f ms, "
                "sqlite3 -tabs %.1f ms\n",
                rowCount, runs, exportTime, dumpTime);
    BenchTarget::atMost("text export: ratio to sqlite3 -tabs", exportTime / dumpTime, 2);
    return BenchTarget::exitStatus();
}
