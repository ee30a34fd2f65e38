// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartPage.h"

#include "CornerOverlay.h"
#include "DragZoom.h"
#include "LiveChart.h"
#include "workstation/MeasurementEngine.h"

#include <QActionGroup>
#include <QBoxLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QToolButton>
#include <algorithm>
#include <qcustomplot.h>

namespace {
const std::pair<int, const char*> averageItems[] = {
    {3, "Avarage31"}, {5, "Avarage51"}, {10, "Avarage101"}, {20, "Avarage201"}, {30, "Avarage301"}};
}

ChartPage::ChartPage(const ChartPageWidgets& ui, LiveChart& chart, MeasurementEngine& engine,
                     UserPrompts& prompts, QObject* parent)
    : QObject(parent), ui(ui), chart(chart), engine(engine), prompts(prompts) {
    // The note panel floats over the chart where the user double-clicked.
    ui.Panel4->setParent(chart.plot());
    ui.Panel4->hide();
    // The chart takes the page's room: the choice strip and the scaling panel keep to the
    // height of their controls, and the zoom box floats in the chart's corner.
    ui.layoutChart->setStretchFactor(ui.ChartArea, 1);
    ui.Panel11->setSizePolicy(ui.Panel11->sizePolicy().horizontalPolicy(), QSizePolicy::Maximum);
    new CornerOverlay(ui.GroupBox3, chart.plot());
    ui.layoutZoomBox->addWidget(ui.NewTrace); // "Trace" belongs with the zoom it follows
    zoom = new DragZoom(chart.plot());
    connect(zoom, &DragZoom::zoomRequested, this, &ChartPage::zoomTo);
    connect(zoom, &DragZoom::undoRequested, this, &ChartPage::undoZoom);
    connect(zoom, &DragZoom::doubleClicked, this, &ChartPage::doubleClickAt);
    ui.Edit5->installEventFilter(this);
    chart.plot()->setContextMenuPolicy(Qt::CustomContextMenu);
    buildPopupMenu();
    connect(chart.plot(), &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { menu->popup(this->chart.plot()->mapToGlobal(at)); });

    const std::pair<QToolButton*, std::pair<double, const char*>> timeButtons[] = {
        {ui.SpeedButton32, {2, "Time 2min"}},   {ui.SpeedButton33, {10, "Time 10min"}},
        {ui.SpeedButton34, {30, "Time 1/2hr"}}, {ui.SpeedButton35, {60, "Time 1hr"}},
        {ui.SpeedButton36, {120, "Time 2hr"}},  {ui.SpeedButton37, {240, "Time 4hr"}}};
    connect(ui.SpeedButton20, &QToolButton::clicked, this,
            [this] { setTimeWindow(0, QStringLiteral("Time Auto")); });
    for (const auto& [button, setting] : timeButtons) {
        const double minutes = setting.first;
        const QString indicator = QString::fromLatin1(setting.second);
        connect(button, &QToolButton::clicked, this,
                [this, minutes, indicator] { setTimeWindow(minutes, indicator); });
    }
    connect(ui.SpeedButton30, &QToolButton::clicked, this,
            [this] { setDeltaY(0, QStringLiteral("Y All"), false); });
    const std::pair<QToolButton*, double> valueButtons[] = {{ui.SpeedButton15, 0.01},
                                                            {ui.SpeedButton16, 0.1},
                                                            {ui.SpeedButton17, 1},
                                                            {ui.SpeedButton18, 10}};
    for (const auto& [button, delta] : valueButtons) {
        const double d = delta;
        connect(button, &QToolButton::clicked, this,
                [this, d] { setDeltaY(d, QStringLiteral("+/- ") + QString::number(d), true); });
    }
    connect(ui.SpeedButton31, &QToolButton::clicked, this, &ChartPage::resetXY);
    connect(ui.NewTrace, &QToolButton::clicked, this, &ChartPage::startTrace);
    connect(ui.ChartZoom, &QRadioButton::toggled, this, [this](bool zoomMode) {
        zoom->setEnabled(zoomMode);
        if (zoomMode) {
            this->ui.Panel4->hide();
            this->ui.Label10->hide();
        }
    });
    connect(ui.RadioButton_Chart_OD, &QRadioButton::toggled, this, [this](bool od) {
        switchChartParameter(od ? ChartParameter::OD : ChartParameter::CalcOD);
    });
    connect(ui.SpeedButton_SaveNote, &QToolButton::clicked, this, &ChartPage::saveNote);
    connect(ui.SpeedButton_AbortNote, &QToolButton::clicked, this, &ChartPage::abortNote);

    connect(&engine, &MeasurementEngine::measurementStarted, this, &ChartPage::measurementStarted);
    connect(&engine, &MeasurementEngine::notesChanged, &chart, &LiveChart::reloadNoteMarks);
    connect(&engine, &MeasurementEngine::sampleTaken, this, &ChartPage::sampleTaken);
    connect(&engine, &MeasurementEngine::axisWindowChanged, this, [this](const AxisWindow& w) {
        if (w.changeLeft)
            valueAxisAutomatic = w.leftAutomatic;
        this->chart.appendNewRows(w, timeAxisAutomatic && !this->engine.chartState().zoomed);
    });
}

