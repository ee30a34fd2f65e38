// SPDX-License-Identifier: GPL-3.0-or-later
// The measurement report: its content rules, the PDF it makes (read back with poppler's
// tools), and printing through dialogs that the tests answer.
#include "EngineFakes.h"
#include "GrowthCurves.h"
#include "PdfProbe.h"
#include "QtPrinters.h"
#include "ReportPrinting.h"
#include "SavedMeasurement.h"
#include "TempDirectory.h"
#include "report/MeasurementReport.h"
#include "workstation/DisplayFormats.h"
#include "workstation/GrowthTexts.h"
#include "workstation/ReportContent.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QGraphicsView>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <gtest/gtest.h>
#include <qcustomplot.h>

namespace {

bool hasWord(const std::vector<std::string>& words, const std::string& word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

int countWord(const std::vector<std::string>& words, const std::string& word) {
    return static_cast<int>(std::count(words.begin(), words.end(), word));
}

// Page text with its line breaks and runs of blanks made single blanks, so that a phrase is
// found however pdftotext broke it.
std::string flatText(const std::string& pdf, int page) {
    std::string text;
    for (const auto& word : PdfProbe::pageWords(pdf, page))
        text += word + ' ';
    return text;
}

TEST(ReportContent, AxisRulesOfTheFourCharts) {
    const FlatTest flat{0.25f, true};
    const FlatTest moving{0.25f, false};
    const double low = 0.24, high = 0.26;
    struct Case {
        ReportChart chart;
        FlatTest viewer;
        const char* title;
        ChartParameter parameter;
        const char* valueTitle;
        bool automatic;
        double minimum, maximum, step;
        AxisNumberFormat format;
        bool silverGrid;
    };
    const Case cases[] = {
        {ReportChart::OD, flat, "OD", ChartParameter::OD, "[OD]", false, -0.1, 3.0, 0.1,
         AxisNumberFormat::ThreeDecimals, false},
        {ReportChart::CalcOD, flat, "CalcOD", ChartParameter::CalcOD, "[CalcOD]", false, -10, 60, 5,
         AxisNumberFormat::UpToThreeDecimals, false},
        {ReportChart::AutoscaledOD, moving, "OD (autoscaled)", ChartParameter::OD, "[OD]", true, 0,
         0, 0.001, AxisNumberFormat::ThreeDecimals, true},
        {ReportChart::AutoscaledCalcOD, moving, "CalcOD (autoscaled)", ChartParameter::CalcOD,
         "CalcOD", true, 0, 0, 0.001, AxisNumberFormat::ThreeDecimals, true},
        // A flat quantity fixes both autoscaled charts, the other quantity's too.
        {ReportChart::AutoscaledOD, flat, "OD (autoscaled)", ChartParameter::OD, "[OD]", false, low,
         high, 0.001, AxisNumberFormat::ThreeDecimals, true},
        {ReportChart::AutoscaledCalcOD, flat, "CalcOD (autoscaled)", ChartParameter::CalcOD,
         "CalcOD", false, low, high, 0.001, AxisNumberFormat::ThreeDecimals, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title + std::string(c.viewer.flat ? " flat" : ""));
        const ReportChartSpec spec = reportChart(c.chart, c.viewer);
        EXPECT_EQ(spec.title, c.title);
        EXPECT_EQ(spec.parameter, c.parameter);
        EXPECT_EQ(spec.valueAxisTitle, c.valueTitle);
        EXPECT_EQ(spec.valueAxis.automatic, c.automatic);
        if (!c.automatic) {
            EXPECT_DOUBLE_EQ(spec.valueAxis.minimum, c.minimum);
            EXPECT_DOUBLE_EQ(spec.valueAxis.maximum, c.maximum);
        }
        EXPECT_DOUBLE_EQ(spec.valueAxis.labelStep, c.step);
        EXPECT_EQ(spec.valueAxis.format, c.format);
        EXPECT_EQ(spec.silverGrid, c.silverGrid);
    }
}

TEST(ReportContent, LabelStepWidensOnlyWhereLabelsWouldCrowd) {
    struct Case {
        double desired, span;
        int maxLabels;
        double step;
    };
    const Case cases[] = {
        {5, 70, 16, 5},                                  // the fixed CalcOD axis: 15 labels fit
        {0.1, 3.1, 16, 0.2},                             // the fixed OD axis: 32 labels would not
        {0.001, 0.02, 16, 0.002},                        // a flat band
        {0.001, 2.5, 16, 0.2},    {0.001, 0, 16, 0.001}, // no span: nothing to widen
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.span);
        EXPECT_DOUBLE_EQ(reportLabelStep(c.desired, c.span, c.maxLabels), c.step);
    }
}

TEST(ReportContent, AxisNumberFormats) {
    const auto three = AxisNumberFormat::ThreeDecimals;
    const auto upTo = AxisNumberFormat::UpToThreeDecimals;
    const std::tuple<double, AxisNumberFormat, const char*> cases[] = {
        {0.1 * 3, three, "0.300"},
        {1234.5, three, "1,234.500"},
        {-1234567.25, three, "-1,234,567.250"},
        {-1e-17, three, "0.000"}, // a tick next to zero is no negative zero
        {-10, upTo, "-10"},
        {2.5, upTo, "2.5"},
        {0.125, upTo, "0.125"},
        {55, upTo, "55"},
    };
    for (const auto& [value, format, text] : cases)
        EXPECT_EQ(reportAxisNumber(value, format), text) << value;
}

TEST(ReportContent, TimeLabelsAreTheRowsTimeTextsSpacedOut) {
    using SavedMeasurement::row;
    std::vector<RecordRow> rows;
    for (int i = 0; i <= 8; ++i)
        rows.push_back(row(i, i * 7.5, 0, 0)); // every 7.5 minutes for an hour
    const auto labels = reportTimeLabels(rows, 20);
    const std::vector<std::pair<double, QString>> expected = {
        {0, "0:00"}, {22.5, "0:22"}, {45, "0:45"}};
    EXPECT_EQ(labels, expected);

    // Samples seconds apart share a text: it is shown once.
    const std::vector<RecordRow> quick = {row(0, 0, 0, 0), row(1, 0.2, 0, 0), row(2, 0.4, 0, 0),
                                          row(3, 1.1, 0, 0)};
    const std::vector<std::pair<double, QString>> once = {{0, "0:00"}, {1.1, "0:01"}};
    EXPECT_EQ(reportTimeLabels(quick, 0.1), once);
}

TEST(ReportContent, AutomaticRangeOfOneValueStillHasASpan) {
    EXPECT_EQ(reportDataRange({0.2, 0.5, 0.3}, 0.01).minimum, 0.2);
    EXPECT_EQ(reportDataRange({0.2, 0.5, 0.3}, 0.01).maximum, 0.5);
    EXPECT_DOUBLE_EQ(reportDataRange({4, 4}, 1).minimum, 3);
    EXPECT_DOUBLE_EQ(reportDataRange({4, 4}, 1).maximum, 5);
    EXPECT_DOUBLE_EQ(reportDataRange({}, 0.01).maximum, 0.01);
}

TEST(ReportContent, PanesAreFilledFromTheFileSetEachOnItsOwn) {
    TempDirectory temp;
    const QString nph = SavedMeasurement::write(
        temp.path(), "run", {SavedMeasurement::row(0, 0, 0.1, 0.1)},
        QStringLiteral("5.3.2024 08:15  started measurement\nSaved at 00:10:00"),
        QStringLiteral("Lab: Ä\r\nUsing no OD-formula: CalcOD = OD\r\n"));
    const OpenedMeasurement opened = OpenedMeasurement::open(nph);
    ReportPanes panes = loadReportPanes(opened);
    EXPECT_TRUE(panes.log.contains("started measurement\nSaved at 00:10:00"))
        << panes.log.toStdString();
    EXPECT_EQ(panes.statement, QStringLiteral("Lab: Ä\nUsing no OD-formula: CalcOD = OD\n"));
    EXPECT_TRUE(panes.problems.isEmpty());

    // Without its log the statement is still read; the log pane keeps its own text.
    QFile::remove(opened.logPath);
    panes = loadReportPanes(opened);
    EXPECT_EQ(panes.log, "Log File Viewer");
    EXPECT_TRUE(panes.statement.startsWith("Lab:"));
    ASSERT_EQ(panes.problems.size(), 1);
    EXPECT_TRUE(panes.problems[0].contains(opened.logPath)) << panes.problems[0].toStdString();
}

// A saved measurement and the report input the viewer would give for it.
struct ReportPdf : testing::Test {
    ReportInput input(const std::vector<RecordRow>& rows, ChartParameter shown,
                      const QString& log = QStringLiteral("Saved at 00:45:00\n"
                                                          "5.3.2024 08:15  started measurement"),
                      const QString& statement = QStringLiteral("Lab: bench 4\r\nUsing no "
                                                                "OD-formula: CalcOD = OD\r\n")) {
        ReportInput in;
        in.measurement = OpenedMeasurement::open(
            SavedMeasurement::write(temp.path(), "run", rows, log, statement));
        const ReportPanes panes = loadReportPanes(in.measurement);
        in.logText = panes.log;
        in.statementText = panes.statement;
        in.viewerFlat = testViewerFlat(in.measurement.rows, shown);
        in.printed = QDateTime(QDate(2024, 3, 6), QTime(14, 2, 9));
        return in;
    }
    std::string pdf() const { return temp.path("report.pdf"); }

