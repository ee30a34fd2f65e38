// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeasurementReport.h"

#include "PlotPainting.h"
#include "workstation/ReportContent.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextLayout>
#include <algorithm>
#include <memory>
#include <qcustomplot.h>
#include <stdexcept>

namespace {

// Measures of the page in millimetres, from the top left corner inside the margins.
constexpr double bandWidth = 190;
constexpr double pageHeight = 277;
constexpr double footerTop = pageHeight - 13.2;
constexpr double textBottom = footerTop - 2;
constexpr double chartLeft = 7.1, chartWidth = 176.4, chartHeight = 99.7;

// The charts are laid out as on a 96-dpi screen and scaled onto the page; their fonts are
// given in pixels of that layout, so that they keep their size on every device.
constexpr double layoutPixelsPerMm = 96 / 25.4;
constexpr double layoutPixelsPerPoint = 96.0 / 72;
constexpr int maxValueLabels = 16;
constexpr int maxTimeLabels = 12;

QFont chartFont(double points, bool bold = false) {
    QFont font;
    font.setPixelSize(qRound(points * layoutPixelsPerPoint));
    font.setBold(bold);
    return font;
}

QFont pageFont(double points) {
    QFont font;
    font.setPointSizeF(points);
    return font;
}

// The value labels in the report's number formats.
class ValueTicker : public QCPAxisTickerFixed {
public:
    explicit ValueTicker(AxisNumberFormat format) : format_(format) { setScaleStrategy(ssNone); }

protected:
    QString getTickLabel(double tick, const QLocale&, QChar, int) override {
        return reportAxisNumber(tick, format_);
    }

private:
    AxisNumberFormat format_;
};

std::unique_ptr<QCustomPlot> reportPlot(const ReportChartSpec& spec,
                                        const std::vector<RecordRow>& rows) {
    auto plot = std::make_unique<QCustomPlot>();
    QVector<double> minutes, values;
    for (const auto& row : rows) {
        if (const auto point = chartPoint(row, spec.parameter)) {
            minutes.push_back(point->first);
            values.push_back(point->second);
        }
    }
    QCPGraph* curve = plot->addGraph();
    curve->setPen(QPen(Qt::red, 1));
    curve->setLineStyle(QCPGraph::lsLine);
    curve->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
    // Rows come in time order and are drawn in row order, samples of the same minute too.
    curve->setData(minutes, values, std::is_sorted(minutes.begin(), minutes.end()));
    plot->legend->setVisible(false);

    plot->plotLayout()->insertRow(0);
    auto* title = new QCPTextElement(plot.get(), spec.title, chartFont(10, true));
    plot->plotLayout()->addElement(0, 0, title);

    QCPAxis* time = plot->xAxis;
    QCPAxis* value = plot->yAxis;
    for (QCPAxis* axis : {time, value}) {
        axis->setLabelFont(chartFont(8));
        axis->setTickLabelFont(chartFont(8));
        const QPen grid = spec.silverGrid ? QPen(QColor(192, 192, 192), 1, Qt::SolidLine)
                                          : QPen(QColor(160, 160, 160), 1, Qt::DotLine);
        axis->grid()->setPen(grid);
        axis->grid()->setZeroLinePen(grid);
    }
    time->setLabel(reportTimeAxisTitle);
    value->setLabel(spec.valueAxisTitle);

    const AxisRange timeRange =
        reportDataRange(std::vector<double>(minutes.begin(), minutes.end()), 1);
    time->setRange(timeRange.minimum, timeRange.maximum);
    auto timeLabels = QSharedPointer<QCPAxisTickerText>::create();
    for (const auto& [x, text] :
         reportTimeLabels(rows, (timeRange.maximum - timeRange.minimum) / maxTimeLabels))
        timeLabels->addTick(x, text);
    timeLabels->setSubTickCount(0);
    time->setTicker(timeLabels);

    const AxisRange valueRange =
        spec.valueAxis.automatic
            ? reportDataRange(std::vector<double>(values.begin(), values.end()), 0.01)
            : AxisRange{spec.valueAxis.minimum, spec.valueAxis.maximum};
    // A hair of room at either end, so that rounding cannot drop the labels the ends carry.
    const double hair = (valueRange.maximum - valueRange.minimum) * 1e-9;
    value->setRange(valueRange.minimum - hair, valueRange.maximum + hair);
    auto valueLabels = QSharedPointer<ValueTicker>::create(spec.valueAxis.format);
    valueLabels->setTickStep(reportLabelStep(
        spec.valueAxis.labelStep, valueRange.maximum - valueRange.minimum, maxValueLabels));
    value->setTicker(valueLabels);
    return plot;
}

// A text broken into the lines of one column, drawn page by page.
class TextColumn {
public:
    TextColumn(QString text, const QFont& font, double width, QPaintDevice& device) {
        const double emptyLineHeight = QFontMetricsF(font, &device).height();
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        if (text.endsWith(QLatin1Char('\n')))
            text.chop(1); // ends the last line; starts no new one
        for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
            if (paragraph.isEmpty()) {
                lines_.push_back({QTextLine(), emptyLineHeight});
                continue;
            }
            layouts_.push_back(std::make_unique<QTextLayout>(paragraph, font, &device));
            QTextLayout& layout = *layouts_.back();
            layout.setTextOption(option);
            layout.beginLayout();
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                line.setLineWidth(width);
                line.setPosition(QPointF(0, 0));
                lines_.push_back({line, line.height()});
            }
            layout.endLayout();
        }
    }

    // Draws the lines that follow the last drawn one while they fit above bottom.
    void drawPage(QPainter& painter, double left, double top, double bottom) {
        double y = top;
        // At least one line per page, so that a line taller than a page cannot stall.
        for (bool first = true; next_ < lines_.size(); first = false) {
            const Line& line = lines_[next_];
            if (!first && y + line.height > bottom)
                break;
            if (line.line.isValid())
                line.line.draw(&painter, QPointF(left, y));
            y += line.height;
            ++next_;
        }
    }
    bool done() const { return next_ >= lines_.size(); }

