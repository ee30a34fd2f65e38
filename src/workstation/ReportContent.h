// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "workstation/ChartWindow.h"
#include "workstation/OpenedMeasurement.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

// What the printed report of a saved measurement says, apart from how it is drawn: the field
// texts, the four charts' axis rules and the two texts of the last page.

// The texts of the title page's fields and of the page footer.
struct ReportFields {
    QString title;     // QRLabel10
    QString startDate; // QRLabel9
    QString startTime; // QRLabel5
    QString duration;  // QRLabel17: less than a day, so written as a time of day
    // The growth analysis of the OD curve on one or two lines: the rate and the doubling
    // time, then the rest.
    QStringList growth;
    QString fileLabel; // QRLabel15
    QString version;   // QRLabel18: the splash window's version text
    QString printed;   // QRSysData2
};
ReportFields reportFields(const OpenedMeasurement& measurement, const QDateTime& printed);
QString reportPageText(int page); // QRSysData1: "Page " and the number

enum class ReportChart {
    OD,               // QRChart5, page 1
    CalcOD,           // QRChart11, page 1
    AutoscaledOD,     // QRChart1, page 2
    AutoscaledCalcOD, // QRChart3, page 2
};

enum class AxisNumberFormat {
    ThreeDecimals,     // "#,##0.000"
    UpToThreeDecimals, // "#,##0.###", the charts' own format where the report names none
};

struct ReportValueAxis {
    bool automatic = true;
    double minimum = 0, maximum = 0; // when not automatic
    double labelStep = 0;            // the desired step; widened where labels would crowd
    AxisNumberFormat format = AxisNumberFormat::ThreeDecimals;
};

struct ReportChartSpec {
    QString title;
    ChartParameter parameter = ChartParameter::OD;
    QString valueAxisTitle;
    ReportValueAxis valueAxis;
    bool silverGrid = false;
};

// The charts of page 1 have fixed value axes; those of page 2 scale to the data, except that a
// quantity the viewer found flat fixes both to its first value +/- 0.01.
ReportChartSpec reportChart(ReportChart chart, const FlatTest& viewerFlat);
extern const QString reportTimeAxisTitle; // "[Time] hhh:mm"

// The range an automatic axis takes: that of the values, or pad to either side of them where
// they are all one value (or there are none), so that the axis still has a span to draw.
AxisRange reportDataRange(const std::vector<double>& values, double pad);

// The label step used: the desired one, or the first of 2, 5, 10, 20, 50 ... times it that puts
// no more than maxLabels labels on the span.
double reportLabelStep(double desired, double span, int maxLabels);
QString reportAxisNumber(double value, AxisNumberFormat format);

// The time axis is labelled with the rows' TimeS texts: the first row's, then each row at least
// minSpacing minutes after the last labelled one whose text differs from it.
std::vector<std::pair<double, QString>> reportTimeLabels(const std::vector<RecordRow>& rows,
                                                         double minSpacing);

// The texts of the viewer's two panes as opening a measurement fills them: the log file and the
// statement file, each read as rich text. A file that can't be read leaves its pane's own text
// and says why in problems; the other pane is filled all the same.
struct ReportPanes {
    QString log = QStringLiteral("Log File Viewer");
    QString statement = QStringLiteral("Statement File Viewer");
    QStringList problems;
};
ReportPanes loadReportPanes(const OpenedMeasurement& measurement);
