// SPDX-License-Identifier: GPL-3.0-or-later
#include "ViewerPage.h"

#include "CornerOverlay.h"
#include "DragZoom.h"
#include "PlotMarks.h"
#include "TimeSTicker.h"
#include "workstation/EngineEnvironment.h"
#include "workstation/GrowthTexts.h"
#include "workstation/MeasurementEngine.h"
#include "workstation/RtfText.h"
#include "workstation/TextFile.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <qcustomplot.h>

namespace {

QCPGraph* viewerCurve(QCustomPlot* plot, const QString& name, const QColor& colour,
                      QCPScatterStyle::ScatterShape shape, double size) {
    QCPGraph* graph = plot->addGraph();
    graph->setName(name);
    graph->setPen(QPen(colour, 2));
    graph->setScatterStyle(QCPScatterStyle(shape, QPen(Qt::NoPen), QBrush(colour), size));
    graph->setVisible(false);
    return graph;
}

void fill(QCPGraph* graph, const std::vector<RecordRow>& rows, ChartParameter parameter) {
    QVector<double> keys, values;
    keys.reserve(static_cast<int>(rows.size()));
    values.reserve(static_cast<int>(rows.size()));
    for (const auto& row : rows) {
        if (const auto point = chartPoint(row, parameter)) {
            keys << point->first;
            values << point->second;
        }
    }
    graph->setData(keys, values, true);
}

} // namespace

ViewerPage::ViewerPage(const ViewerPageWidgets& ui, MeasurementEngine& engine, UserPrompts& prompts,
                       QObject* parent)
    : QObject(parent), ui(ui), engine(engine), prompts(prompts),
      plot(new QCustomPlot(ui.ViewerArea)), growthLabel(new QLabel(ui.ViewerArea)) {
    plot->setObjectName(QStringLiteral("DBChart3"));
    // The chart takes the page's room; the growth figures keep to one line under it, and in
    // Log mode the panes take the chart's place.
    auto* area = static_cast<QBoxLayout*>(ui.ViewerArea->layout());
    area->addWidget(plot, 1);
    growthLabel->setObjectName(QStringLiteral("LabelGrowth"));
    growthLabel->setFrameShape(QFrame::StyledPanel);
    growthLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    growthLabel->setWordWrap(false);
    growthLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    area->addWidget(growthLabel, 0);
    ui.layoutViewer->setStretchFactor(ui.ViewerArea, 1);
    ui.layoutViewer->setStretchFactor(ui.GroupBox22, 1);
    // The zoom box floats in the chart's corner instead of widening the button row.
    new CornerOverlay(ui.GroupBox18, plot);
    // Note labels are turned inward again for every layout: zoom, resize, printing.
    connect(plot, &QCustomPlot::afterLayout, this, [this] {
        for (const auto& [text, arrow] : noteItems)
            placeMarkInside(text, arrow, text->property("x").toDouble(),
                            text->property("y").toDouble(), noteArrowPixels);
    });
    plot->setPlottingHint(QCP::phFastPolylines, true);
    plot->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(new TimeSTicker));
    plot->yAxis->setNumberFormat(QStringLiteral("f"));
    plot->yAxis->setNumberPrecision(3);
    plot->plotLayout()->insertRow(0);
    auto* title = new QCPTextElement(plot, QString(), QFont(QString(), 10, QFont::Bold));
    title->setTextColor(Qt::blue);
    plot->plotLayout()->addElement(0, 0, title);
    viewerOd =
        viewerCurve(plot, QStringLiteral("ViewerOD"), Qt::darkGreen, QCPScatterStyle::ssDisc, 3);
    viewerCalcOd = viewerCurve(plot, QStringLiteral("ViewerCalcOD"), Qt::darkGreen,
                               QCPScatterStyle::ssDisc, 3);
    compareOd =
        viewerCurve(plot, QStringLiteral("CompareOD"), Qt::red, QCPScatterStyle::ssSquare, 2);
    compareCalcOd =
        viewerCurve(plot, QStringLiteral("CompareCalcOD"), Qt::red, QCPScatterStyle::ssSquare, 2);

    zoom = new DragZoom(plot);
    connect(zoom, &DragZoom::zoomRequested, this, [this](const AxisRange& t, const AxisRange& v) {
        if (!beforeZoom)
            beforeZoom =
                std::make_pair(AxisRange{plot->xAxis->range().lower, plot->xAxis->range().upper},
                               AxisRange{plot->yAxis->range().lower, plot->yAxis->range().upper});
        plot->xAxis->setRange(t.minimum, t.maximum);
        plot->yAxis->setRange(v.minimum, v.maximum);
        this->ui.Label23->setText(zoomTimeSpanText(t.maximum - t.minimum));
        this->ui.Label25->setText(zoomValueSpanText(v.maximum - v.minimum));
        this->ui.GroupBox18->show();
    });
    connect(zoom, &DragZoom::undoRequested, this, [this] {
        if (beforeZoom) {
            plot->xAxis->setRange(beforeZoom->first.minimum, beforeZoom->first.maximum);
            plot->yAxis->setRange(beforeZoom->second.minimum, beforeZoom->second.maximum);
            beforeZoom.reset();
        }
        this->ui.GroupBox18->hide();
    });

    // The compare curve is the working table as it is now: every stored sample, a Start that
    // empties it, a note.
    connect(&engine, &MeasurementEngine::sampleTaken, this, [this](const SampleReport& report) {
        if (report.stored)
            refreshCompare();
    });
    connect(&engine, &MeasurementEngine::measurementStarted, this, &ViewerPage::refreshCompare);
    connect(&engine, &MeasurementEngine::notesChanged, this, &ViewerPage::refreshCompare);

    buildPopupMenu();
    plot->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(plot, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { menu->popup(plot->mapToGlobal(at)); });
    connect(ui.SpeedButton23, &QToolButton::clicked, this, &ViewerPage::openMeasurement);
    connect(ui.RadioButton5, &QRadioButton::clicked, this,
            [this] { showViewerParameter(ChartParameter::OD); });
    connect(ui.RadioButton8, &QRadioButton::clicked, this,
            [this] { showViewerParameter(ChartParameter::CalcOD); });
    connect(ui.RadioButton26, &QRadioButton::clicked, this, &ViewerPage::showLog);
    connect(ui.SpeedButton27, &QToolButton::clicked, this, &ViewerPage::reportRequested);
    connect(ui.SpeedButton24, &QToolButton::clicked, this, [this] { emit excelRequested(true); });
    connect(ui.SpeedButton45, &QToolButton::clicked, this, &ViewerPage::asciiRequested);
    resetControls();
    showNotes->setEnabled(false);
}