void ChartPage::buildPopupMenu() {
    menu = new QMenu(chart.plot());
    menu->setObjectName(QStringLiteral("PopupMenu1"));
    const auto item = [](QMenu* parent, const char* name, const QString& text) {
        QAction* action = parent->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    QMenu* measurement = menu->addMenu(QStringLiteral("Measurement"));
    measurement->setObjectName(QStringLiteral("Measurement1"));
    connect(item(measurement, "Start1", QStringLiteral("Start")), &QAction::triggered,
            ui.StartButton, &QToolButton::click);
    connect(item(measurement, "Pause1", QStringLiteral("Pause")), &QAction::triggered, &engine,
            &MeasurementEngine::pause);
    connect(item(measurement, "Continue1", QStringLiteral("Continue")), &QAction::triggered,
            &engine, &MeasurementEngine::continueRun);
    connect(item(measurement, "Stop1", QStringLiteral("Stop")), &QAction::triggered, &engine,
            &MeasurementEngine::end);
    connect(item(menu, "SaveAs1", QStringLiteral("Save As...")), &QAction::triggered, &engine,
            [this] { engine.saveAs(); });
    connect(item(menu, "Print1", QStringLiteral("Print")), &QAction::triggered, this,
            &ChartPage::printRequested);

    QMenu* parameter = menu->addMenu(QStringLiteral("Parameter"));
    parameter->setObjectName(QStringLiteral("ChannelA3"));
    connect(item(parameter, "ODA1", QStringLiteral("OD")), &QAction::triggered, this,
            [this] { switchChartParameter(ChartParameter::OD); });
    connect(item(parameter, "CalcOD1", QStringLiteral("CalcOD")), &QAction::triggered, this,
            [this] { switchChartParameter(ChartParameter::CalcOD); });
    QAction* userDefined = item(menu, "UserDef1", QStringLiteral("User Def"));
    userDefined->setEnabled(false);
    connect(userDefined, &QAction::triggered, this,
            [this] { switchChartParameter(ChartParameter::CalcOD); });

    showLabels = item(menu, "ShowLabels1", QStringLiteral("Show Labels"));
    showLabels->setCheckable(true);
    connect(showLabels, &QAction::toggled, &chart, &LiveChart::setShowLabels);
    showNotes = item(menu, "ShowNotes2", QStringLiteral("Show Notes"));
    showNotes->setCheckable(true);
    showNotes->setChecked(true);
    connect(showNotes, &QAction::toggled, &chart, &LiveChart::setShowNotes);
    QAction* scalingPanel = item(menu, "ScalingMenu1", QStringLiteral("Scaling Panel"));
    scalingPanel->setCheckable(true);
    scalingPanel->setChecked(true);
    scalingPanel->setVisible(false);
    connect(scalingPanel, &QAction::toggled, this, [this](bool on) {
        this->ui.Panel11->setVisible(on);
        this->ui.Label44->setVisible(on);
        this->ui.Label43->setVisible(on);
        if (!on) {
            timeAxisAutomatic = true;
            this->chart.rescaleTime();
        }
    });

    QMenu* average = menu->addMenu(QStringLiteral("Average"));
    average->setObjectName(QStringLiteral("AvarageMenu"));
    auto* group = new QActionGroup(average);
    averageOff = item(average, "AverageOFF1", QStringLiteral("Average OFF"));
    averageOff->setCheckable(true);
    averageOff->setChecked(true);
    group->addAction(averageOff);
    connect(averageOff, &QAction::triggered, this, [this] { averageItem(std::nullopt); });
    for (const auto& [size, name] : averageItems) {
        QAction* action = item(average, name, QStringLiteral("Average %1").arg(size));
        action->setCheckable(true);
        group->addAction(action);
        const int n = size;
        connect(action, &QAction::triggered, this, [this, n] { averageItem(n); });
    }
    item(menu, "TimerAlarm", QStringLiteral("Timer Alarm"));
    connect(menu->findChild<QAction*>(QStringLiteral("TimerAlarm")), &QAction::triggered,
            ui.SpeedButton3, &QToolButton::click);
    connect(&engine, &MeasurementEngine::commandsChanged, this, [this] {
        const auto c = this->engine.commands();
        const auto set = [this](const char* name, bool on) {
            if (QAction* a = menu->findChild<QAction*>(QString::fromLatin1(name)))
                a->setEnabled(on);
        };
        set("Start1", c.start);
        set("Pause1", c.pause);
        set("Continue1", c.continueRun);
        set("Stop1", c.end);
        set("SaveAs1", c.saveAs);
        menu->findChild<QMenu*>(QStringLiteral("Measurement1"))->setEnabled(c.measurementMenus);
    });
}

void ChartPage::averageItem(std::optional<int> groupSize) {
    if (!groupSize) {
        averageOff->setChecked(true);
        chart.setAveraging(std::nullopt);
    } else if (scale.measurementStarted) {
        chart.setAveraging(groupSize);
    } else {
        chart.setGroupSize(*groupSize); // before the first Start only the size is kept
    }
    const SampleWindowInput last = engine.windowInput();
    chart.updateLastValueMark(scale.measurementStarted, engine.deviceError(), last.minutes,
                              engine.od(), engine.calcOd());
}

void ChartPage::measurementStarted() {
    scale.measurementStarted = true;
    averageItem(std::nullopt);
    chart.clearSeries();
    scale.deltaY = 0;
    timeAxisAutomatic = true;
    valueAxisAutomatic = true;
    beforeZoom.reset();
    hideZoomBox();
    ui.RadioButton_Chart_OD->setChecked(true);
    chart.setFormulaName(engine.formula().name);
    chart.setParameter(ChartParameter::OD);
    if (QAction* userDefined = menu->findChild<QAction*>(QStringLiteral("UserDef1")))
        userDefined->setEnabled(engine.formula().enabled);
}

void ChartPage::sampleTaken(const SampleReport& report) {
    chart.updateLastValueMark(scale.measurementStarted, report.deviceError, report.minutes,
                              report.od, report.calcOd);
}

void ChartPage::setTimeWindow(double minutes, const QString& indicator) {
    scale.timeWindow = minutes;
    ui.Label44->setText(indicator);
    applyTimeWindow();
    applyValueRange();
}

void ChartPage::setDeltaY(double delta, const QString& indicator, bool automaticOff) {
    scale.deltaY = delta;
    ui.Label43->setText(indicator);
    if (automaticOff)
        valueAxisAutomatic = false;
    applyTimeWindow();
    applyValueRange();
}

void ChartPage::applyTimeWindow() {
    const auto range = timeWindowRange(scale.timeWindow, engine.elapsedMilliseconds());
    if (!range) {
        timeAxisAutomatic = true;
        chart.rescaleTime();
        return;
    }
    if (!validAxisRange(*range)) {
        prompts.showMessage(QStringLiteral("Ooops. Fehler in CalcGraphX!"));
        return;
    }
    timeAxisAutomatic = false;
    chart.setTimeRange(*range);
}

void ChartPage::applyValueRange() {
    const AxisRange range =
        valueButtonRange(scale, engine.chartState().parameter, engine.od(), engine.calcOd());
    if (!validAxisRange(range)) {
        chart.setValueRange({-250, 250});
        prompts.showMessage(QStringLiteral("Ooops. Fehler in CalcGraphY!"));
        return;
    }
    if (!valueAxisAutomatic)
        chart.setValueRange(range);
}

void ChartPage::showZoomSpans() {
    const AxisRange time = chart.timeRange();
    const AxisRange value = chart.valueRange();
    ui.Label44->setText(zoomTimeSpanText(time.maximum - time.minimum));
    ui.Label43->setText(zoomValueSpanText(value.maximum - value.minimum));
    ui.GroupBox3->show();
    ui.Label44->show();
    ui.Label43->show();
}

void ChartPage::hideZoomBox() {
    ui.GroupBox3->hide();
    ui.GroupBox3->setTitle(QStringLiteral("Zoom"));
    ui.NewTrace->hide();
}

void ChartPage::zoomTo(const AxisRange& time, const AxisRange& value) {
    if (!engine.chartState().zoomed)
        beforeZoom = std::make_pair(chart.timeRange(), chart.valueRange());
    chart.setTimeRange(time);
    chart.setValueRange(value);
    ChartState zoomed = engine.chartState();
    zoomed.zoomed = true;
    zoomed.traceMode = false;
    engine.setChartState(zoomed);
    ui.GroupBox3->setTitle(QStringLiteral("Zoom"));
    ui.NewTrace->show();
    showZoomSpans();
}

void ChartPage::undoZoom() {
    if (beforeZoom) {
        chart.setTimeRange(beforeZoom->first);
        chart.setValueRange(beforeZoom->second);
        beforeZoom.reset();
    }
    ChartState unzoomed = engine.chartState();
    unzoomed.zoomed = false;
    unzoomed.traceMode = false;
    engine.setChartState(unzoomed);
    hideZoomBox();
}

void ChartPage::startTrace() {
    const AxisRange time = chart.timeRange();
    const AxisRange value = chart.valueRange();
    ChartState trace = engine.chartState();
    trace.traceTimeSpan = static_cast<float>(time.maximum - time.minimum);
    trace.traceValueSpan = static_cast<float>(value.maximum - value.minimum);
    trace.traceMode = true;
    engine.setChartState(trace);
    ui.NewTrace->hide();
    ui.GroupBox3->setTitle(QStringLiteral("Trace"));
}

void ChartPage::resetXY() {
    beforeZoom.reset(); // nothing is restored: the axes go back to automatic
    undoZoom();
    valueAxisAutomatic = true;
    chart.rescaleValue();
    timeAxisAutomatic = true;
    scale.timeWindow = 0;
    chart.rescaleTime();
}

void ChartPage::switchChartParameter(ChartParameter parameter) {
    ChartState shown = engine.chartState();
    shown.parameter = parameter;
    engine.setChartState(shown);
    if (engine.chartState().zoomed)
        undoZoom();
    {
        const QSignalBlocker block(ui.RadioButton_Chart_OD);
        if (parameter == ChartParameter::OD)
            ui.RadioButton_Chart_OD->setChecked(true);
    }
    chart.setParameter(parameter);
    const AxisWindow window = sampleAxisWindow(engine.chartState(), engine.windowInput());
    if (window.changeLeft) {
        valueAxisAutomatic = window.leftAutomatic;
        if (window.leftAutomatic)
            chart.rescaleValue();
        else
            chart.setValueRange({window.leftMinimum, window.leftMaximum});
    }
    const SampleWindowInput last = engine.windowInput();
    chart.updateLastValueMark(scale.measurementStarted, engine.deviceError(), last.minutes,
                              engine.od(), engine.calcOd());
}

bool ChartPage::noteMode() const {
    return ui.ChartNote->isChecked();
}

void ChartPage::doubleClickAt(const QPoint& pixel) {
    if (!noteMode())
        return; // zoom mode: zooming is allowed again, nothing else
    notePositionMinutes = notePosition(chart.plot()->xAxis->pixelToCoord(pixel.x()));
    ui.Panel4->adjustSize();
    // Where it belongs, moved in by the least that keeps it whole inside the chart.
    const QSize room = chart.plot()->size() - ui.Panel4->size();
    ui.Panel4->move(std::clamp(pixel.x() - 105, 0, std::max(0, room.width())),
                    std::clamp(pixel.y() + 10, 0, std::max(0, room.height())));
    ui.Panel4->show();
    ui.Panel4->raise();
    ui.Edit5->setFocus();
}

void ChartPage::saveNote() {
    engine.attachNote(ui.Edit5->text(), notePositionMinutes); // the marks follow notesChanged
    ui.Edit5->clear();
    ui.Panel4->hide();
    ui.ChartZoom->setChecked(true);
}

void ChartPage::abortNote() {
    ui.Edit5->clear();
    ui.Panel4->hide();
}

bool ChartPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui.Edit5 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            saveNote();
            return true;
        }
        if (key == Qt::Key_Escape) {
            abortNote();
            return true;
        }
        return false;
    }
    return false;
}
