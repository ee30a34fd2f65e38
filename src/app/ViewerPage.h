// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ViewerPageWidgets.h"
#include "workstation/ChartWindow.h"
#include "workstation/OpenedMeasurement.h"

#include <QObject>
#include <optional>
#include <vector>

class DragZoom;
class MeasurementEngine;
class UserPrompts;
class QAction;
class QCPGraph;
class QCustomPlot;
class QCPItemLine;
class QCPItemRect;
class QCPItemText;
class QLabel;
class QMenu;

// The viewer page: a saved measurement opened from its file set, its curve in the viewer
// chart DBChart3 (with the working table's curve to compare), its notes, its log and its
// statement. The opened file's values stay for the report and the exports.
class ViewerPage : public QObject {
    Q_OBJECT
public:
    ViewerPage(const ViewerPageWidgets& ui, MeasurementEngine& engine, UserPrompts& prompts,
               QObject* parent = nullptr);

    // "Load": the open dialog, then the file.
    void openMeasurement();
    // The file chosen; false (with "Unable to open file!") when it is no measurement.
    bool openFile(const QString& path);
    void showViewerParameter(ChartParameter parameter);
    void showLog();
    void setCompare(bool on);
    // Showing the page: the zoom box goes.
    void pageShown();

    const std::optional<OpenedMeasurement>& opened() const { return measurement_; }
    ChartParameter parameter() const { return viewerParameter; }
    FlatTest flatTest() const { return flat_; }
    QCustomPlot* chart() const { return plot_; }
    QMenu* popupMenu() const { return menu_; }
    int shownPointCount() const;
    int comparePointCount() const;
    int noteMarkCount() const { return noteMarks_; }
    // The growth panel under the chart, and the band that marks the fitted stretch (null
    // while none is shown).
    QLabel* growthPanel() const { return growthLabel_; }
    QCPItemRect* stretchBand() const { return stretch_; }

signals:
    void reportRequested();
    void printRequested();
    // true: the "Excel" button, which asks first; false: the pop-up item.
    void excelRequested(bool ask);
    void asciiRequested();

private:
    void buildPopupMenu();
    void refreshCompare();
    void resetControls();
    void setAvailable(bool on);
    void reloadViewerNoteMarks();
    void markGrowthStretch();
    void loadPanes();

    const ViewerPageWidgets ui_;
    MeasurementEngine& engine_;
    UserPrompts& prompts_;
    QCustomPlot* plot_;
    QCPGraph* viewerOd_;
    QCPGraph* viewerCalcOd_;
    QCPGraph* compareOd_;
    QCPGraph* compareCalcOd_;
    DragZoom* zoom_;
    QMenu* menu_ = nullptr;
    QAction* compare_ = nullptr;
    QAction* showNotes_ = nullptr;
    std::optional<OpenedMeasurement> measurement_;
    ChartParameter viewerParameter = ChartParameter::OD;
    FlatTest flat_;
    std::optional<std::pair<AxisRange, AxisRange>> beforeZoom_;
    int noteMarks_ = 0;
    std::vector<std::pair<QCPItemText*, QCPItemLine*>> noteItems_; // SeriesViewerNotes
    static constexpr int noteArrowPixels = 20;
    QLabel* growthLabel_;
    QCPItemRect* stretch_ = nullptr;
};