private:
    struct Line {
        QTextLine line; // invalid for an empty paragraph
        double height;
    };
    std::vector<std::unique_ptr<QTextLayout>> layouts_;
    std::vector<Line> lines_;
    std::size_t next_ = 0;
};

// Draws on one report page in millimetres.
class ReportPage {
public:
    ReportPage(QCPPainter& painter, QPaintDevice& device)
        : painter_(painter), device_(device), dotsX_(device.logicalDpiX() / 25.4),
          dotsY_(device.logicalDpiY() / 25.4) {}

    double x(double mm) const { return mm * dotsX_; }
    double y(double mm) const { return mm * dotsY_; }

    void label(double left, double top, const QString& text, double points = 10) {
        draw(QRectF(x(left), y(top), x(bandWidth - left), y(20)), Qt::AlignLeft, text, points);
    }
    void centredLabel(double top, const QString& text, double points) {
        draw(QRectF(0, y(top), x(bandWidth), y(20)), Qt::AlignHCenter, text, points);
    }
    void rightAlignedLabel(double right, double top, const QString& text, double points = 10) {
        draw(QRectF(0, y(top), x(right), y(20)), Qt::AlignRight, text, points);
    }
    double textWidth(const QString& text, double points) const {
        return QFontMetricsF(pageFont(points), &device_).horizontalAdvance(text);
    }

    // A chart whose frame runs into the next element is laid out in the part left to it, so
    // that its time axis is not drawn over.
    void chart(const ReportChartSpec& spec, const std::vector<RecordRow>& rows, double top,
               double nextTop) {
        const auto plot = reportPlot(spec, rows);
        const double height = std::min(chartHeight, nextTop - top);
        const QSize layoutSize(qRound(chartWidth * layoutPixelsPerMm),
                               qRound(height * layoutPixelsPerMm));
        paintPlot(*plot, painter_, QRectF(x(chartLeft), y(top), x(chartWidth), y(height)),
                  layoutSize);
    }

    void footer(const ReportFields& fields, int page) {
        label(21.2, footerTop, QStringLiteral("Printed"));
        label(37.0, footerTop, fields.printed);
        label(21.2, footerTop + 5.3, QStringLiteral("File "));
        const QString pageText = reportPageText(page);
        rightAlignedLabel(182.6, footerTop + 5.3, pageText);
        // A long path gives way in its middle rather than run into the page number.
        const double room = x(182.6 - 37.0 - 3) - textWidth(pageText, 10);
        const QString file = QFontMetricsF(pageFont(10), &device_)
                                 .elidedText(fields.fileLabel, Qt::ElideMiddle, room);
        label(37.0, footerTop + 5.3, file);
        centredLabel(footerTop + 10.6, fields.version, 8);
    }

private:
    void draw(const QRectF& box, Qt::Alignment alignment, const QString& text, double points) {
        painter_.setFont(pageFont(points));
        painter_.setPen(Qt::black);
        painter_.drawText(
            box, int(alignment | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip), text);
    }

