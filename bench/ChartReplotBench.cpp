// SPDX-License-Identifier: GPL-3.0-or-later
// The chart's work after one new sample (the new row read, the axis window, the newest mark
// and a full redraw) with 10 points shown and with 1000: it must not grow with the run.
#include "BenchTarget.h"
#include "LiveChart.h"
#include "TempDirectory.h"
#include "workstation/RecordTable.h"

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <qcustomplot.h>

namespace {

RecordRow sample(int number) {
    RecordRow row;
    row.number = number;
    row.minutes = number * 0.5;
    row.od = 2.0 / (1.0 + std::exp(-0.01 * (number - 500)));
    row.calcOd = row.od;
    row.timeS = QStringLiteral("0:00");
    return row;
}

double medianReplot(RecordTable& table, LiveChart& chart, int shown, int repetitions) {
    table.empty();
    for (int i = 0; i < shown - 1; ++i)
        table.append(sample(i));
    chart.clearSeries();
    chart.appendNewRows(AxisWindow{}, true);
    chart.plot()->replot();
    std::vector<double> times;
    for (int r = 0; r < repetitions; ++r) {
        table.append(sample(shown - 1 + r));
        const auto start = std::chrono::steady_clock::now();
        AxisWindow window;
        window.changeLeft = true;
        window.leftAutomatic = true;
        chart.appendNewRows(window, true);
        chart.updateLastValueMark(true, false, sample(shown - 1 + r).minutes, 0.5, 0.5);
        chart.plot()->replot(QCustomPlot::rpImmediateRefresh);
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    TempDirectory temp;
    auto table = RecordTable::openWorking(QString::fromStdString(temp.path()));
    LiveChart chart(*table);
    chart.resize(900, 600);
    chart.show();
    chart.setShowLabels(true);
    QApplication::processEvents();
    const double few = medianReplot(*table, chart, 10, 31);
    const double many = medianReplot(*table, chart, 1000, 31);
    std::printf("chart: one new sample with 10 points shown %.3f ms, with 1000 points %.3f ms\n",
                few, many);
    BenchTarget::atMost("chart: ratio 1000 / 10", many / few, 3);
    return BenchTarget::exitStatus();
}
