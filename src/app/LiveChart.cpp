#include "LiveChart.h"

#include <QVBoxLayout>
#include <qcustomplot.h>

LiveChart::LiveChart(RecordTable& table, QWidget* parent)
    : QWidget(parent), table(table), customPlot(new QCustomPlot(this)) {
    customPlot->setObjectName(QStringLiteral("DBChart1"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(customPlot);
    curve = customPlot->addGraph();
    curve->setName(QStringLiteral("ChartOD"));
    curve->setPen(QPen(Qt::red, 2));
    curve->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, Qt::red, Qt::red, 3));
    customPlot->xAxis->setLabel(QStringLiteral("[Time] hhh:mm"));
    customPlot->yAxis->setLabel(QStringLiteral("[OD]"));
    customPlot->plotLayout()->insertRow(0);
    customPlot->plotLayout()->addElement(0, 0, new QCPTextElement(customPlot, QString()));
}

void LiveChart::setTitleLine(const QString& title) {
    if (auto* element = qobject_cast<QCPTextElement*>(customPlot->plotLayout()->element(0, 0)))
        element->setText(title);
    customPlot->replot();
}

void LiveChart::setParameter(ChartParameter value) {
    parameter = value;
    customPlot->yAxis->setLabel(parameter == ChartParameter::OD ? QStringLiteral("[OD]")
                                                                : QStringLiteral("[CalcOD]"));
    reload();
}

void LiveChart::reload() {
    curve->data()->clear();
    lastRowId = 0;
    addRows(table.chartRowsSince(lastRowId));
    customPlot->rescaleAxes();
    customPlot->replot();
}

void LiveChart::addRows(const std::vector<ChartRow>& rows) {
    for (const auto& row : rows)
        curve->addData(row.minutes, parameter == ChartParameter::OD ? row.od : row.calcOd);
}

void LiveChart::appendNewRows(const AxisWindow& window) {
    addRows(table.chartRowsSince(lastRowId));
    customPlot->xAxis->rescale();
    if (window.changeBottom)
        customPlot->xAxis->setRange(window.bottomMinimum, window.bottomMaximum);
    if (window.changeLeft) {
        if (window.leftAutomatic)
            customPlot->yAxis->rescale();
        else
            customPlot->yAxis->setRange(window.leftMinimum, window.leftMaximum);
    }
    customPlot->replot(QCustomPlot::rpQueuedReplot);
}

int LiveChart::pointCount() const { return curve->dataCount(); }
