// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of one sampling tick (a reading from the simulated source, the row append, the
// protocol file, the chart's read of the new row) early in a run and late in it.
#include "BenchProfileStore.h"
#include "BenchStatistics.h"
#include "BenchTarget.h"
#include "EngineFakes.h"
#include "TempDirectory.h"
#include "com/ODSourceSimulated.h"
#include "lumo/Logger.h"
#include "settings/IniFile.h"
#include "workstation/MeasurementEngine.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

using WallClock = std::chrono::steady_clock;

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    BenchProfileStore store;
    TempDirectory& temp = store.temp;
    TempDirectory::writeFile(temp.path("program/Templates/Template.txt"), "Lab:\n");
    const QString program = QString::fromStdString(temp.path("program"));

    constexpr int runs = 5;
    constexpr int window = 9;
    const int around[2] = {10, 1000};
    std::vector<double> times[2];
    for (int run = 0; run < runs; ++run) {
        FakeClock fakeClock;
        RecordingTones tones;
        ScriptedPrompts prompts;
        MeasurementEngine engine(program, fakeClock, tones, prompts);
        engine.setSource(std::make_unique<Talvessa::ODSourceSimulated>());
        engine.setQuality(1);
        engine.setInterval(0);
        sqlite3_int64 chartRow = 0;
        TickDriver driver(engine, fakeClock);
        engine.start();
        engine.table().chartRowsSince(chartRow);
        for (int row = 1; row <= around[1] + window; ++row) {
            driver.untilSamplingDue();
            const auto start = WallClock::now();
            driver.tick();
            const auto rows = engine.table().chartRowsSince(chartRow);
            const auto end = WallClock::now();
            if (rows.size() != 1)
                std::fprintf(stderr, "unexpected row count %zu\n", rows.size());
            for (int k = 0; k < 2; ++k)
                if (std::abs(row - around[k]) <= window)
                    times[k].push_back(
                        std::chrono::duration<double, std::milli>(end - start).count());
        }
        prompts.answerYes = false;
        engine.end();
    }
    const double early = median(times[0]);
    const double late = median(times[1]);
    std::printf("sampling tick: median %.3f ms at row 10, %.3f ms at row 1000 (%d runs)\n", early,
                late, runs);
    BenchTarget::atMost("sampling tick: ratio row 1000 / row 10", late / early, 1.3);
    return BenchTarget::exitStatus();
}
