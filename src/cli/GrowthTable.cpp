// SPDX-License-Identifier: GPL-3.0-or-later
#include "GrowthTable.h"

#include "workstation/DisplayFormats.h"
#include "workstation/GrowthTexts.h"

#include <QStringList>

namespace GrowthTable {

namespace {

enum Column {
    File,
    Title,
    StartDate,
    StartTime,
    Rows,
    Rate,
    RateLow,
    RateHigh,
    Doubling,
    DoublingShortest,
    DoublingLongest,
    Lag,
    MaximumOD,
    StretchStart,
    StretchEnd,
    StretchReadings,
    RateFrom,
    SecondRise,
    Error,
    ColumnCount
};

} // namespace

Row header() {
    return {QStringLiteral("file"),
            QStringLiteral("title"),
            QStringLiteral("start date"),
            QStringLiteral("start time"),
            QStringLiteral("rows"),
            QStringLiteral("growth rate /h"),
            QStringLiteral("rate 95 % low"),
            QStringLiteral("rate 95 % high"),
            QStringLiteral("doubling time"),
            QStringLiteral("doubling 95 % shortest"),
            QStringLiteral("doubling 95 % longest"),
            QStringLiteral("lag time"),
            QStringLiteral("maximum OD"),
            QStringLiteral("growth stretch start"),
            QStringLiteral("growth stretch end"),
            QStringLiteral("growth stretch readings"),
            QStringLiteral("rate from"),
            QStringLiteral("second rise"),
            QStringLiteral("error")};
}

Row rowOf(const QString& file, const OpenedMeasurement& opened) {
    using DisplayFormats::elapsedText;
    Row row(ColumnCount);
    row[File] = file;
    row[Title] = opened.title;
    row[StartDate] = opened.startDate.toString(Qt::ISODate);
    row[StartTime] = DisplayFormats::longTimeText(opened.startTime);
    row[Rows] = QString::number(opened.rows.size());
    const GrowthAnalysis::Result& growth = opened.growth;
    // The highest OD tells a culture that stayed low from one that was full from the start.
    if (growth.pointsUsed > 0)
        row[MaximumOD] = DisplayFormats::numberText(growth.maximumOd);
    if (!growth.growing) {
        row[Rate] = GrowthTexts::noRateText(growth);
        return row;
    }
    row[Rate] = GrowthTexts::rateNumber(growth.maxRatePerHour);
    if (growth.rateInterval) {
        row[RateLow] = GrowthTexts::rateNumber(growth.rateInterval->low);
        row[RateHigh] = GrowthTexts::rateNumber(growth.rateInterval->high);
    }
    row[Doubling] = elapsedText(growth.doublingMinutes);
    if (const auto range = GrowthTexts::doublingRange(growth)) {
        row[DoublingShortest] = elapsedText(range->shortest);
        if (range->longest)
            row[DoublingLongest] = elapsedText(*range->longest);
    }
    if (growth.lagMinutes)
        row[Lag] = elapsedText(*growth.lagMinutes);
    row[StretchStart] = elapsedText(growth.stretchStartMinutes);
    row[StretchEnd] = elapsedText(growth.stretchEndMinutes);
    if (growth.stretchReadings > 0)
        row[StretchReadings] = QString::number(growth.stretchReadings);
    if (!growth.method.empty())
        row[RateFrom] = GrowthTexts::methodText(growth.method);
    if (growth.secondRiseMinutes)
        row[SecondRise] = elapsedText(*growth.secondRiseMinutes);
    return row;
}

Row failedRow(const QString& file, const QString& reason) {
    Row row(ColumnCount);
    row[File] = file;
    row[Error] = reason;
    return row;
}

QString tabSeparated(const std::vector<Row>& rows) {
    QString text;
    for (const Row& row : rows) {
        QStringList cells;
        for (QString cell : row) {
            for (QChar& c : cell)
                if (c.category() == QChar::Other_Control)
                    c = QLatin1Char(' ');
            cells << cell;
        }
        text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

} // namespace GrowthTable
