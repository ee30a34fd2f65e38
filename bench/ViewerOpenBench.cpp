// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a 100 000-row measurement: the time for `nephodar-cli info` and for the viewer's
// open (reading the file, the curve, the flat test, the notes) up to the first drawn chart.
#include "EngineFakes.h"
#include "Subprocess.h"
#include "TWorkForm.h"
#include "TempDirectory.h"
#include "ViewerPage.h"
#include "lumo/Logger.h"
#include "settings/IniFile.h"

#include <QApplication>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <qcustomplot.h>
#include <sstream>

namespace {

using WallClock = std::chrono::steady_clock;

double millisecondsSince(WallClock::time_point start) {
    return std::chrono::duration<double, std::milli>(WallClock::now() - start).count();
}

// A measurement file of n rows, written in one transaction.
QString makeMeasurement(const QString& directory, int n) {
    { RecordTable::openWorking(directory); }
    const QString file = directory + QStringLiteral("/Record1.db");
    SqliteDatabase db(file, SqliteDatabase::Mode::ReadWrite);
    db.execute("BEGIN");
    auto insert = db.prepare("INSERT INTO Record1 VALUES (?,?,?,?,'08:15:00','2026-12-10',"
                             "'Bench run','',?,?,?,NULL)");
    for (int i = 0; i < n; ++i) {
        const double od = 2.0 / (1.0 + std::exp(-0.0001 * (i - n / 2)));
        insert.bind(1, QStringLiteral("00:00:00"))
            .bind(2, static_cast<double>(i))
            .bind(3, i * 0.05)
            .bind(4, od)
            .bind(5, QStringLiteral("0:00"))
            .bind(6, i % 1000 == 0 ? 1.0 : -5.0)
            .bind(7, od)
            .run();
    }
    db.execute("COMMIT");
    return file;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    TempDirectory temp;
    setenv("XDG_CONFIG_HOME", temp.path("config").c_str(), 1);
    std::ostringstream log;
    Talvessa::setLogStream(log.rdbuf());
    IniFile::openProfile("Default", "Nephodar", "Talvessa");
    QDir().mkpath(QString::fromStdString(temp.path("program/Templates")));
    QDir().mkpath(QString::fromStdString(temp.path("data")));
    const QString file = makeMeasurement(QString::fromStdString(temp.path("data")), 100000);

    auto start = WallClock::now();
    Subprocess info(NEPHODAR_PROGRAM_DIR "/nephodar-cli", {"info", file.toStdString()});
    while (!info.nextLine(20000).empty()) {
    }
    info.wait(20000);
    const double infoMs = millisecondsSince(start);

    FakeClock clock;
    SilentTonePlayer tones;
    ScriptedPrompts prompts;
    MeasurementEngine engine(QString::fromStdString(temp.path("program")), clock, tones, prompts);
    TWorkForm window(engine, prompts, QString::fromStdString(temp.path("program")), {});
    window.resize(1100, 720);
    window.show();
    window.showPage(TWorkForm::Page::Viewer);
    QApplication::processEvents();
    start = WallClock::now();
    const bool opened = window.viewer().openFile(file);
    window.viewer().chart()->replot(QCustomPlot::rpImmediateRefresh);
    const double viewerMs = millisecondsSince(start);

    std::printf("info on 100000 rows: %.1f ms\n", infoMs);
    std::printf("viewer open of 100000 rows (load + first draw): %.1f ms%s\n", viewerMs,
                opened ? "" : " (failed)");
    return 0;
}
