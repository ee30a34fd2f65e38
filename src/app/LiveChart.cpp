// SPDX-License-Identifier: GPL-3.0-or-later
#include "LiveChart.h"

#include "PlotMarks.h"

#include "TimeSTicker.h"

#include <QVBoxLayout>
#include <cmath>
#include <qcustomplot.h>

namespace {

// A round point mark drawn once and then stamped: drawing a circle per point for every redraw
// would make a long run's chart slower with every sample.
QCPScatterStyle pointMark(const QColor& colour, double size) {
    const int side = static_cast<int>(std::ceil(size)) + 2;
    QPixmap mark(side, side);
    mark.fill(Qt::transparent);
    QPainter painter(&mark);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(QRectF((side - size) / 2, (side - size) / 2, size, size));
    painter.end();
    return QCPScatterStyle(mark);
}

QCPGraph* curve(QCustomPlot* plot, const QString& name, const QColor& colour, int width,
                double markSize) {
    QCPGraph* graph = plot->addGraph();
    graph->setName(name);
    graph->setPen(QPen(colour, width));
    if (markSize > 0)
        graph->setScatterStyle(pointMark(colour, markSize));
    return graph;
}

QCPItemText* markText(QCustomPlot* plot, const QColor& ground) {
    auto* text = new QCPItemText(plot);
    text->setBrush(QBrush(ground));
    text->setColor(Qt::white);
    text->setPadding(QMargins(3, 1, 3, 1));
    text->setPositionAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    text->setVisible(false);
    return text;
}

QCPItemLine* markArrow(QCustomPlot* plot, const QColor& colour) {
    auto* arrow = new QCPItemLine(plot);
    arrow->setPen(QPen(colour, 1));
    arrow->setHead(QCPLineEnding::esSpikeArrow);
    arrow->setVisible(false);
    return arrow;
}

} // namespace

LiveChart::LiveChart(RecordTable& table, QWidget* parent)
    : QWidget(parent), table(table), customPlot(new QCustomPlot(this)) {
    customPlot->setObjectName(QStringLiteral("DBChart1"));
    // Long curves are drawn as one polyline: a full day of samples stays quick to redraw.
    customPlot->setPlottingHint(QCP::phFastPolylines, true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(customPlot);
    seriesOd = curve(customPlot, QStringLiteral("ChartOD"), Qt::red, 2, 3);
    seriesCalcOd = curve(customPlot, QStringLiteral("Series43"), Qt::red, 2, 2);
    seriesSmooth = curve(customPlot, QStringLiteral("Series3"), Qt::darkGreen, 1, 3);
    averageOd = curve(customPlot, QStringLiteral("Series11"), Qt::red, 2, 0);
    averageCalcOd = curve(customPlot, QStringLiteral("Series48"), Qt::red, 2, 0);
    lastMark = markText(customPlot, Qt::red);
    lastArrow = markArrow(customPlot, Qt::red);
    customPlot->xAxis->setLabel(QStringLiteral("[Time] hhh:mm"));
    customPlot->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(new TimeSTicker));
    customPlot->yAxis->setLabel(QStringLiteral("[OD]"));
    customPlot->yAxis->setNumberFormat(QStringLiteral("f"));
    customPlot->yAxis->setNumberPrecision(3);
    customPlot->legend->setVisible(false);
    customPlot->plotLayout()->insertRow(0);
    title = new QCPTextElement(customPlot, QString());
    customPlot->plotLayout()->addElement(0, 0, title);
    connect(customPlot, &QCustomPlot::afterLayout, this, &LiveChart::placeMarks);
    setParameter(ChartParameter::OD);
}

void LiveChart::setTitleLine(const QString& text) {
    titleLine = text;
    refreshTitle();
}

void LiveChart::setFormulaName(const QString& name) {
    formulaName = name;
    refreshTitle();
}

QString LiveChart::titleText() const {
    return title->text();
}

void LiveChart::refreshTitle() {
    QString text = shown == ChartParameter::OD ? titleLine : formulaName;
    if (averagingOn)
        text += QStringLiteral("\nAverage %1 Points").arg(averagePeriod);
    title->setText(text);
    customPlot->replot(QCustomPlot::rpQueuedReplot);
}

void LiveChart::setParameter(ChartParameter value) {
    shown = value;
    customPlot->yAxis->setLabel(shown == ChartParameter::OD ? QStringLiteral("[OD]")
                                                            : QStringLiteral("[CalcOD]"));
    refreshCurves();
    refreshTitle();
    reloadNoteMarks();
}

void LiveChart::setAveraging(std::optional<int> groupSize) {
    averagingOn = groupSize.has_value();
    if (groupSize)
        averagePeriod = *groupSize;
    refreshCurves();
    refreshTitle();
}

