// SPDX-License-Identifier: GPL-3.0-or-later
#include "LiveChart.h"

#include "PlotMarks.h"

#include "TimeSTicker.h"

#include <QVBoxLayout>
#include <cmath>
#include <limits>
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
    : QWidget(parent), table_(table), customPlot_(new QCustomPlot(this)) {
    customPlot_->setObjectName(QStringLiteral("DBChart1"));
    // Long curves are drawn as one polyline: a full day of samples stays quick to redraw.
    customPlot_->setPlottingHint(QCP::phFastPolylines, true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(customPlot_);
    seriesOd_ = curve(customPlot_, QStringLiteral("ChartOD"), Qt::red, 2, 3);
    seriesCalcOd_ = curve(customPlot_, QStringLiteral("Series43"), Qt::red, 2, 2);
    seriesSmooth_ = curve(customPlot_, QStringLiteral("Series3"), Qt::darkGreen, 1, 3);
    averageOd_ = curve(customPlot_, QStringLiteral("Series11"), Qt::red, 2, 0);
    averageCalcOd_ = curve(customPlot_, QStringLiteral("Series48"), Qt::red, 2, 0);
    lastMark_ = markText(customPlot_, Qt::red);
    lastArrow_ = markArrow(customPlot_, Qt::red);
    customPlot_->xAxis->setLabel(QStringLiteral("[Time] hhh:mm"));
    customPlot_->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(new TimeSTicker));
    customPlot_->yAxis->setLabel(QStringLiteral("[OD]"));
    customPlot_->yAxis->setNumberFormat(QStringLiteral("f"));
    customPlot_->yAxis->setNumberPrecision(3);
    customPlot_->legend->setVisible(false);
    customPlot_->plotLayout()->insertRow(0);
    title_ = new QCPTextElement(customPlot_, QString());
    customPlot_->plotLayout()->addElement(0, 0, title_);
    connect(customPlot_, &QCustomPlot::afterLayout, this, &LiveChart::placeMarks);
    setParameter(ChartParameter::OD);
}

void LiveChart::setTitleLine(const QString& text) {
    titleLine_ = text;
    refreshTitle();
}

void LiveChart::setFormulaName(const QString& name) {
    formulaName_ = name;
    refreshTitle();
}

QString LiveChart::titleText() const {
    return title_->text();
}

void LiveChart::refreshTitle() {
    QString text = shown_ == ChartParameter::OD ? titleLine_ : formulaName_;
    if (averagingOn)
        text += QStringLiteral("\nAverage %1 Points").arg(averagePeriod);
    title_->setText(text);
    customPlot_->replot(QCustomPlot::rpQueuedReplot);
}