    TempDirectory temp;
};

std::vector<RecordRow> growth(int samples, double calcOdFactor) {
    std::vector<RecordRow> rows;
    for (int i = 0; i < samples; ++i) {
        const double od = 0.1 + 0.02 * i;
        rows.push_back(SavedMeasurement::row(i, i * 1.5, od, od * calcOdFactor,
                                             i < samples - 1 ? "first title" : "Growth run 7"));
    }
    return rows;
}

TEST_F(ReportPdf, ThreeA4PagesCarryTheMeasurementsTexts) {
    const ReportInput in = input(growth(31, 1), ChartParameter::OD);
    EXPECT_EQ(writeMeasurementReportPdf(in, QString::fromStdString(pdf())), 3);
    EXPECT_EQ(PdfProbe::pageSizes(pdf()), std::vector<std::string>(3, "A4"));

    const std::string first = flatText(pdf(), 1);
    const std::vector<std::string> titlePage = {
        "Report",
        "Title Growth run 7",
        "Start date " + DisplayFormats::shortDateText(QDate(2024, 3, 5)).toStdString(),
        "Start time 08:15:00",
        "Duration 00:45:00",
        "Growth growth rate: ",
        "doubling time: ",
        "[OD]",
        "[CalcOD]",
        "[Time] hhh:mm"};
    for (const std::string& text : titlePage)
        EXPECT_NE(first.find(text), std::string::npos) << text << "\nin: " << first;
    const auto firstWords = PdfProbe::pageWords(pdf(), 1);
    EXPECT_TRUE(hasWord(firstWords, "OD"));
    EXPECT_TRUE(hasWord(firstWords, "CalcOD"));
    EXPECT_TRUE(hasWord(firstWords, "0:45")); // the last sample's TimeS

    const std::string second = flatText(pdf(), 2);
    for (const char* text : {"Autoscaled", "OD (autoscaled)", "CalcOD (autoscaled)", "[OD]"})
        EXPECT_NE(second.find(text), std::string::npos) << text << "\nin: " << second;

    const std::string third = flatText(pdf(), 3);
    for (const char* text :
         {"Log File", "Statement File", "Saved at 00:45:00", "5.3.2024 08:15 started measurement",
          "Lab: bench 4", "Using no OD-formula: CalcOD = OD"})
        EXPECT_NE(third.find(text), std::string::npos) << text << "\nin: " << third;

    const std::string printed =
        DisplayFormats::shortDateText(QDate(2024, 3, 6)).toStdString() + " 14:02:09";
    for (int page = 1; page <= 3; ++page) {
        const std::string text = flatText(pdf(), page);
        for (const std::string& footer :
             {"Printed " + printed, "File " + in.measurement.chosenPath.toStdString(),
              "Page " + std::to_string(page), std::string("Nephodar v2.0")})
            EXPECT_NE(text.find(footer), std::string::npos) << footer << " on page " << page;
    }
}

TEST_F(ReportPdf, GrowthFiguresWithTheirIntervalsStayOnThePage) {
    // A culture read every 10 minutes, and one read hourly whose few readings are said.
    const std::vector<double> hourly = {0.0088, 0.0128, 0.0228, 0.0488, 0.1028, 0.1898, 0.2868,
                                        0.3238, 0.3508, 0.3618, 0.3718, 0.3868, 0.3978};
    const struct {
        std::vector<double> ods;
        double stepMinutes;
    } cultures[] = {{GrowthCurves::noisyCulture(), 10}, {hourly, 60}};
    for (const auto& culture : cultures) {
        std::vector<RecordRow> rows;
        for (std::size_t i = 0; i < culture.ods.size(); ++i)
            rows.push_back(SavedMeasurement::row(static_cast<int>(i), culture.stepMinutes * i,
                                                 culture.ods[i], culture.ods[i]));
        const ReportInput in = input(rows, ChartParameter::OD);
        ASSERT_TRUE(in.measurement.growth.rateInterval);
        writeMeasurementReportPdf(in, QString::fromStdString(pdf()));

        const std::string first = flatText(pdf(), 1);
        for (const QString& text : GrowthTexts::texts(in.measurement.growth))
            EXPECT_NE(first.find(text.toStdString()), std::string::npos)
                << text.toStdString() << "\nin: " << first;
        const double rightMarginPoints = (210 - 10) / 25.4 * 72;
        for (const auto& box : PdfProbe::wordBoxes(pdf(), 1))
            EXPECT_LE(box.xMax, rightMarginPoints) << box.word;
    }
}

TEST_F(ReportPdf, AMeasurementWithoutSamplesGivesTheReportWithEmptyCharts) {
    const ReportInput in = input({}, ChartParameter::OD);
    EXPECT_EQ(writeMeasurementReportPdf(in, QString::fromStdString(pdf())), 3);
    const std::string first = flatText(pdf(), 1);
    for (const char* text : {"Report", "Title", "Duration", "[OD]", "[CalcOD]"})
        EXPECT_NE(first.find(text), std::string::npos) << text << "\nin: " << first;
    EXPECT_NE(flatText(pdf(), 3).find("Lab: bench 4"), std::string::npos);
}

TEST_F(ReportPdf, AQuantityTheViewerFoundFlatFixesBothAutoscaledCharts) {
    std::vector<RecordRow> rows;
    for (int i = 0; i < 20; ++i) // OD within 0.250 +/- 0.005; CalcOD far from it
        rows.push_back(
            SavedMeasurement::row(i, i, 0.25 + (i % 2 ? 0.005 : -0.005) * (i > 0), 40 + 2 * i));
    writeMeasurementReportPdf(input(rows, ChartParameter::OD), QString::fromStdString(pdf()));
    const auto words = PdfProbe::pageWords(pdf(), 2);
    EXPECT_EQ(countWord(words, "0.240"), 2);
    EXPECT_EQ(countWord(words, "0.260"), 2);
    EXPECT_FALSE(hasWord(words, "75.000")); // a label of the CalcOD data: not autoscaled

    // Shown as CalcOD, the same file is not flat: both charts scale to their data.
    writeMeasurementReportPdf(input(rows, ChartParameter::CalcOD), QString::fromStdString(pdf()));
    const auto scaled = PdfProbe::pageWords(pdf(), 2);
    EXPECT_FALSE(hasWord(scaled, "0.240"));
    EXPECT_TRUE(hasWord(scaled, "75.000"));
}

TEST_F(ReportPdf, CalcODBeyondTheFixedAxisIsCutOnPageOneButScaledOnPageTwo) {
    writeMeasurementReportPdf(input(growth(31, 150), ChartParameter::OD),
                              QString::fromStdString(pdf())); // CalcOD up to 105
    const auto fixed = PdfProbe::pageWords(pdf(), 1);
    EXPECT_TRUE(hasWord(fixed, "-10"));
    EXPECT_TRUE(hasWord(fixed, "60"));
    EXPECT_FALSE(hasWord(fixed, "65"));
    EXPECT_TRUE(hasWord(fixed, "3.000")); // the fixed OD axis' top
    const auto scaled = PdfProbe::pageWords(pdf(), 2);
    EXPECT_TRUE(std::any_of(scaled.begin(), scaled.end(),
                            [](const std::string& w) { return w == "100.000" || w == "105.000"; }));
}

TEST_F(ReportPdf, TextsLongerThanThePageGoOnOverFurtherPages) {
    QStringList log;
    for (int i = 300; i >= 1; --i)
        log << QStringLiteral("OD Error at 00:%1:00").arg(i, 3, 10, QLatin1Char('0'));
    const int pages = writeMeasurementReportPdf(
        input(growth(5, 1), ChartParameter::OD, log.join('\n')), QString::fromStdString(pdf()));
    EXPECT_GT(pages, 3);
    EXPECT_EQ(PdfProbe::pageSizes(pdf()).size(), static_cast<std::size_t>(pages));
    std::string all;
    for (int page = 3; page <= pages; ++page)
        all += flatText(pdf(), page);
    for (int i = 1; i <= 300; ++i) {
        const std::string line =
            QStringLiteral("OD Error at 00:%1:00").arg(i, 3, 10, QLatin1Char('0')).toStdString();
        ASSERT_NE(all.find(line), std::string::npos) << line;
    }
    EXPECT_NE(flatText(pdf(), pages).find("Page " + std::to_string(pages)), std::string::npos);
}

TEST_F(ReportPdf, AFileThatCannotBeWrittenFailsWithItsName) {
    const ReportInput in = input(growth(3, 1), ChartParameter::OD);
    try {
        writeMeasurementReportPdf(in, QString::fromStdString(temp.path("missing/report.pdf")));
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("Can't write the report '" +
                                             temp.path("missing/report.pdf")),
                  std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(QFile::exists(QString::fromStdString(temp.path("missing/report.pdf"))));
}

// Dialogs the test answers: a confirmed print dialog sends the pages to a PDF file.
class AnsweredDialogs : public PrintDialogs {
public:
    bool askPrint(QPrinter& printer, QWidget*) override {
        ++printDialogs;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(output));
        return confirm;
    }
    void askPrinterSettings(QPrinter& printer, QWidget*) override {
        printer.setPageOrientation(QPageLayout::Landscape);
    }
    void showPreview(QPrinter& printer, const std::function<void(QPrinter&)>& paint,
                     const std::function<void()>& saveAsPdf, QWidget*) override {
        previewOrientation = printer.pageLayout().orientation();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(output));
        paint(printer);
        if (pressSaveAsPdf)
            saveAsPdf();
    }

