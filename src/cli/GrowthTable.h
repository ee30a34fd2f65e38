// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "workstation/OpenedMeasurement.h"

#include <QString>
#include <vector>

// The table of nephodar-cli growth: one row per measurement file, every cell a text as the
// other growth texts word it (times HH:MM:SS, numbers with a point), empty where a value does
// not apply.
namespace GrowthTable {

using Row = std::vector<QString>;

Row header();
// A file that opened: its title, start, rows and growth, or "no growth" under the rate.
Row rowOf(const QString& file, const OpenedMeasurement& opened);
// A file that could not be read: its name and why, in the last column.
Row failedRow(const QString& file, const QString& reason);

// Tab-separated lines for a terminal or a script: every row stays one line, its tabs, line
// ends and other control characters turned into blanks.
QString tabSeparated(const std::vector<Row>& rows);

} // namespace GrowthTable
