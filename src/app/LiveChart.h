#pragma once

#include "workstation/ChartWindow.h"
#include "workstation/RecordTable.h"

#include <QWidget>

class QCustomPlot;
class QCPGraph;

// The live chart: the working table's rows against the elapsed minutes, fed with only the
// rows added since the last sample.
class LiveChart : public QWidget {
    Q_OBJECT
public:
    explicit LiveChart(RecordTable& table, QWidget* parent = nullptr);

    void setTitleLine(const QString& title);
    void setParameter(ChartParameter parameter);
    // All rows again (Start, a note, a parameter switch).
    void reload();
    // The rows added since the last read, then the axis window of the sample.
    void appendNewRows(const AxisWindow& window);
    int pointCount() const;

    QCustomPlot* plot() const { return customPlot; }

private:
    void addRows(const std::vector<ChartRow>& rows);

    RecordTable& table;
    QCustomPlot* customPlot;
    QCPGraph* curve;
    ChartParameter parameter = ChartParameter::OD;
    sqlite3_int64 lastRowId = 0;
};