void LiveChart::setParameter(ChartParameter value) {
    shown_ = value;
    customPlot_->yAxis->setLabel(shown_ == ChartParameter::OD ? QStringLiteral("[OD]")
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
    showLabels_ = on;
    lastMark_->setVisible(on && lastMark_->property("active").toBool());
    lastArrow_->setVisible(lastMark_->visible());
    customPlot_->replot(QCustomPlot::rpQueuedReplot);
}

void LiveChart::setShowNotes(bool on) {
    showNotes_ = on;
    reloadNoteMarks();
}

void LiveChart::setSmoothing(bool on) {
    smoothing_ = on;
    refreshCurves();
}

void LiveChart::clearSeries() {
    rows_.clear();
    gaps_ = 0;
    lastRowId_ = 0;
    lastMark_->setVisible(false);
    lastArrow_->setVisible(false);
    lastMark_->setProperty("active", false);
    refreshCurves();
    reloadNoteMarks();
}

void LiveChart::reload() {
    rows_.clear();
    gaps_ = 0;
    lastRowId_ = 0;
    addRows(table_.chartRowsSince(lastRowId_));
    refreshCurves();
    reloadNoteMarks();
    customPlot_->rescaleAxes();
    customPlot_->replot(QCustomPlot::rpQueuedReplot);
}

void LiveChart::addRows(const std::vector<ChartRow>& newRows) {
    for (const auto& row : newRows) {
        // Samples without a row lie between these two: the line breaks there instead of
        // drawing values nobody measured.
        if (!rows_.empty() && row.number > rows_.back().number + 1) {
            const double between = (rows_.back().minutes + row.minutes) / 2;
            const double nothing = std::numeric_limits<double>::quiet_NaN();
            for (QCPGraph* g : {seriesOd_, seriesCalcOd_, seriesSmooth_})
                g->addData(between, nothing);
            ++gaps_;
        }
        rows_.push_back({row.number, row.minutes, row.od, row.calcOd, row.smoothOd});
        seriesOd_->addData(row.minutes, row.od);
        seriesCalcOd_->addData(row.minutes, row.calcOd);
        if (row.smoothOd)
            seriesSmooth_->addData(row.minutes, *row.smoothOd);
    }
}

// Which series are drawn, and how, for the parameter, the averaging and the smoothing.
void LiveChart::refreshCurves() {
    const bool od = shown_ == ChartParameter::OD;
    seriesOd_->setVisible(od);
    seriesCalcOd_->setVisible(!od);
    seriesSmooth_->setVisible(od && smoothing_ && !averagingOn);
    averageOd_->setVisible(od && averagingOn);
    averageCalcOd_->setVisible(!od && averagingOn);
    seriesOd_->setLineStyle(averagingOn ? QCPGraph::lsNone : QCPGraph::lsLine);
    seriesCalcOd_->setLineStyle(averagingOn ? QCPGraph::lsNone : QCPGraph::lsLine);
    const auto marks = [this](QCPGraph* g, double size) {
        g->setScatterStyle(averagingOn ? QCPScatterStyle(QCPScatterStyle::ssNone)
                                       : pointMark(Qt::red, size));
    };
    marks(seriesOd_, 3);
    marks(seriesCalcOd_, 2);
    if (rows_.empty()) {
        for (QCPGraph* g : {seriesOd_, seriesCalcOd_, seriesSmooth_})
            g->data()->clear();
    }
    averageOd_->data()->clear();
    averageCalcOd_->data()->clear();
    if (averagingOn) {
        std::vector<ChartPoint> source;
        source.reserve(rows_.size());
        for (const auto& row : rows_)
            source.push_back({row.minutes, od ? row.od : row.calcOd});
        QCPGraph* target = od ? averageOd_ : averageCalcOd_;
        for (const auto& p :
             blockAverage(source, averagePeriod,
                          od ? AveragePlacement::LastOfGroup : AveragePlacement::MiddleOfGroup))
            target->addData(p.x, p.y);
    }
    customPlot_->replot(QCustomPlot::rpQueuedReplot);
}

void LiveChart::appendNewRows(const AxisWindow& window, bool timeAxisAutomatic) {
    const auto fresh = table_.chartRowsSince(lastRowId_);
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
    customPlot_->replot(QCustomPlot::rpQueuedReplot);
}

// Every layout (a new sample, a zoom, a resize) turns the labels inward again for the axes
// as they now are.
void LiveChart::placeMarks() {
    const auto place = [](QCPItemText* text, QCPItemLine* arrow, int arrowPixels) {
        placeMarkInside(text, arrow, text->property("x").toDouble(), text->property("y").toDouble(),
                        arrowPixels);
    };
    if (lastMark_->property("active").toBool())
        place(lastMark_, lastArrow_, newestArrowPixels);
    for (const auto& [text, arrow] : notes_)
        place(text, arrow, noteArrowPixels);
}

void LiveChart::updateLastValueMark(bool measurementStarted, bool deviceError, double minutes,
                                    double od, double calcOd) {
    lastMark_->setVisible(false);
    lastArrow_->setVisible(false);
    lastMark_->setProperty("active", false);
    if (!measurementStarted || deviceError) {
        customPlot_->replot(QCustomPlot::rpQueuedReplot);
        return;
    }
    const QString label = shown_ == ChartParameter::OD ? QStringLiteral("OD") : formulaName_;
    double x = minutes, y = shown_ == ChartParameter::OD ? od : calcOd;
    if (averagingOn) {
        const auto averaged = averagedPoints();
        if (averaged.size() < 2)
            return;
        x = averaged.back().x;
        y = averaged.back().y;
    }
    lastMark_->setText(label);
    lastMark_->setProperty("x", x);
    lastMark_->setProperty("y", y);
    lastMark_->setVisible(showLabels_);
    lastArrow_->setVisible(showLabels_);
    lastMark_->setProperty("active", true);
    customPlot_->replot(QCustomPlot::rpQueuedReplot);
}

std::optional<ChartPoint> LiveChart::lastValueMark() const {
    if (!lastMark_->property("active").toBool() || !lastMark_->visible())
        return std::nullopt;
    return ChartPoint{lastMark_->property("x").toDouble(), lastMark_->property("y").toDouble()};
}

QString LiveChart::lastValueMarkText() const {
    return lastMark_->text();
}

void LiveChart::reloadNoteMarks() {
    for (auto& [text, arrow] : notes_) {
        customPlot_->removeItem(text);
        customPlot_->removeItem(arrow);
    }
    notes_.clear();
    if (showNotes_) {
        sqlite3_int64 from = 0;
        for (const auto& row : table_.chartRowsSince(from)) {
            if (row.noteS <= 0)
                continue;
            // The marks read the rows in single precision, as the chart's query always has.
            const double x = static_cast<float>(row.minutes);
            const double y = static_cast<float>(shown_ == ChartParameter::OD ? row.od : row.calcOd);
            QCPItemText* text = markText(customPlot_, Qt::darkGreen);
            QCPItemLine* arrow = markArrow(customPlot_, Qt::darkGreen);
            text->setText(row.note);
            text->setProperty("x", x);
            text->setProperty("y", y);
            text->setVisible(true);
            arrow->setVisible(true);
            notes_.emplace_back(text, arrow);
        }
    }
    customPlot_->replot(QCustomPlot::rpQueuedReplot);
}

std::vector<std::pair<ChartPoint, QString>> LiveChart::noteMarks() const {
    std::vector<std::pair<ChartPoint, QString>> marks;
    for (const auto& [text, arrow] : notes_)
        marks.push_back(
            {{text->property("x").toDouble(), text->property("y").toDouble()}, text->text()});
    return marks;
}

std::vector<ChartPoint> LiveChart::averagedPoints() const {
    std::vector<ChartPoint> points;
    const QCPGraph* source = shown_ == ChartParameter::OD ? averageOd_ : averageCalcOd_;
    for (auto it = source->data()->constBegin(); it != source->data()->constEnd(); ++it)
        points.push_back({it->key, it->value});
    return points;
}

AxisRange LiveChart::timeRange() const {
    return {customPlot_->xAxis->range().lower, customPlot_->xAxis->range().upper};
}

AxisRange LiveChart::valueRange() const {
    return {customPlot_->yAxis->range().lower, customPlot_->yAxis->range().upper};
}

void LiveChart::setTimeRange(const AxisRange& range) {
    customPlot_->xAxis->setRange(range.minimum, range.maximum);
    customPlot_->replot(QCustomPlot::rpQueuedReplot);
}

void LiveChart::setValueRange(const AxisRange& range) {
    customPlot_->yAxis->setRange(range.minimum, range.maximum);
    customPlot_->replot(QCustomPlot::rpQueuedReplot);
}

void LiveChart::rescaleTime() {
    QCPGraph* g = shown_ == ChartParameter::OD ? seriesOd_ : seriesCalcOd_;
    bool found = false;
    const QCPRange range = g->getKeyRange(found);
    if (found)
        customPlot_->xAxis->setRange(range.lower,
                                     range.upper > range.lower ? range.upper : range.lower + 1);
}

void LiveChart::rescaleValue() {
    QCPGraph* g = averagingOn ? (shown_ == ChartParameter::OD ? averageOd_ : averageCalcOd_)
                              : (shown_ == ChartParameter::OD ? seriesOd_ : seriesCalcOd_);
    bool found = false;
    const QCPRange range = g->getValueRange(found);
    if (found) {
        const double margin = std::max(0.001, (range.upper - range.lower) * 0.05);
        customPlot_->yAxis->setRange(range.lower - margin, range.upper + margin);
    }
}

int LiveChart::pointCount() const {
    return (shown_ == ChartParameter::OD ? seriesOd_ : seriesCalcOd_)->dataCount() - gaps_;
}
