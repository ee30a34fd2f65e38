// SPDX-License-Identifier: GPL-3.0-or-later
#include "GrowthTexts.h"

#include "DisplayFormats.h"

#include <cmath>

namespace GrowthTexts {

using DisplayFormats::elapsedText;

// QString::number keeps the point whatever the desktop's locale.
QString rateNumber(double perHour) {
    return QString::number(perHour, 'f', 3);
}

QString rateText(const GrowthAnalysis::Result& result) {
    QString text = rateNumber(result.maxRatePerHour) + QStringLiteral(" /h");
    if (result.rateInterval)
        text += QStringLiteral(" (95 %: ") + rateNumber(result.rateInterval->low) +
                QStringLiteral(" to ") + rateNumber(result.rateInterval->high) + QLatin1Char(')');
    return text;
}

std::optional<DoublingRange> doublingRange(const GrowthAnalysis::Result& result) {
    if (const auto interval = result.doublingIntervalMinutes();
        interval && std::isfinite(interval->second))
        return DoublingRange{interval->first, interval->second};
    if (result.rateInterval && result.rateInterval->high > 0)
        return DoublingRange{std::log(2.0) / result.rateInterval->high * 60, std::nullopt};
    return std::nullopt;
}

QString doublingText(const GrowthAnalysis::Result& result) {
    QString text = elapsedText(result.doublingMinutes);
    const auto range = doublingRange(result);
    if (!range)
        return text;
    text += QStringLiteral(" (") + elapsedText(range->shortest);
    return text +
           (range->longest ? QStringLiteral(" to ") + elapsedText(*range->longest)
                           : QStringLiteral(" or longer")) +
           QLatin1Char(')');
}

QString methodText(const std::string& method) {
    if (method == "window")
        return QStringLiteral("steepest window");
    return QString::fromStdString(method) + QStringLiteral(" fit");
}

QString readingsText(const GrowthAnalysis::Result& result) {
    QString text =
        QString::number(result.stretchReadings) +
        (result.stretchReadings == 1 ? QStringLiteral(" reading") : QStringLiteral(" readings"));
    if (result.fewReadingsInStretch())
        text += QStringLiteral(", few readings in the growth phase");
    return text;
}

QString stretchText(const GrowthAnalysis::Result& result, Detail detail) {
    QString text = elapsedText(result.stretchStartMinutes) + QStringLiteral(" to ") +
                   elapsedText(result.stretchEndMinutes);
    if (result.stretchReadings > 0 && detail == Detail::Full)
        text += QStringLiteral(" (") + readingsText(result) + QLatin1Char(')');
    return text;
}

QString secondRiseText(const GrowthAnalysis::Result& result) {
    return QStringLiteral("from ") + elapsedText(result.secondRiseMinutes.value_or(0)) +
           QStringLiteral("; the figures are of the first rise");
}

QString caution(const GrowthAnalysis::Result& result) {
    QStringList cautions;
    if (result.fewReadingsInStretch() && result.stretchReadings > 0)
        cautions << QStringLiteral("few readings in the growth phase");
    if (result.growing && result.secondRiseMinutes)
        cautions << QStringLiteral("second rise ") + secondRiseText(result);
    return cautions.join(QStringLiteral("; "));
}

QString noRateText(const GrowthAnalysis::Result& result) {
    return result.reason.empty()
               ? QStringLiteral("no growth")
               : QStringLiteral("not known: ") + QString::fromStdString(result.reason);
}

std::vector<std::pair<QString, QString>> lines(const GrowthAnalysis::Result& result,
                                               Detail detail) {
    if (!result.growing)
        return {{QStringLiteral("growth rate"), noRateText(result)}};
    const bool full = detail == Detail::Full;
    std::vector<std::pair<QString, QString>> texts = {
        {QStringLiteral("growth rate"), rateText(result)},
        {QStringLiteral("doubling time"),
         full ? doublingText(result) : elapsedText(result.doublingMinutes)},
        {QStringLiteral("growth stretch"), stretchText(result, detail)},
        {QStringLiteral("lag time"),
         result.lagMinutes ? elapsedText(*result.lagMinutes) : QStringLiteral("unknown")},
    };
    if (full && !result.method.empty())
        texts.emplace_back(QStringLiteral("rate from"), methodText(result.method));
    if (full && result.secondRiseMinutes)
        texts.emplace_back(QStringLiteral("second rise"), secondRiseText(result));
    return texts;
}

QStringList texts(const GrowthAnalysis::Result& result, Detail detail) {
    QStringList texts;
    for (const auto& [name, value] : lines(result, detail))
        texts << name + QStringLiteral(": ") + value;
    return texts;
}

QString joined(const GrowthAnalysis::Result& result, const QString& separator, Detail detail) {
    return texts(result, detail).join(separator);
}

} // namespace GrowthTexts
