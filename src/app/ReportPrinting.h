// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "report/MeasurementReport.h"

#include <QPrinter>
#include <functional>
#include <memory>

class QCustomPlot;
class QPagedPaintDevice;
class QWidget;
class UserPrompts;

// The desktop's print dialogs. Tests stand in their own, so that no modal dialog opens.
class PrintDialogs {
public:
    virtual ~PrintDialogs() = default;
    // The print dialog (printer choice only); true when the user confirms.
    virtual bool askPrint(QPrinter& printer, QWidget* parent) = 0;
    // The printer settings dialog; it changes the printer when the user confirms.
    virtual void askPrinterSettings(QPrinter& printer, QWidget* parent) = 0;
    // The print preview of a document: paint draws the pages on the printer it is given
    // whenever the preview (or printing from it) needs them; saveAsPdf is offered as
    // "Save as PDF". Returns when the preview is closed.
    virtual void showPreview(QPrinter& printer, const std::function<void(QPrinter&)>& paint,
                             const std::function<void()>& saveAsPdf, QWidget* parent) = 0;
    // Whether the computer has a printer to offer at all.
    virtual bool hasPrinter() const { return true; }
};

// QPrintDialog, QPageSetupDialog and QPrintPreviewDialog (at 120 %).
class QtPrintDialogs final : public PrintDialogs {
public:
    bool askPrint(QPrinter& printer, QWidget* parent) override;
    void askPrinterSettings(QPrinter& printer, QWidget* parent) override;
    void showPreview(QPrinter& printer, const std::function<void(QPrinter&)>& paint,
                     const std::function<void()>& saveAsPdf, QWidget* parent) override;
    bool hasPrinter() const override;
};

// A chart on one page of the device, as large as the page allows at the chart's on-screen
// proportions. Throws std::runtime_error when the device can't be drawn on.
void paintChartPage(QCustomPlot& chart, QPagedPaintDevice& device);

// Printing as the windows offer it. One printer serves every print, so that what the printer
// settings chose applies to the charts and the report alike. Failures are shown through the
// prompts; nothing here throws.
class ReportPrinting {
public:
    ReportPrinting(PrintDialogs& dialogs, UserPrompts& prompts);
    ~ReportPrinting();

    QPrinter& printer() { return *sharedPrinter_; }

    // File -> "Printer Settings".
    void printerSettings(QWidget* parent = nullptr);
    // The live chart or the viewer chart on one page, after the print dialog; without a
    // printer, into a PDF file the user names ("Print to PDF"). Returns whether it was printed
    // (false when the dialog was cancelled or printing failed).
    bool printChart(QCustomPlot& chart, QWidget* parent = nullptr);
    // The report in the preview, from which the user prints it or saves it as PDF. The page
    // layout the report needs is set for the preview and given back afterwards.
    void previewReport(const ReportInput& input, QWidget* parent = nullptr);
    // Asks for a PDF file name and writes the report there. Returns whether it was written.
    bool saveReportPdf(const ReportInput& input);

private:
    bool printChartToPdf(QCustomPlot& chart);

    PrintDialogs& dialogs_;
    UserPrompts& prompts_;
    std::unique_ptr<QPrinter> sharedPrinter_;
};
