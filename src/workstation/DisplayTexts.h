// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstdint>

// Texts the measurement shows, computed here so that windows and the terminal agree.
namespace DisplayTexts {

// The OD and CalcOD displays: 3 decimals, at most 4 significant digits, and a blank.
QString odDisplayText(double value);
// Shown in red below this value.
constexpr double redBelow = -0.004;

// "Running now for": the elapsed time of day, after "1 day " or "N days " once a day passed.
QString runningTimeText(std::int64_t elapsedMilliseconds);

// A number in fixed-point form without decimals, switching to exponent form when it has
// more whole digits than precision allows ("4095", "1.235E+4").
QString wholeNumberText(double value, int precision);

} // namespace DisplayTexts
