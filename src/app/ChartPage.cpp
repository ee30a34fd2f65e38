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
    : QObject(parent), ui_(ui), chart_(chart), engine_(engine), prompts_(prompts) {
    // The note panel floats over the chart where the user double-clicked.
    ui.Panel4->setParent(chart.plot());
    ui.Panel4->hide();
    // The chart takes the page's room: the choice strip and the scaling panel keep to the
    // height of their controls, and the zoom box floats in the chart's corner.
    ui.layoutChart->setStretchFactor(ui.ChartArea, 1);
    ui.Panel11->setSizePolicy(ui.Panel11->sizePolicy().horizontalPolicy(), QSizePolicy::Maximum);
    new CornerOverlay(ui.GroupBox3, chart.plot());
    ui.layoutZoomBox->addWidget(ui.NewTrace); // "Trace" belongs with the zoom it follows
    zoom_ = new DragZoom(chart.plot());
    connect(zoom_, &DragZoom::zoomRequested, this, &ChartPage::zoomTo);
    connect(zoom_, &DragZoom::undoRequested, this, &ChartPage::undoZoom);
    connect(zoom_, &DragZoom::doubleClicked, this, &ChartPage::doubleClickAt);
    ui.Edit5->installEventFilter(this);
    chart.plot()->setContextMenuPolicy(Qt::CustomContextMenu);
    buildPopupMenu();
    connect(chart.plot(), &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { menu_->popup(this->chart_.plot()->mapToGlobal(at)); });

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
        zoom_->setEnabled(zoomMode);
        if (zoomMode) {
            this->ui_.Panel4->hide();
            this->ui_.Label10->hide();
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
            valueAxisAutomatic_ = w.leftAutomatic;
        this->chart_.appendNewRows(w, timeAxisAutomatic_ && !this->engine_.chartState().zoomed);
    });
}

