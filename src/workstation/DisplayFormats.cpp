// SPDX-License-Identifier: GPL-3.0-or-later
#include "DisplayFormats.h"

#include "settings/ProfileFile.h"

#include <QLocale>
#include <cmath>

namespace DisplayFormats {

QString longTimeText(const QTime& time) {
    return time.toString(QStringLiteral("HH:mm:ss"));
}

QString shortDateText(const QDate& date) {
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

// An empty value of a measurement file (NaN) shows as nothing.
QString numberText(double value) {
    return std::isnan(value) ? QString() : QString::fromStdString(IniFile::formatIniFloat(value));
}

QString elapsedText(double minutes) {
    // A file from elsewhere may hold any number: beyond a million years it is no duration, and
    // it would not even fit the count of seconds.
    constexpr double longest = 60.0 * 24 * 366 * 1e6;
    if (!std::isfinite(minutes) || std::fabs(minutes) > longest)
        return QStringLiteral("not a time (%1 minutes)").arg(minutes);
    const long long seconds = std::llround(std::fabs(minutes) * 60);
    return QStringLiteral("%1%2:%3:%4")
        .arg(minutes < 0 && seconds > 0 ? QStringLiteral("-") : QString())
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace DisplayFormats