void ViewerPage::buildPopupMenu() {
    menu = new QMenu(plot);
    menu->setObjectName(QStringLiteral("PopupMenuViewer"));
    const auto item = [this](const char* name, const QString& text) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    connect(item("Load1", QStringLiteral("Open")), &QAction::triggered, this,
            &ViewerPage::openMeasurement);
    compare = item("Compare1", QStringLiteral("Compare"));
    compare->setCheckable(true);
    connect(compare, &QAction::triggered, this, [this](bool on) { setCompare(on); });
    showNotes = item("ShowNotes1", QStringLiteral("Show Notes"));
    showNotes->setCheckable(true);
    showNotes->setChecked(true);
    connect(showNotes, &QAction::toggled, this, [this] { reloadViewerNoteMarks(); });
    connect(item("CreateReport", QStringLiteral("Create Report")), &QAction::triggered, this,
            &ViewerPage::reportRequested);
    connect(item("Print2", QStringLiteral("Print")), &QAction::triggered, this,
            &ViewerPage::printRequested);
    connect(item("ExtracttoExcel1", QStringLiteral("Export opened File to Excel")),
            &QAction::triggered, this, [this] { emit excelRequested(false); });
    connect(item("ExtracttoPlotIT1", QStringLiteral("Export opened File to ASCII")),
            &QAction::triggered, this, &ViewerPage::asciiRequested);
}

