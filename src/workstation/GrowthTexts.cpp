#include "GrowthTexts.h"

#include "DisplayFormats.h"

namespace GrowthTexts {

std::vector<std::pair<QString, QString>> lines(const GrowthAnalysis::Result& result) {
    if (!result.growing)
        return {{QStringLiteral("growth rate"), QStringLiteral("no growth")}};
    using DisplayFormats::elapsedText;
    return {
        // QString::number keeps the point whatever the desktop's locale.
        {QStringLiteral("growth rate"),
         QString::number(result.maxRatePerHour, 'f', 3) + QStringLiteral(" /h")},
        {QStringLiteral("doubling time"), elapsedText(result.doublingMinutes)},
        {QStringLiteral("growth stretch"), elapsedText(result.stretchStartMinutes) +
                                               QStringLiteral(" to ") +
                                               elapsedText(result.stretchEndMinutes)},
        {QStringLiteral("lag time"),
         result.lagMinutes ? elapsedText(*result.lagMinutes) : QStringLiteral("unknown")},
    };
}

QString joined(const GrowthAnalysis::Result& result, const QString& separator) {
    QStringList texts;
    for (const auto& [name, value] : lines(result))
        texts << name + QStringLiteral(": ") + value;
    return texts.join(separator);
}

} // namespace GrowthTexts
