// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTime>
#include <cstdint>

// How the values of one sample are derived and written into its row.
namespace SampleValues {

// Cuts a value toward zero to the given number of decimals, decimally: 0.29 stays 0.29
// although the double below it would truncate to 0.289.
double truncateDecimals(double value, int decimals);

// An OD or CalcOD as stored: below 0.0001 in magnitude it is 0, else cut to 4 decimals.
double storedOd(double value);

// Parts of an elapsed time; milliseconds are ignored.
struct Elapsed {
    std::int64_t days = 0;
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
};
Elapsed splitElapsed(std::int64_t elapsedMilliseconds);

// Column Minutes: (days*24 + hours)*60 + minutes + seconds/60, cut to 3 decimals.
double elapsedMinutes(std::int64_t elapsedMilliseconds);
// Column TimeS: whole hours, ":", two-digit minutes ("26:05").
QString timeSText(std::int64_t elapsedMilliseconds);
// Column AllTime: the elapsed time as a time of day; it wraps after 24 hours.
QTime allTime(std::int64_t elapsedMilliseconds);

} // namespace SampleValues