    bool hasPrinter() const override { return printers; }

    std::string output;
    bool printers = true;
    bool confirm = true;
    bool pressSaveAsPdf = false;
    int printDialogs = 0;
    QPageLayout::Orientation previewOrientation = QPageLayout::Landscape;
};

struct ChartAndReportPrinting : ReportPdf {
    ChartAndReportPrinting() { dialogs.output = temp.path("printed.pdf"); }
    bool printed() const { return QFile::exists(QString::fromStdString(dialogs.output)); }

    AnsweredDialogs dialogs;
    ScriptedPrompts prompts;
    ReportPrinting printing{dialogs, prompts};
};

TEST_F(ChartAndReportPrinting, AChartIsPrintedOnOnePageOnlyAfterTheDialogIsConfirmed) {
    QCustomPlot chart;
    const QFont onScreen = chart.xAxis->labelFont();
    chart.resize(800, 450);
    chart.addGraph()->setData({0, 1, 2}, {0.1, 0.2, 0.4});
    chart.xAxis->setLabel("[Time] hhh:mm");
    chart.yAxis->setLabel("[CalcOD]");
    chart.rescaleAxes();

    dialogs.confirm = false;
    EXPECT_FALSE(printing.printChart(chart));
    EXPECT_EQ(dialogs.printDialogs, 1);
    EXPECT_FALSE(printed());

    dialogs.confirm = true;
    EXPECT_TRUE(printing.printChart(chart));
    EXPECT_EQ(PdfProbe::pageSizes(dialogs.output).size(), 1u);
    const std::string text = flatText(dialogs.output, 1);
    EXPECT_NE(text.find("[CalcOD]"), std::string::npos) << text;
    EXPECT_NE(text.find("[Time] hhh:mm"), std::string::npos) << text;
    EXPECT_EQ(chart.xAxis->labelFont(), onScreen); // the chart on screen keeps its fonts
}

