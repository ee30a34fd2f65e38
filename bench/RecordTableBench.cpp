// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of storing one sample and handing the new row to the chart side, early in a run
// (row 10) and late (row 1000): the per-sample work must not grow with the table.
#include "BenchStatistics.h"
#include "BenchTarget.h"
#include "TempDirectory.h"
#include "workstation/RecordTable.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

RecordRow sample(int number) {
    RecordRow row;
    row.allTime = QTime(0, 0).addSecs(number * 3);
    row.number = number;
    row.minutes = number * 0.05;
    row.od = 0.001 * number;
    row.startTime = QTime(9, 0);
    row.startDate = QDate(2026, 12, 10);
    row.title = QStringLiteral("Benchmark culture");
    row.timeS = QStringLiteral("0:00");
    row.calcOd = row.od;
    return row;
}

struct Timing {
    double append = 0;  // ms, median
    double visible = 0; // ms, median: append plus the chart side's read of the new row
};

// Runs measurements as the sampling cycle does, one durable append and one chart read per
// sample, and keeps the times of the samples around two row numbers.
void measure(const QString& program, int runs, int window, std::vector<double> (&appends)[2],
             std::vector<double> (&totals)[2]) {
    const int around[2] = {10, 1000};
    for (int run = 0; run < runs; ++run) {
        auto table = RecordTable::openWorking(program);
        table->empty();
        sqlite3_int64 lastRowId = 0;
        table->chartRowsSince(lastRowId);
        for (int row = 1; row <= around[1] + window; ++row) {
            const auto start = Clock::now();
            table->append(sample(row - 1));
            const auto appended = Clock::now();
            const auto rows = table->chartRowsSince(lastRowId);
            const auto end = Clock::now();
            if (rows.size() != 1)
                std::fprintf(stderr, "unexpected row count %zu\n", rows.size());
            for (int k = 0; k < 2; ++k) {
                if (std::abs(row - around[k]) <= window) {
                    appends[k].push_back(
                        std::chrono::duration<double, std::milli>(appended - start).count());
                    totals[k].push_back(
                        std::chrono::duration<double, std::milli>(end - start).count());
                }
            }
        }
    }
}

} // namespace

int main() {
    TempDirectory temp;
    const QString program = QString::fromStdString(temp.path());
    constexpr int runs = 5;
    constexpr int window = 9; // rows 1..19 and 991..1009
    std::vector<double> appends[2], totals[2];
    measure(program, runs, window, appends, totals);
    const Timing early{median(appends[0]), median(totals[0])};
    const Timing late{median(appends[1]), median(totals[1])};
    std::printf("record table: one append (durable commit), median over %d runs: %.3f ms at row "
                "10, %.3f ms at row 1000\n",
                runs, early.append, late.append);
    std::printf("record table: append + visible to the chart: %.3f ms at row 10, %.3f ms at row "
                "1000\n",
                early.visible, late.visible);
    BenchTarget::atMost("record table: ratio row 1000 / row 10", late.visible / early.visible, 1.3);
    return BenchTarget::exitStatus();
}
