// SPDX-License-Identifier: GPL-3.0-or-later
#include "DisplayTexts.h"

#include "DisplayFormats.h"
#include "SampleValues.h"

#include <cmath>

namespace DisplayTexts {

namespace {

int wholeDigits(double value) {
    const double magnitude = std::fabs(value);
    return magnitude >= 1 ? static_cast<int>(std::floor(std::log10(magnitude))) + 1 : 0;
}

QString exponentText(double value, int precision) {
    QString text = QString::number(value, 'E', precision - 1); // "1.235E+04"
    const qsizetype e = text.indexOf(QLatin1Char('E'));
    const QChar sign = text.at(e + 1);
    QString exponent = text.mid(e + 2);
    while (exponent.size() > 1 && exponent.startsWith(QLatin1Char('0')))
        exponent.remove(0, 1);
    return text.left(e + 1) +
           (sign == QLatin1Char('-') ? QStringLiteral("-") : QStringLiteral("+")) + exponent;
}

} // namespace

QString odDisplayText(double value) {
    // Rounded to 4 significant digits, but never to more than 3 decimals; padded to 3.
    const int decimals = std::min(3, 4 - wholeDigits(value));
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(value * scale) / scale;
    QString text = QString::number(rounded == 0 ? 0.0 : rounded, 'f', 3);
    return text + QLatin1Char(' ');
}

QString runningTimeText(std::int64_t elapsedMilliseconds) {
    const auto parts = SampleValues::splitElapsed(elapsedMilliseconds);
    QString time = DisplayFormats::longTimeText(SampleValues::allTime(elapsedMilliseconds));
    if (parts.days < 1)
        return time;
    if (parts.days == 1)
        return QStringLiteral("1 day ") + time;
    return QString::number(parts.days) + QStringLiteral(" days ") + time;
}

QString wholeNumberText(double value, int precision) {
    // The digits the value has once rounded to a whole number: 9999.5 shows as 10000, five.
    if (wholeDigits(std::round(value)) > precision)
        return exponentText(value, precision);
    return QString::number(value, 'f', 0);
}

} // namespace DisplayTexts