// With no printer on the computer the chart goes into a PDF file the user names.
TEST_F(ChartAndReportPrinting, WithoutAPrinterTheChartIsPrintedToPdf) {
    QCustomPlot chart;
    chart.resize(800, 450);
    chart.addGraph()->setData({0, 1, 2}, {0.1, 0.2, 0.4});
    chart.yAxis->setLabel("[OD]");
    dialogs.printers = false;
    prompts.chosenFile = QString::fromStdString(temp.path("chart")); // no suffix typed
    EXPECT_TRUE(printing.printChart(chart));
    EXPECT_EQ(dialogs.printDialogs, 0) << "no print dialog without a printer";
    ASSERT_EQ(prompts.saveDialogs.size(), 1);
    EXPECT_TRUE(prompts.saveDialogs[0].startsWith("Print to PDF|"));
    EXPECT_EQ(PdfProbe::pageSizes(temp.path("chart.pdf")).size(), 1u);
    EXPECT_NE(flatText(temp.path("chart.pdf"), 1).find("[OD]"), std::string::npos);

    prompts.chosenFile = QString::fromStdString(temp.path("missing/chart.pdf"));
    EXPECT_FALSE(printing.printChart(chart));
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0], "Can't write the chart to '" +
                                       QString::fromStdString(temp.path("missing/chart.pdf")) +
                                       "'.");
}

