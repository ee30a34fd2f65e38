// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReportPrinting.h"

#include "CentredWindow.h"

#include "report/PlotPainting.h"
#include "workstation/EngineEnvironment.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QGraphicsView>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinterInfo>
#include <QScrollBar>
#include <QToolBar>
#include <memory>
#include <qcustomplot.h>
#include <stdexcept>

bool QtPrintDialogs::askPrint(QPrinter& printer, QWidget* parent) {
    QPrintDialog dialog(&printer, parent);
    dialog.setOptions(QAbstractPrintDialog::PrintDialogOptions());
    return dialog.exec() == QDialog::Accepted;
}

bool QtPrintDialogs::hasPrinter() const {
    return !QPrinterInfo::availablePrinterNames().isEmpty();
}

void QtPrintDialogs::askPrinterSettings(QPrinter& printer, QWidget* parent) {
    QPageSetupDialog dialog(&printer, parent);
    dialog.exec();
}

void QtPrintDialogs::showPreview(QPrinter& printer, const std::function<void(QPrinter&)>& paint,
                                 const std::function<void()>& saveAsPdf, QWidget* parent) {
    QPrintPreviewDialog dialog(&printer, parent);
    fitOnScreen(dialog, QSize(1040, 900)); // room for a page at 120 %, where the screen has it
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested,
                     [&paint](QPrinter* target) { paint(*target); });
    if (auto* preview = dialog.findChild<QPrintPreviewWidget*>()) {
        // The preview opens at 120 %; after that the zoom is the user's.
        auto opened = std::make_shared<bool>(false);
        // Zooming announces a changed preview itself: the flag is set first.
        QObject::connect(preview, &QPrintPreviewWidget::previewChanged, preview, [preview, opened] {
            if (*opened)
                return;
            *opened = true;
            preview->setZoomFactor(1.2);
            // The report is read from the top of its first page, not from the middle of the
            // pages.
            if (auto* view = preview->findChild<QGraphicsView*>()) {
                view->verticalScrollBar()->setValue(view->verticalScrollBar()->minimum());
                view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->minimum());
            }
        });
    }
    if (auto* tools = dialog.findChild<QToolBar*>()) {
        tools->addSeparator();
        QAction* save = tools->addAction(QStringLiteral("Save as PDF"));
        QObject::connect(save, &QAction::triggered, &dialog, [&saveAsPdf] { saveAsPdf(); });
    }
    dialog.exec();
}

void paintChartPage(QCustomPlot& chart, QPagedPaintDevice& device) {
    QCPPainter painter;
    if (!painter.begin(&device))
        throw std::runtime_error("Can't print the chart: the printer could not be started.");
    const QSize layoutSize = chart.size().isEmpty() ? QSize(800, 500) : chart.size();
    const QRectF page(0, 0, device.width(), device.height());
    const double scale =
        std::min(page.width() / layoutSize.width(), page.height() / layoutSize.height());
    paintPlot(chart, painter, QRectF(0, 0, layoutSize.width() * scale, layoutSize.height() * scale),
              layoutSize);
    if (!painter.end())
        throw std::runtime_error("Can't print the chart: the printer failed.");
}

ReportPrinting::ReportPrinting(PrintDialogs& dialogs, UserPrompts& prompts)
    : dialogs_(dialogs), prompts_(prompts),
      sharedPrinter_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {}

ReportPrinting::~ReportPrinting() = default;

void ReportPrinting::printerSettings(QWidget* parent) {
    dialogs_.askPrinterSettings(*sharedPrinter_, parent);
}

bool ReportPrinting::printChart(QCustomPlot& chart, QWidget* parent) {
    if (!dialogs_.hasPrinter())
        return printChartToPdf(chart);
    if (!dialogs_.askPrint(*sharedPrinter_, parent))
        return false;
    try {
        paintChartPage(chart, *sharedPrinter_);
        return true;
    } catch (const std::exception& e) {
        prompts_.showMessage(QString::fromStdString(e.what()));
        return false;
    }
}

// Without a printer the print dialog would offer nothing to print on: the chart goes into a
// PDF file instead, on the page the printer settings chose.
bool ReportPrinting::printChartToPdf(QCustomPlot& chart) {
    QString chosen =
        prompts_.askSaveFileName(QStringLiteral("Print to PDF"), QDir::homePath(),
                                 QStringLiteral("chart.pdf"), QStringLiteral("PDF|*.pdf"));
    if (chosen.isEmpty())
        return false;
    if (QFileInfo(chosen).suffix().isEmpty())
        chosen += QStringLiteral(".pdf");
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setPageLayout(sharedPrinter_->pageLayout());
    pdf.setOutputFileName(chosen);
    try {
        paintChartPage(chart, pdf);
        return true;
    } catch (const std::exception&) {
        prompts_.showMessage(QStringLiteral("Can't write the chart to '%1'.").arg(chosen));
        return false;
    }
}

void ReportPrinting::previewReport(const ReportInput& input, QWidget* parent) {
    const QPageLayout chosen = sharedPrinter_->pageLayout();
    sharedPrinter_->setPageLayout(measurementReportLayout());
    // Failures are kept until the preview is closed: a message box inside its painting would
    // come up again with every repaint.
    QStringList failures;
    dialogs_.showPreview(
        *sharedPrinter_,
        [&](QPrinter& target) {
            try {
                paintMeasurementReport(input, target);
            } catch (const std::exception& e) {
                if (!failures.contains(QString::fromStdString(e.what())))
                    failures << QString::fromStdString(e.what());
            }
        },
        [&] { saveReportPdf(input); }, parent);
    sharedPrinter_->setPageLayout(chosen);
    for (const QString& failure : failures)
        prompts_.showMessage(failure);
}

bool ReportPrinting::saveReportPdf(const ReportInput& input) {
    const QFileInfo measurement(input.measurement.filePath);
    QString chosen = prompts_.askSaveFileName(
        QStringLiteral("Save as PDF"), measurement.absolutePath(),
        measurement.completeBaseName() + QStringLiteral(".pdf"), QStringLiteral("PDF|*.pdf"));
    if (chosen.isEmpty())
        return false;
    if (QFileInfo(chosen).suffix().isEmpty())
        chosen += QStringLiteral(".pdf");
    try {
        writeMeasurementReportPdf(input, chosen);
        return true;
    } catch (const std::exception& e) {
        prompts_.showMessage(QString::fromStdString(e.what()));
        return false;
    }
}
