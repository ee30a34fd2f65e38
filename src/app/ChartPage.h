// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ChartPageWidgets.h"
#include "workstation/ChartWindow.h"

#include <QObject>
#include <QPoint>
#include <optional>

class LiveChart;
class MeasurementEngine;
class UserPrompts;
class QMenu;
class QMouseEvent;
class QAction;
class DragZoom;
struct SampleReport;

// The chart page of the main window: the scaling panel, zoom and follow mode, note mode with
// its panel, the parameter choice, averaging and the chart's pop-up menu, over the live chart.
class ChartPage : public QObject {
    Q_OBJECT
public:
    ChartPage(const ChartPageWidgets& ui, LiveChart& chart, MeasurementEngine& engine,
              UserPrompts& prompts, QObject* parent = nullptr);

    // The two reactions of the zoom, and follow mode.
    void zoomTo(const AxisRange& time, const AxisRange& value);
    void undoZoom();
    void startTrace();
    void resetXY();
    void applyTimeWindow();
    void applyValueRange();
    void switchChartParameter(ChartParameter parameter);
    // Note mode: a double click at a chart pixel opens the note panel there.
    void doubleClickAt(const QPoint& pixel);
    void saveNote();
    void abortNote();
    void averageItem(std::optional<int> groupSize);

    QMenu* popupMenu() const { return menu_; }
    ChartScaling& scaling() { return scale_; }
    float currentNotePosition() const { return notePositionMinutes_; }

signals:
    void printRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildPopupMenu();
    void measurementStarted();
    void sampleTaken(const SampleReport& report);
    void setTimeWindow(double minutes, const QString& indicator);
    void setDeltaY(double delta, const QString& indicator, bool automaticOff);
    void showZoomSpans();
    void hideZoomBox();
    bool noteMode() const;

    const ChartPageWidgets ui_;
    LiveChart& chart_;
    MeasurementEngine& engine_;
    UserPrompts& prompts_;
    QMenu* menu_ = nullptr;
    QAction* showLabels_ = nullptr;
    QAction* showNotes_ = nullptr;
    QAction* averageOff_ = nullptr;
    ChartScaling scale_;
    bool timeAxisAutomatic_ = true;
    bool valueAxisAutomatic_ = true;
    std::optional<std::pair<AxisRange, AxisRange>> beforeZoom_;
    float notePositionMinutes_ = 0;
    DragZoom* zoom_ = nullptr;
};
