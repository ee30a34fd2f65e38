// SPDX-License-Identifier: GPL-3.0-or-later
// The workstation's start-up time beyond its seventeen mandated 500 ms pauses, and the
// process's peak memory after a 1000-sample "Sim0" measurement at the shortest interval,
// with every window created and the chart drawn after each sample.
#include "BenchTarget.h"
#include "EngineFakes.h"
#include "FakeSleeper.h"
#include "LiveChart.h"
#include "TempDirectory.h"
#include "WindowSet.h"
#include "ui_TWorkForm.h"

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <qcustomplot.h>
#include <string>

namespace {

long peakResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    const auto processStart = std::chrono::steady_clock::now();
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    TempDirectory temp;
    setenv("XDG_CONFIG_HOME", temp.path("config").c_str(), 1);
    unsetenv("ALLUSERSPROFILE");
    std::filesystem::create_directories(temp.path("program"));
    for (const char* sub : {"Objects", "buttons", "Templates"})
        std::filesystem::copy(std::string(NEPHODAR_PROGRAM_DIR) + "/" + sub,
                              temp.path(std::string("program/") + sub),
                              std::filesystem::copy_options::recursive);
    const QString program = QString::fromStdString(temp.path("program"));

    FakeClock clock;
    FakeSleeper pauses;
    SilentTonePlayer tones;
    ScriptedPrompts prompts;
    const auto start = std::chrono::steady_clock::now();
    MeasurementEngine engine(program, clock, tones, prompts);
    WindowSet windows(engine, prompts, tones, program, {});
    TWorkForm& main = windows.mainWindow();
    main.show();
    if (!main.initialise(pauses))
        return 1;
    QApplication::processEvents();
    const auto ready = std::chrono::steady_clock::now();
    const double startupMs = std::chrono::duration<double, std::milli>(ready - start).count();
    const double withProcessMs =
        std::chrono::duration<double, std::milli>(ready - processStart).count();

    main.connectCommand();
    engine.setInterval(1);
    main.form().StartButton->click();
    TickDriver driver(engine, clock);
    while (engine.runState() == MeasurementEngine::RunState::Running && driver.untilNextSample()) {
        main.chart().plot()->replot();
        QApplication::processEvents();
    }
    const long peak = peakResidentKilobytes();

    std::printf("start-up: %.1f ms beyond the 17 pauses of 500 ms (%.1f ms from process start)\n",
                startupMs, withProcessMs);
    std::printf("memory: peak %.1f MB after %d samples at the shortest interval\n", peak / 1024.0,
                engine.sampleNumber());
    BenchTarget::below("start-up: ms from process start", withProcessMs, 1000);
    BenchTarget::below("memory: peak MB", peak / 1024.0, 150);
    engine.shutDown();
    return BenchTarget::exitStatus();
}