TEST_F(ChartAndReportPrinting, ThePreviewShowsTheReportInPortraitAndLeavesThePrinterSettingsAlone) {
    printing.printerSettings(); // landscape for the charts
    printing.previewReport(input(growth(5, 1), ChartParameter::OD));
    EXPECT_EQ(dialogs.previewOrientation, QPageLayout::Portrait);
    EXPECT_EQ(PdfProbe::pageSizes(dialogs.output), std::vector<std::string>(3, "A4"));
    EXPECT_EQ(printing.printer().pageLayout().orientation(), QPageLayout::Landscape);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('|').toStdString();
}

TEST_F(ChartAndReportPrinting, SaveAsPdfFromThePreviewAsksForTheFileBesideTheMeasurement) {
    const ReportInput in = input(growth(5, 1), ChartParameter::OD);
    dialogs.pressSaveAsPdf = true;
    prompts.chosenFile = QString::fromStdString(temp.path("saved")); // no suffix typed
    printing.previewReport(in);
    ASSERT_EQ(prompts.saveDialogs.size(), 1);
    EXPECT_EQ(prompts.saveDialogs[0],
              "Save as PDF|" + QString::fromStdString(temp.path()) + "|run.pdf");
    EXPECT_EQ(PdfProbe::pageSizes(temp.path("saved.pdf")).size(), 3u);

    // Cancelled: nothing written, nothing said.
    prompts.chosenFile.clear();
    EXPECT_FALSE(printing.saveReportPdf(in));
    EXPECT_TRUE(prompts.messages.isEmpty());

    // A place that can't take it: said, not hidden.
    prompts.chosenFile = QString::fromStdString(temp.path("missing/x.pdf"));
    EXPECT_FALSE(printing.saveReportPdf(in));
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith("Can't write the report"))
        << prompts.messages[0].toStdString();
}

