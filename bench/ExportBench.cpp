// Text export of a 100 000-row measurement by nephodar-cli against the SQLite shell dumping the
// same table in the same run: the export should cost at most twice the plain dump.
#include "TempDirectory.h"
#include "workstation/RecordTable.h"

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

// The table is filled in one transaction: a measurement's per-sample commits would only make
// the preparation slow.
void fill(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO Record1 (AllTime, Number, Minutes, OD, StartTime, StartDate, "
                       "Title, Note, TimeS, NoteS, CalcOD, SmoothOD) "
                       "VALUES (?,?,?,?,?,?,'Benchmark culture',?,?,?,?,NULL)",
                       -1, &insert, nullptr);
    for (int i = 0; i < rowCount; ++i) {
        const int seconds = i * 3;
        char allTime[16], timeS[16], note[32];
        std::snprintf(allTime, sizeof allTime, "%02d:%02d:%02d", seconds / 3600 % 24,
                      seconds / 60 % 60, seconds % 60);
        std::snprintf(timeS, sizeof timeS, "%d:%02d", seconds / 3600, seconds / 60 % 60);
        const bool noted = i % 100 == 0;
        std::snprintf(note, sizeof note, "[%d] sample taken", i / 100 + 1);
        const double od = static_cast<int>(20000.0 * i / rowCount) / 10000.0;
        sqlite3_bind_text(insert, 1, allTime, -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(insert, 2, i);
        sqlite3_bind_double(insert, 3, static_cast<int>(seconds / 60.0 * 1000) / 1000.0);
        sqlite3_bind_double(insert, 4, od);
        sqlite3_bind_text(insert, 5, "09:05:03", -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 6, "2026-12-10", -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 7, noted ? note : "", -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 8, timeS, -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(insert, 9, noted ? i / 100 + 1 : -5);
        sqlite3_bind_double(insert, 10, od * 1.5 + 0.0123);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

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

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::size_t lineCount(const std::string& path) {
    const std::string content = TempDirectory::readFile(path);
    return static_cast<std::size_t>(std::count(content.begin(), content.end(), '\n'));
}

} // namespace

int main() {
    TempDirectory temp;
    RecordTable::openWorking(QString::fromStdString(temp.path()));
    fill(temp.path("Record1.db"));
    const std::string measurement = temp.path("run.nph");
    RecordTable::openWorking(QString::fromStdString(temp.path()))
        ->snapshotTo(QString::fromStdString(measurement));

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
                "sqlite3 -tabs %.1f ms, ratio %.2f (target <= 2)\n",
                rowCount, runs, exportTime, dumpTime, exportTime / dumpTime);
    return 0;
}
