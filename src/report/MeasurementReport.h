// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "workstation/OpenedMeasurement.h"

#include <QDateTime>
#include <QPageLayout>
#include <QString>

class QPagedPaintDevice;

// Everything the report of a measurement opened in the viewer shows.
struct ReportInput {
    OpenedMeasurement measurement;
    QString logText;       // the viewer's log pane as it stands
    QString statementText; // the statement pane, with the edits made there
    FlatTest viewerFlat;   // the viewer's last flatness test, of the quantity it showed last
    QDateTime printed = QDateTime::currentDateTime();
};

// A4 portrait with margins of 10 mm.
QPageLayout measurementReportLayout();

// Lays the report out on a printer, a PDF or a preview and draws it: the title page with the
// measurement's data and the charts with fixed axes, the autoscaled charts, and the log and
// statement texts; a footer on every page. Texts too long for the third page go on over further
// pages. Returns the number of pages; throws std::runtime_error when the device can't be drawn
// on.
int paintMeasurementReport(const ReportInput& input, QPagedPaintDevice& device);

// The report as a PDF file, replaced whole or not at all. Returns the number of pages.
int writeMeasurementReportPdf(const ReportInput& input, const QString& path);