    QCPPainter& painter_;
    QPaintDevice& device_;
    double dotsX_, dotsY_;
};

void titlePage(ReportPage& page, const ReportInput& input, const ReportFields& fields) {
    page.label(81.8, 3.1, QStringLiteral("Report"), 23);
    const std::pair<QString, QString> rows[] = {{QStringLiteral("Title"), fields.title},
                                                {QStringLiteral("Start date"), fields.startDate},
                                                {QStringLiteral("Start time"), fields.startTime},
                                                {QStringLiteral("Duration"), fields.duration}};
    const double tops[] = {15.4, 20.7, 26.0, 31.3};
    for (int i = 0; i < 4; ++i) {
        page.label(9.9, tops[i], rows[i].first);
        page.label(31.1, tops[i], rows[i].second);
    }
    // Between the fields and the first chart, small, so that the figures fit three lines; the
    // chart gives up the room beside its title.
    page.label(9.9, 36.6, QStringLiteral("Growth"));
    for (int i = 0; i < fields.growth.size(); ++i)
        page.label(31.1, 36.6 + 2.5 * i, fields.growth[i], 7);
    const auto& measured = input.measurement.rows;
    page.chart(reportChart(ReportChart::OD, input.viewerFlat), measured, 45.0, 146.0);
    page.chart(reportChart(ReportChart::CalcOD, input.viewerFlat), measured, 146.0, footerTop);
}

void autoscaledPage(ReportPage& page, const ReportInput& input) {
    page.centredLabel(16.5, QStringLiteral("Autoscaled"), 14);
    const auto& measured = input.measurement.rows;
    page.chart(reportChart(ReportChart::AutoscaledOD, input.viewerFlat), measured, 30.9, 126.1);
    page.chart(reportChart(ReportChart::AutoscaledCalcOD, input.viewerFlat), measured, 126.1,
               footerTop);
}

} // namespace

QPageLayout measurementReportLayout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                       QPageLayout::Millimeter);
}

int paintMeasurementReport(const ReportInput& input, QPagedPaintDevice& device) {
    device.setPageLayout(measurementReportLayout());
    QCPPainter painter;
    if (!painter.begin(&device))
        throw std::runtime_error("Can't print the report: the printer or the file could not be "
                                 "started.");
    const ReportFields fields = reportFields(input.measurement, input.printed);
    ReportPage page(painter, device);
    int pages = 1;
    const auto nextPage = [&] {
        page.footer(fields, pages);
        if (!device.newPage())
            throw std::runtime_error("Can't print the report: the printer took no further page.");
        ++pages;
    };

    titlePage(page, input, fields);
    nextPage();
    autoscaledPage(page, input);
    nextPage();

    page.label(6.2, 5.3, QStringLiteral("Log File"), 14);
    page.label(74.1, 5.3, QStringLiteral("Statement File"), 14);
    const QFont textFont = pageFont(8);
    TextColumn log(input.logText, textFont, page.x(66.4), device);
    TextColumn statement(input.statementText, textFont, page.x(116.6), device);
    log.drawPage(painter, page.x(6.2), page.y(15.7), page.y(textBottom));
    statement.drawPage(painter, page.x(74.1), page.y(15.4), page.y(textBottom));
    while (!log.done() || !statement.done()) {
        nextPage();
        log.drawPage(painter, page.x(6.2), page.y(5.3), page.y(textBottom));
        statement.drawPage(painter, page.x(74.1), page.y(5.3), page.y(textBottom));
    }
    page.footer(fields, pages);
    if (!painter.end())
        throw std::runtime_error("Can't print the report: the printer or the file failed.");
    return pages;
}

int writeMeasurementReportPdf(const ReportInput& input, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error(QStringLiteral("Can't write the report '%1': %2")
                                     .arg(path, file.errorString())
                                     .toStdString());
    int pages = 0;
    {
        QPdfWriter writer(&file);
        writer.setCreator(QStringLiteral("Nephodar"));
        writer.setTitle(QStringLiteral("Report ") + input.measurement.fileLabel.trimmed());
        pages = paintMeasurementReport(input, writer);
    }
    if (!file.commit())
        throw std::runtime_error(QStringLiteral("Can't write the report '%1': %2")
                                     .arg(path, file.errorString())
                                     .toStdString());
    return pages;
}