std::optional<int> LiveChart::averaging() const {
    return averagingOn ? std::optional<int>(averagePeriod) : std::nullopt;
}

// Ticked or not, the mark of the newest value is there at once, without waiting for a sample.
void LiveChart::setShowLabels(bool on) {
    showLabels = on;
    lastMark->setVisible(on && lastMark->property("active").toBool());
    lastArrow->setVisible(lastMark->visible());
    customPlot->replot(QCustomPlot::rpQueuedReplot);
}

void LiveChart::setShowNotes(bool on) {
    showNotes = on;
    reloadNoteMarks();
}

void LiveChart::setSmoothing(bool on) {
    smoothing = on;
    refreshCurves();
}

void LiveChart::clearSeries() {
    rows.clear();
    lastRowId = 0;
    lastMark->setVisible(false);
    lastArrow->setVisible(false);
    lastMark->setProperty("active", false);
    refreshCurves();
    reloadNoteMarks();
}

void LiveChart::reload() {
    rows.clear();
    lastRowId = 0;
    addRows(table.chartRowsSince(lastRowId));
    refreshCurves();
    reloadNoteMarks();
    customPlot->rescaleAxes();
    customPlot->replot(QCustomPlot::rpQueuedReplot);
}

void LiveChart::addRows(const std::vector<ChartRow>& newRows) {
    for (const auto& row : newRows) {
        rows.push_back({row.minutes, row.od, row.calcOd, row.smoothOd});
        seriesOd->addData(row.minutes, row.od);
        seriesCalcOd->addData(row.minutes, row.calcOd);
        if (row.smoothOd)
            seriesSmooth->addData(row.minutes, *row.smoothOd);
    }
}

// Which series are drawn, and how, for the parameter, the averaging and the smoothing.
void LiveChart::refreshCurves() {
    const bool od = shown == ChartParameter::OD;
    seriesOd->setVisible(od);
    seriesCalcOd->setVisible(!od);
    seriesSmooth->setVisible(od && smoothing && !averagingOn);
    averageOd->setVisible(od && averagingOn);
    averageCalcOd->setVisible(!od && averagingOn);
    seriesOd->setLineStyle(averagingOn ? QCPGraph::lsNone : QCPGraph::lsLine);
    seriesCalcOd->setLineStyle(averagingOn ? QCPGraph::lsNone : QCPGraph::lsLine);
    const auto marks = [this](QCPGraph* g, double size) {
        g->setScatterStyle(averagingOn ? QCPScatterStyle(QCPScatterStyle::ssNone)
                                       : pointMark(Qt::red, size));
    };
    marks(seriesOd, 3);
    marks(seriesCalcOd, 2);
    if (rows.empty()) {
        for (QCPGraph* g : {seriesOd, seriesCalcOd, seriesSmooth})
            g->data()->clear();
    }
    averageOd->data()->clear();
    averageCalcOd->data()->clear();
    if (averagingOn) {
        std::vector<ChartPoint> source;
        source.reserve(rows.size());
        for (const auto& row : rows)
            source.push_back({row.minutes, od ? row.od : row.calcOd});
        QCPGraph* target = od ? averageOd : averageCalcOd;
        for (const auto& p :
             blockAverage(source, averagePeriod,
                          od ? AveragePlacement::LastOfGroup : AveragePlacement::MiddleOfGroup))
            target->addData(p.x, p.y);
    }
    customPlot->replot(QCustomPlot::rpQueuedReplot);
}

void LiveChart::appendNewRows(const AxisWindow& window, bool timeAxisAutomatic) {
    const auto fresh = table.chartRowsSince(lastRowId);
    addRows(fresh);
    if (averagingOn && !fresh.empty())
        refreshCurves();
    if (window.changeBottom)
        setTimeRange({window.bottomMinimum, window.bottomMaximum});
    else if (timeAxisAutomatic)
        rescaleTime();
    if (window.changeLeft) {
        if (window.leftAutomatic)
            rescaleValue();
        else
            setValueRange({window.leftMinimum, window.leftMaximum});
    }
    customPlot->replot(QCustomPlot::rpQueuedReplot);
}

// Every layout (a new sample, a zoom, a resize) turns the labels inward again for the axes
// as they now are.
void LiveChart::placeMarks() {
    const auto place = [](QCPItemText* text, QCPItemLine* arrow, int arrowPixels) {
        placeMarkInside(text, arrow, text->property("x").toDouble(), text->property("y").toDouble(),
                        arrowPixels);
    };
    if (lastMark->property("active").toBool())
        place(lastMark, lastArrow, newestArrowPixels);
    for (const auto& [text, arrow] : notes)
        place(text, arrow, noteArrowPixels);
}

