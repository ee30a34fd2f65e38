// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReportContent.h"

#include "settings/IniFile.h"
#include "workstation/DisplayFormats.h"
#include "workstation/GrowthTexts.h"
#include "workstation/RtfText.h"
#include "workstation/TextFile.h"

#include <algorithm>
#include <cmath>

const QString reportTimeAxisTitle = QStringLiteral("[Time] hhh:mm");

ReportFields reportFields(const OpenedMeasurement& measurement, const QDateTime& printed) {
    ReportFields fields;
    fields.title = measurement.title;
    fields.startDate = DisplayFormats::shortDateText(measurement.startDate);
    fields.startTime = DisplayFormats::longTimeText(measurement.startTime);
    fields.duration = DisplayFormats::longTimeText(measurement.duration);
    // All of it on one line would run off the page: the rate and doubling time, the stretch
    // and lag, then how the rate was found and a second rise.
    const QStringList growth = GrowthTexts::texts(measurement.growth);
    const QString separator = QStringLiteral("   ");
    for (int first = 0; first < growth.size(); first += 2)
        fields.growth << growth.mid(first, 2).join(separator);
    fields.fileLabel = measurement.fileLabel;
    fields.version = QString::fromStdString(IniFile::programVersionText);
    fields.printed = DisplayFormats::shortDateText(printed.date()) + QLatin1Char(' ') +
                     DisplayFormats::longTimeText(printed.time());
    return fields;
}

QString reportPageText(int page) {
    return QStringLiteral("Page ") + QString::number(page);
}

ReportChartSpec reportChart(ReportChart chart, const FlatTest& viewerFlat) {
    ReportChartSpec spec;
    switch (chart) {
    case ReportChart::OD:
        spec.title = QStringLiteral("OD");
        spec.valueAxisTitle = QStringLiteral("[OD]");
        spec.valueAxis = {false, -0.1, 3.0, 0.1, AxisNumberFormat::ThreeDecimals};
        return spec;
    case ReportChart::CalcOD:
        spec.title = QStringLiteral("CalcOD");
        spec.parameter = ChartParameter::CalcOD;
        spec.valueAxisTitle = QStringLiteral("[CalcOD]");
        spec.valueAxis = {false, -10, 60, 5, AxisNumberFormat::UpToThreeDecimals};
        return spec;
    case ReportChart::AutoscaledOD:
    case ReportChart::AutoscaledCalcOD:
        break;
    }
    const bool od = chart == ReportChart::AutoscaledOD;
    spec.title = od ? QStringLiteral("OD (autoscaled)") : QStringLiteral("CalcOD (autoscaled)");
    spec.parameter = od ? ChartParameter::OD : ChartParameter::CalcOD;
    spec.valueAxisTitle = od ? QStringLiteral("[OD]") : QStringLiteral("CalcOD");
    spec.silverGrid = true;
    spec.valueAxis.labelStep = 0.001;
    spec.valueAxis.format = AxisNumberFormat::ThreeDecimals;
    if (viewerFlat.flat) {
        spec.valueAxis.automatic = false;
        spec.valueAxis.minimum = static_cast<double>(viewerFlat.firstValue) - 0.01;
        spec.valueAxis.maximum = static_cast<double>(viewerFlat.firstValue) + 0.01;
    }
    return spec;
}

AxisRange reportDataRange(const std::vector<double>& values, double pad) {
    if (values.empty())
        return {-pad, pad};
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    if (*low == *high)
        return {*low - pad, *high + pad};
    return {*low, *high};
}

double reportLabelStep(double desired, double span, int maxLabels) {
    if (!(desired > 0) || !(span > 0) || maxLabels < 2 || !std::isfinite(span))
        return desired;
    static const double factors[] = {1, 2, 5};
    double decade = 1;
    for (int power = 0; power < 16; ++power, decade *= 10) {
        for (double factor : factors) {
            const double step = desired * factor * decade;
            if (std::floor(span / step + 1e-9) + 1 <= maxLabels)
                return step;
        }
    }
    return span;
}

QString reportAxisNumber(double value, AxisNumberFormat format) {
    QString digits = QString::number(std::fabs(value), 'f', 3);
    const bool zero = digits == QLatin1String("0.000");
    const qsizetype point = digits.indexOf(QLatin1Char('.'));
    QString whole = digits.left(point);
    QString fraction = digits.mid(point + 1);
    for (qsizetype i = whole.size() - 3; i > 0; i -= 3)
        whole.insert(i, QLatin1Char(','));
    if (format == AxisNumberFormat::UpToThreeDecimals) {
        while (fraction.endsWith(QLatin1Char('0')))
            fraction.chop(1);
    }
    QString text = (value < 0 && !zero ? QStringLiteral("-") : QString()) + whole;
    if (!fraction.isEmpty())
        text += QLatin1Char('.') + fraction;
    return text;
}

std::vector<std::pair<double, QString>> reportTimeLabels(const std::vector<RecordRow>& rows,
                                                         double minSpacing) {
    std::vector<std::pair<double, QString>> labels;
    for (const auto& row : rows) {
        if (std::isnan(row.minutes))
            continue;
        if (!labels.empty() &&
            (row.minutes < labels.back().first + minSpacing || row.timeS == labels.back().second))
            continue;
        labels.emplace_back(row.minutes, row.timeS);
    }
    return labels;
}

namespace {

// What a rich-text pane shows of a file: its text, with the line ends of either platform.
QString paneText(const QString& path) {
    QString text = RtfText::read(TextFile::read(path));
    text.remove(QLatin1Char('\r'));
    return text;
}

} // namespace

ReportPanes loadReportPanes(const OpenedMeasurement& measurement) {
    ReportPanes panes;
    try {
        panes.log = paneText(measurement.logPath);
    } catch (const std::exception& e) {
        panes.problems << QString::fromStdString(e.what());
    }
    try {
        panes.statement = paneText(measurement.statementPath);
    } catch (const std::exception& e) {
        panes.problems << QString::fromStdString(e.what());
    }
    return panes;
}