void ViewerPage::setAvailable(bool on) {
    for (const char* name :
         {"Compare1", "CreateReport", "Print2", "ExtracttoExcel1", "ExtracttoPlotIT1"})
        menu->findChild<QAction*>(QString::fromLatin1(name))->setEnabled(on);
    if (on)
        showNotes->setEnabled(true); // once a file was opened it stays available
    for (QWidget* w :
         {static_cast<QWidget*>(ui.RadioButton5), static_cast<QWidget*>(ui.RadioButton8),
          static_cast<QWidget*>(ui.RadioButton26)})
        w->setEnabled(on);
    for (QToolButton* b : {ui.SpeedButton27, ui.SpeedButton24, ui.SpeedButton45}) {
        b->setEnabled(on);
        b->setVisible(on);
    }
}

// The state of a viewer with no file: OD chosen, nothing else available.
void ViewerPage::resetControls() {
    plot->xAxis->setLabel(QString());
    plot->yAxis->setLabel(QString());
    if (auto* title = qobject_cast<QCPTextElement*>(plot->plotLayout()->element(0, 0)))
        title->setText(QString());
    beforeZoom.reset();
    ui.GroupBox18->hide();
    ui.RadioButton5->setChecked(true);
    setAvailable(false);
    compare->setChecked(false);
    ui.GroupBox22->hide();
    ui.ViewerArea->show();
    plot->show();
    for (QCPGraph* g : {viewerOd, viewerCalcOd, compareOd, compareCalcOd})
        g->setVisible(false);
    plot->clearItems();
    noteItems.clear();
    stretch = nullptr;
    noteMarks = 0;
    growthLabel->clear();
    growthLabel->setToolTip(QString());
    growthLabel->hide();
    plot->replot();
}

void ViewerPage::openMeasurement() {
    resetControls();
    const QString chosen =
        prompts.askOpenFileName(QStringLiteral("Load Brevimo Database"), QDir::homePath(),
                                QStringLiteral("Talvessa|*.nph|ALL|*.*"));
    if (chosen.isEmpty())
        return;
    openFile(chosen);
}

bool ViewerPage::openFile(const QString& path) {
    resetControls();
    bool ok = true;
    try {
        measurement = OpenedMeasurement::open(path);
    } catch (const std::exception&) {
        ok = false;
    }
    if (ok) {
        if (auto* title = qobject_cast<QCPTextElement*>(plot->plotLayout()->element(0, 0)))
            title->setText(measurement->titleLine);
        fill(viewerOd, measurement->rows, ChartParameter::OD);
        fill(viewerCalcOd, measurement->rows, ChartParameter::CalcOD);
        // One line under the chart; the intervals and the method in full when pointed at.
        growthLabel->setText(GrowthTexts::joined(measurement->growth, QStringLiteral("    "),
                                                 GrowthTexts::Detail::OneLine));
        growthLabel->setToolTip(GrowthTexts::joined(measurement->growth, QStringLiteral("\n")));
        growthLabel->show();
        setAvailable(true);
        showViewerParameter(ChartParameter::OD);
    } else {
        prompts.showMessage(QStringLiteral("Unable to open file!"));
        resetControls();
    }
    // The panes show the set of the last file that opened, even after a failed open.
    if (measurement)
        loadPanes();
    return ok;
}

void ViewerPage::loadPanes() {
    ui.RichEdit4->setPlainText(QStringLiteral("Log File Viewer"));
    ui.RichEdit5->setPlainText(QStringLiteral("Statement File Viewer"));
    try {
        ui.RichEdit4->setPlainText(RtfText::read(TextFile::read(measurement->logPath)));
        QString statement = TextFile::decode(TextFile::read(measurement->statementPath));
        statement.remove(QLatin1Char('\r'));
        ui.RichEdit5->setPlainText(statement);
    } catch (const std::exception& e) {
        prompts.showMessage(QString::fromUtf8(e.what()));
    }
}

