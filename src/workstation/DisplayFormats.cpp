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
    const long long seconds = std::llround(minutes * 60);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace DisplayFormats
