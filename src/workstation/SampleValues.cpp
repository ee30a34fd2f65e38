// SPDX-License-Identifier: GPL-3.0-or-later
#include "SampleValues.h"

#include <charconv>
#include <cmath>
#include <string>

namespace SampleValues {

double truncateDecimals(double value, int decimals) {
    if (!std::isfinite(value))
        return value;
    // The value's 15 significant digits as text, cut after the wanted decimals: the cut is
    // made on the decimal number the user sees, not on its binary neighbour.
    const double magnitude = std::fabs(value);
    const int integerDigits =
        magnitude >= 1 ? static_cast<int>(std::floor(std::log10(magnitude))) + 1 : 1;
    const int precision = std::max(decimals, 15 - integerDigits);
    char buffer[400];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
    if (error != std::errc())
        return std::trunc(value * std::pow(10.0, decimals)) / std::pow(10.0, decimals);
    std::string text(buffer, end);
    const auto point = text.find('.');
    if (point != std::string::npos)
        text.resize(decimals > 0 ? point + 1 + static_cast<std::size_t>(decimals) : point);
    double result = 0;
    std::from_chars(text.data(), text.data() + text.size(), result);
    return result == 0 ? 0.0 : result; // no negative zero in a row
}

double storedOd(double value) {
    if (std::fabs(value) < 0.0001)
        return 0.0;
    return truncateDecimals(value, 4);
}

Elapsed splitElapsed(std::int64_t elapsedMilliseconds) {
    // A clock set back during a run must not give negative times.
    const std::int64_t totalSeconds = std::max<std::int64_t>(0, elapsedMilliseconds) / 1000;
    Elapsed e;
    e.days = totalSeconds / 86400;
    e.hours = static_cast<int>(totalSeconds / 3600 % 24);
    e.minutes = static_cast<int>(totalSeconds / 60 % 60);
    e.seconds = static_cast<int>(totalSeconds % 60);
    return e;
}

double elapsedMinutes(std::int64_t elapsedMilliseconds) {
    const Elapsed e = splitElapsed(elapsedMilliseconds);
    const double minutes =
        static_cast<double>((e.days * 24 + e.hours) * 60 + e.minutes) + e.seconds / 60.0;
    return truncateDecimals(minutes, 3);
}

QString timeSText(std::int64_t elapsedMilliseconds) {
    const Elapsed e = splitElapsed(elapsedMilliseconds);
    return QString::number(e.days * 24 + e.hours) + ":" +
           QString::number(e.minutes).rightJustified(2, '0');
}

QTime allTime(std::int64_t elapsedMilliseconds) {
    const Elapsed e = splitElapsed(elapsedMilliseconds);
    return QTime(e.hours, e.minutes, e.seconds);
}

} // namespace SampleValues