void ViewerPage::showViewerParameter(ChartParameter parameter) {
    viewerParameter = parameter;
    if (parameter == ChartParameter::OD)
        ui.RadioButton5->setChecked(true);
    else
        ui.RadioButton8->setChecked(true);
    plot->show();
    ui.ViewerArea->show();
    ui.GroupBox22->hide();
    plot->yAxis->setLabel(parameter == ChartParameter::OD ? QStringLiteral("[OD]")
                                                          : QStringLiteral("[CalcOD]"));
    viewerOd->setVisible(parameter == ChartParameter::OD);
    viewerCalcOd->setVisible(parameter == ChartParameter::CalcOD);
    compareOd->setVisible(false);
    compareCalcOd->setVisible(false);
    if (measurement)
        flat = testViewerFlat(measurement->rows, parameter);
    plot->rescaleAxes(true);
    if (flat.flat)
        plot->yAxis->setRange(flat.firstValue - 0.01, flat.firstValue + 0.01);
    if (compare->isChecked()) {
        QCPGraph* curve = parameter == ChartParameter::OD ? compareOd : compareCalcOd;
        fill(curve, engine.table().allRows(), parameter);
        curve->setVisible(true);
        plot->rescaleAxes(true);
    }
    reloadViewerNoteMarks();
}

void ViewerPage::refreshCompare() {
    if (!compare->isChecked() || !measurement)
        return;
    QCPGraph* curve = viewerParameter == ChartParameter::OD ? compareOd : compareCalcOd;
    fill(curve, engine.table().allRows(), viewerParameter);
    if (!beforeZoom) // a zoomed view stays where the user put it
        plot->rescaleAxes(true);
    plot->replot();
}

void ViewerPage::setCompare(bool on) {
    compare->setChecked(on);
    showViewerParameter(viewerParameter);
}

void ViewerPage::showLog() {
    plot->hide();
    ui.ViewerArea->hide();
    ui.GroupBox22->show();
}

void ViewerPage::pageShown() {
    ui.GroupBox18->hide();
}

void ViewerPage::reloadViewerNoteMarks() {
    plot->clearItems();
    noteItems.clear();
    stretch = nullptr;
    noteMarks = 0;
    markGrowthStretch();
    if (measurement && showNotes->isChecked()) {
        for (const auto& row : measurement->rows) {
            const auto point = chartPoint(row, viewerParameter);
            if (!(row.noteS > 0) || !point)
                continue;
            const double x = static_cast<float>(point->first);
            const double y = static_cast<float>(point->second);
            auto* arrow = new QCPItemLine(plot);
            arrow->setHead(QCPLineEnding::esSpikeArrow);
            auto* text = new QCPItemText(plot);
            text->setText(row.note);
            text->setBrush(QBrush(Qt::white));
            text->setPen(QPen(Qt::darkGray));
            text->setProperty("x", x);
            text->setProperty("y", y);
            placeMarkInside(text, arrow, x, y, noteArrowPixels);
            noteItems.emplace_back(text, arrow);
            ++noteMarks;
        }
    }
    plot->replot();
}

// A light band over the stretch whose slope gave the growth rate, behind the curves.
void ViewerPage::markGrowthStretch() {
    if (!measurement || !measurement->growth.growing)
        return;
    stretch = new QCPItemRect(plot);
    stretch->setObjectName(QStringLiteral("GrowthStretch"));
    stretch->setLayer(QStringLiteral("background"));
    stretch->setClipToAxisRect(true);
    stretch->topLeft->setTypeX(QCPItemPosition::ptPlotCoords);
    stretch->topLeft->setTypeY(QCPItemPosition::ptAxisRectRatio);
    stretch->bottomRight->setTypeX(QCPItemPosition::ptPlotCoords);
    stretch->bottomRight->setTypeY(QCPItemPosition::ptAxisRectRatio);
    stretch->topLeft->setCoords(measurement->growth.stretchStartMinutes, 0);
    stretch->bottomRight->setCoords(measurement->growth.stretchEndMinutes, 1);
    stretch->setPen(Qt::NoPen);
    stretch->setBrush(QColor(255, 200, 0, 60));
}

int ViewerPage::shownPointCount() const {
    return (viewerParameter == ChartParameter::OD ? viewerOd : viewerCalcOd)->dataCount();
}

int ViewerPage::comparePointCount() const {
    const QCPGraph* curve = viewerParameter == ChartParameter::OD ? compareOd : compareCalcOd;
    return curve->visible() ? curve->dataCount() : 0;
}