void LiveChart::updateLastValueMark(bool measurementStarted, bool deviceError, double minutes,
                                    double od, double calcOd) {
    lastMark->setVisible(false);
    lastArrow->setVisible(false);
    lastMark->setProperty("active", false);
    if (!measurementStarted || deviceError) {
        customPlot->replot(QCustomPlot::rpQueuedReplot);
        return;
    }
    const QString label = shown == ChartParameter::OD ? QStringLiteral("OD") : formulaName;
    double x = minutes, y = shown == ChartParameter::OD ? od : calcOd;
    if (averagingOn) {
        const auto averaged = averagedPoints();
        if (averaged.size() < 2)
            return;
        x = averaged.back().x;
        y = averaged.back().y;
    }
    lastMark->setText(label);
    lastMark->setProperty("x", x);
    lastMark->setProperty("y", y);
    lastMark->setVisible(showLabels);
    lastArrow->setVisible(showLabels);
    lastMark->setProperty("active", true);
    customPlot->replot(QCustomPlot::rpQueuedReplot);
}

std::optional<ChartPoint> LiveChart::lastValueMark() const {
    if (!lastMark->property("active").toBool() || !lastMark->visible())
        return std::nullopt;
    return ChartPoint{lastMark->property("x").toDouble(), lastMark->property("y").toDouble()};
}

QString LiveChart::lastValueMarkText() const {
    return lastMark->text();
}

void LiveChart::reloadNoteMarks() {
    for (auto& [text, arrow] : notes) {
        customPlot->removeItem(text);
        customPlot->removeItem(arrow);
    }
    notes.clear();
    if (showNotes) {
        sqlite3_int64 from = 0;
        for (const auto& row : table.chartRowsSince(from)) {
            if (row.noteS <= 0)
                continue;
            // The marks read the rows in single precision, as the chart's query always has.
            const double x = static_cast<float>(row.minutes);
            const double y = static_cast<float>(shown == ChartParameter::OD ? row.od : row.calcOd);
            QCPItemText* text = markText(customPlot, Qt::darkGreen);
            QCPItemLine* arrow = markArrow(customPlot, Qt::darkGreen);
            text->setText(row.note);
            text->setProperty("x", x);
            text->setProperty("y", y);
            text->setVisible(true);
            arrow->setVisible(true);
            notes.emplace_back(text, arrow);
        }
    }
    customPlot->replot(QCustomPlot::rpQueuedReplot);
}

std::vector<std::pair<ChartPoint, QString>> LiveChart::noteMarks() const {
    std::vector<std::pair<ChartPoint, QString>> marks;
    for (const auto& [text, arrow] : notes)
        marks.push_back(
            {{text->property("x").toDouble(), text->property("y").toDouble()}, text->text()});
    return marks;
}

std::vector<ChartPoint> LiveChart::averagedPoints() const {
    std::vector<ChartPoint> points;
    const QCPGraph* source = shown == ChartParameter::OD ? averageOd : averageCalcOd;
    for (auto it = source->data()->constBegin(); it != source->data()->constEnd(); ++it)
        points.push_back({it->key, it->value});
    return points;
}

AxisRange LiveChart::timeRange() const {
    return {customPlot->xAxis->range().lower, customPlot->xAxis->range().upper};
}

AxisRange LiveChart::valueRange() const {
    return {customPlot->yAxis->range().lower, customPlot->yAxis->range().upper};
}

void LiveChart::setTimeRange(const AxisRange& range) {
    customPlot->xAxis->setRange(range.minimum, range.maximum);
    customPlot->replot(QCustomPlot::rpQueuedReplot);
}

void LiveChart::setValueRange(const AxisRange& range) {
    customPlot->yAxis->setRange(range.minimum, range.maximum);
    customPlot->replot(QCustomPlot::rpQueuedReplot);
}

void LiveChart::rescaleTime() {
    QCPGraph* g = shown == ChartParameter::OD ? seriesOd : seriesCalcOd;
    bool found = false;
    const QCPRange range = g->getKeyRange(found);
    if (found)
        customPlot->xAxis->setRange(range.lower,
                                    range.upper > range.lower ? range.upper : range.lower + 1);
}

void LiveChart::rescaleValue() {
    QCPGraph* g = averagingOn ? (shown == ChartParameter::OD ? averageOd : averageCalcOd)
                              : (shown == ChartParameter::OD ? seriesOd : seriesCalcOd);
    bool found = false;
    const QCPRange range = g->getValueRange(found);
    if (found) {
        const double margin = std::max(0.001, (range.upper - range.lower) * 0.05);
        customPlot->yAxis->setRange(range.lower - margin, range.upper + margin);
    }
}

int LiveChart::pointCount() const {
    return (shown == ChartParameter::OD ? seriesOd : seriesCalcOd)->dataCount();
}