void ChartPage::buildPopupMenu() {
    menu_ = new QMenu(chart_.plot());
    menu_->setObjectName(QStringLiteral("PopupMenu1"));
    const auto item = [](QMenu* parent, const char* name, const QString& text) {
        QAction* action = parent->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    QMenu* measurement = menu_->addMenu(QStringLiteral("Measurement"));
    measurement->setObjectName(QStringLiteral("Measurement1"));
    connect(item(measurement, "Start1", QStringLiteral("Start")), &QAction::triggered,
            ui_.StartButton, &QToolButton::click);
    connect(item(measurement, "Pause1", QStringLiteral("Pause")), &QAction::triggered, &engine_,
            &MeasurementEngine::pause);
    connect(item(measurement, "Continue1", QStringLiteral("Continue")), &QAction::triggered,
            &engine_, &MeasurementEngine::continueRun);
    connect(item(measurement, "Stop1", QStringLiteral("Stop")), &QAction::triggered, &engine_,
            &MeasurementEngine::end);
    connect(item(menu_, "SaveAs1", QStringLiteral("Save As...")), &QAction::triggered, &engine_,
            [this] { engine_.saveAs(); });
    connect(item(menu_, "Print1", QStringLiteral("Print")), &QAction::triggered, this,
            &ChartPage::printRequested);

    QMenu* parameter = menu_->addMenu(QStringLiteral("Parameter"));
    parameter->setObjectName(QStringLiteral("ChannelA3"));
    connect(item(parameter, "ODA1", QStringLiteral("OD")), &QAction::triggered, this,
            [this] { switchChartParameter(ChartParameter::OD); });
    connect(item(parameter, "CalcOD1", QStringLiteral("CalcOD")), &QAction::triggered, this,
            [this] { switchChartParameter(ChartParameter::CalcOD); });
    QAction* userDefined = item(menu_, "UserDef1", QStringLiteral("User Def"));
    userDefined->setEnabled(false);
    connect(userDefined, &QAction::triggered, this,
            [this] { switchChartParameter(ChartParameter::CalcOD); });

    showLabels_ = item(menu_, "ShowLabels1", QStringLiteral("Show Labels"));
    showLabels_->setCheckable(true);
    connect(showLabels_, &QAction::toggled, &chart_, &LiveChart::setShowLabels);
    showNotes_ = item(menu_, "ShowNotes2", QStringLiteral("Show Notes"));
    showNotes_->setCheckable(true);
    showNotes_->setChecked(true);
    connect(showNotes_, &QAction::toggled, &chart_, &LiveChart::setShowNotes);
    QAction* scalingPanel = item(menu_, "ScalingMenu1", QStringLiteral("Scaling Panel"));
    scalingPanel->setCheckable(true);
    scalingPanel->setChecked(true);
    scalingPanel->setVisible(false);
    connect(scalingPanel, &QAction::toggled, this, [this](bool on) {
        this->ui_.Panel11->setVisible(on);
        this->ui_.Label44->setVisible(on);
        this->ui_.Label43->setVisible(on);
        if (!on) {
            timeAxisAutomatic_ = true;
            this->chart_.rescaleTime();
        }
    });

    QMenu* average = menu_->addMenu(QStringLiteral("Average"));
    average->setObjectName(QStringLiteral("AvarageMenu"));
    auto* group = new QActionGroup(average);
    averageOff_ = item(average, "AverageOFF1", QStringLiteral("Average OFF"));
    averageOff_->setCheckable(true);
    averageOff_->setChecked(true);
    group->addAction(averageOff_);
    connect(averageOff_, &QAction::triggered, this, [this] { averageItem(std::nullopt); });
    for (const auto& [size, name] : averageItems) {
        QAction* action = item(average, name, QStringLiteral("Average %1").arg(size));
        action->setCheckable(true);
        group->addAction(action);
        const int n = size;
        connect(action, &QAction::triggered, this, [this, n] { averageItem(n); });
    }
    item(menu_, "TimerAlarm", QStringLiteral("Timer Alarm"));
    connect(menu_->findChild<QAction*>(QStringLiteral("TimerAlarm")), &QAction::triggered,
            ui_.SpeedButton3, &QToolButton::click);
    connect(&engine_, &MeasurementEngine::commandsChanged, this, [this] {
        const auto c = this->engine_.commands();
        const auto set = [this](const char* name, bool on) {
            if (QAction* a = menu_->findChild<QAction*>(QString::fromLatin1(name)))
                a->setEnabled(on);
        };
        set("Start1", c.start);
        set("Pause1", c.pause);
        set("Continue1", c.continueRun);
        set("Stop1", c.end);
        set("SaveAs1", c.saveAs);
        menu_->findChild<QMenu*>(QStringLiteral("Measurement1"))->setEnabled(c.measurementMenus);
    });
}

void ChartPage::averageItem(std::optional<int> groupSize) {
    if (!groupSize) {
        averageOff_->setChecked(true);
        chart_.setAveraging(std::nullopt);
    } else if (scale_.measurementStarted) {
        chart_.setAveraging(groupSize);
    } else {
        chart_.setGroupSize(*groupSize); // before the first Start only the size is kept
    }
    const SampleWindowInput last = engine_.windowInput();
    chart_.updateLastValueMark(scale_.measurementStarted, engine_.deviceError(), last.minutes,
                               engine_.od(), engine_.calcOd());
}

void ChartPage::measurementStarted() {
    scale_.measurementStarted = true;
    averageItem(std::nullopt);
    chart_.clearSeries();
    scale_.deltaY = 0;
    timeAxisAutomatic_ = true;
    valueAxisAutomatic_ = true;
    beforeZoom_.reset();
    hideZoomBox();
    ui_.RadioButton_Chart_OD->setChecked(true);
    chart_.setFormulaName(engine_.formula().name);
    chart_.setParameter(ChartParameter::OD);
    if (QAction* userDefined = menu_->findChild<QAction*>(QStringLiteral("UserDef1")))
        userDefined->setEnabled(engine_.formula().enabled);
}

void ChartPage::sampleTaken(const SampleReport& report) {
    chart_.updateLastValueMark(scale_.measurementStarted, report.deviceError, report.minutes,
                               report.od, report.calcOd);
}

void ChartPage::setTimeWindow(double minutes, const QString& indicator) {
    scale_.timeWindow = minutes;
    ui_.Label44->setText(indicator);
    applyTimeWindow();
    applyValueRange();
}

void ChartPage::setDeltaY(double delta, const QString& indicator, bool automaticOff) {
    scale_.deltaY = delta;
    ui_.Label43->setText(indicator);
    if (automaticOff)
        valueAxisAutomatic_ = false;
    applyTimeWindow();
    applyValueRange();
}

void ChartPage::applyTimeWindow() {
    const auto range = timeWindowRange(scale_.timeWindow, engine_.elapsedMilliseconds());
    if (!range) {
        timeAxisAutomatic_ = true;
        chart_.rescaleTime();
        return;
    }
    if (!validAxisRange(*range)) {
        prompts_.showMessage(QStringLiteral("Ooops. Fehler in CalcGraphX!"));
        return;
    }
    timeAxisAutomatic_ = false;
    chart_.setTimeRange(*range);
}

void ChartPage::applyValueRange() {
    const AxisRange range =
        valueButtonRange(scale_, engine_.chartState().parameter, engine_.od(), engine_.calcOd());
    if (!validAxisRange(range)) {
        chart_.setValueRange({-250, 250});
        prompts_.showMessage(QStringLiteral("Ooops. Fehler in CalcGraphY!"));
        return;
    }
    if (!valueAxisAutomatic_)
        chart_.setValueRange(range);
}

void ChartPage::showZoomSpans() {
    const AxisRange time = chart_.timeRange();
    const AxisRange value = chart_.valueRange();
    ui_.Label44->setText(zoomTimeSpanText(time.maximum - time.minimum));
    ui_.Label43->setText(zoomValueSpanText(value.maximum - value.minimum));
    ui_.GroupBox3->show();
    ui_.Label44->show();
    ui_.Label43->show();
}

void ChartPage::hideZoomBox() {
    ui_.GroupBox3->hide();
    ui_.GroupBox3->setTitle(QStringLiteral("Zoom"));
    ui_.NewTrace->hide();
}

void ChartPage::zoomTo(const AxisRange& time, const AxisRange& value) {
    if (!engine_.chartState().zoomed)
        beforeZoom_ = std::make_pair(chart_.timeRange(), chart_.valueRange());
    chart_.setTimeRange(time);
    chart_.setValueRange(value);
    ChartState zoomed = engine_.chartState();
    zoomed.zoomed = true;
    zoomed.traceMode = false;
    engine_.setChartState(zoomed);
    ui_.GroupBox3->setTitle(QStringLiteral("Zoom"));
    ui_.NewTrace->show();
    showZoomSpans();
}

void ChartPage::undoZoom() {
    if (beforeZoom_) {
        chart_.setTimeRange(beforeZoom_->first);
        chart_.setValueRange(beforeZoom_->second);
        beforeZoom_.reset();
    }
    ChartState unzoomed = engine_.chartState();
    unzoomed.zoomed = false;
    unzoomed.traceMode = false;
    engine_.setChartState(unzoomed);
    hideZoomBox();
}

void ChartPage::startTrace() {
    const AxisRange time = chart_.timeRange();
    const AxisRange value = chart_.valueRange();
    ChartState trace = engine_.chartState();
    trace.traceTimeSpan = static_cast<float>(time.maximum - time.minimum);
    trace.traceValueSpan = static_cast<float>(value.maximum - value.minimum);
    trace.traceMode = true;
    engine_.setChartState(trace);
    ui_.NewTrace->hide();
    ui_.GroupBox3->setTitle(QStringLiteral("Trace"));
}

void ChartPage::resetXY() {
    beforeZoom_.reset(); // nothing is restored: the axes go back to automatic
    undoZoom();
    valueAxisAutomatic_ = true;
    chart_.rescaleValue();
    timeAxisAutomatic_ = true;
    scale_.timeWindow = 0;
    chart_.rescaleTime();
}

void ChartPage::switchChartParameter(ChartParameter parameter) {
    ChartState shown = engine_.chartState();
    shown.parameter = parameter;
    engine_.setChartState(shown);
    if (engine_.chartState().zoomed)
        undoZoom();
    {
        const QSignalBlocker block(ui_.RadioButton_Chart_OD);
        if (parameter == ChartParameter::OD)
            ui_.RadioButton_Chart_OD->setChecked(true);
    }
    chart_.setParameter(parameter);
    const AxisWindow window = sampleAxisWindow(engine_.chartState(), engine_.windowInput());
    if (window.changeLeft) {
        valueAxisAutomatic_ = window.leftAutomatic;
        if (window.leftAutomatic)
            chart_.rescaleValue();
        else
            chart_.setValueRange({window.leftMinimum, window.leftMaximum});
    }
    const SampleWindowInput last = engine_.windowInput();
    chart_.updateLastValueMark(scale_.measurementStarted, engine_.deviceError(), last.minutes,
                               engine_.od(), engine_.calcOd());
}

bool ChartPage::noteMode() const {
    return ui_.ChartNote->isChecked();
}

void ChartPage::doubleClickAt(const QPoint& pixel) {
    if (!noteMode())
        return; // zoom mode: zooming is allowed again, nothing else
    notePositionMinutes_ = notePosition(chart_.plot()->xAxis->pixelToCoord(pixel.x()));
    ui_.Panel4->adjustSize();
    // Where it belongs, moved in by the least that keeps it whole inside the chart.
    const QSize room = chart_.plot()->size() - ui_.Panel4->size();
    ui_.Panel4->move(std::clamp(pixel.x() - 105, 0, std::max(0, room.width())),
                     std::clamp(pixel.y() + 10, 0, std::max(0, room.height())));
    ui_.Panel4->show();
    ui_.Panel4->raise();
    ui_.Edit5->setFocus();
}

void ChartPage::saveNote() {
    engine_.attachNote(ui_.Edit5->text(), notePositionMinutes_); // the marks follow notesChanged
    ui_.Edit5->clear();
    ui_.Panel4->hide();
    ui_.ChartZoom->setChecked(true);
}

void ChartPage::abortNote() {
    ui_.Edit5->clear();
    ui_.Panel4->hide();
}

bool ChartPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_.Edit5 && event->type() == QEvent::KeyPress) {
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