// The desktop's own preview, closed by the test once it is up.
TEST_F(ReportPdf, TheDesktopPreviewOpensAt120PercentAndOffersSaveAsPdf) {
    const ReportInput in = input(growth(5, 1), ChartParameter::OD);
    QtPrintDialogs dialogs;
    ScriptedPrompts prompts;
    prompts.chosenFile = QString::fromStdString(temp.path("from-preview.pdf"));
    ReportPrinting printing(dialogs, prompts);
    double zoom = 0;
    int pages = 0;
    bool saveOffered = false;
    bool onScreen = false, atTheTop = false;
    QTimer close;
    QObject::connect(&close, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        close.stop();
        const auto* preview = dialog->findChild<QPrintPreviewWidget*>();
        zoom = preview->zoomFactor();
        pages = preview->pageCount();
        onScreen = dialog->screen()->availableGeometry().contains(dialog->frameGeometry());
        const QScrollBar* scroll = preview->findChild<QGraphicsView*>()->verticalScrollBar();
        atTheTop = scroll->maximum() > 0 && scroll->value() == scroll->minimum();
        for (QAction* action : dialog->findChild<QToolBar*>()->actions()) {
            if (action->text() == "Save as PDF") {
                saveOffered = true;
                action->trigger();
            }
        }
        dialog->reject();
    });
    close.start(50);
    printing.previewReport(in);
    EXPECT_DOUBLE_EQ(zoom, 1.2);
    EXPECT_EQ(pages, 3);
    EXPECT_TRUE(onScreen) << "the preview fits the screen";
    EXPECT_TRUE(atTheTop) << "it opens at the top of page 1";
    EXPECT_TRUE(saveOffered);
    EXPECT_EQ(PdfProbe::pageSizes(temp.path("from-preview.pdf")).size(), 3u);
}

} // namespace
