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
#include <cmath>
#include <limits>
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
    const RecordRow* previous = nullptr;
    for (const auto& row : rows) {
        // Samples taken without a row lie between these two: the line breaks there.
        if (previous && row.number > previous->number + 1 && !keys.isEmpty() &&
            std::isfinite(row.minutes)) {
            keys << (keys.back() + row.minutes) / 2;
            values << std::numeric_limits<double>::quiet_NaN();
        }
        previous = &row;
        if (const auto point = chartPoint(row, parameter)) {
            keys << point->first;
            values << point->second;
        }
    }
    graph->setData(keys, values, true);
}

// The points a curve draws: its breaks are no points.
int drawnPoints(const QCPGraph* curve) {
    int count = 0;
    for (auto it = curve->data()->constBegin(); it != curve->data()->constEnd(); ++it)
        count += std::isnan(it->value) ? 0 : 1;
    return count;
}

} // namespace

ViewerPage::ViewerPage(const ViewerPageWidgets& ui, MeasurementEngine& engine, UserPrompts& prompts,
                       QObject* parent)
    : QObject(parent), ui_(ui), engine_(engine), prompts_(prompts),
      plot_(new QCustomPlot(ui.ViewerArea)), growthLabel_(new QLabel(ui.ViewerArea)) {
    plot_->setObjectName(QStringLiteral("DBChart3"));
    // The chart takes the page's room; the growth figures keep to one line under it, and in
    // Log mode the panes take the chart's place.
    auto* area = static_cast<QBoxLayout*>(ui.ViewerArea->layout());
    area->addWidget(plot_, 1);
    growthLabel_->setObjectName(QStringLiteral("LabelGrowth"));
    growthLabel_->setFrameShape(QFrame::StyledPanel);
    growthLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    growthLabel_->setWordWrap(false);
    growthLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    area->addWidget(growthLabel_, 0);
    ui.layoutViewer->setStretchFactor(ui.ViewerArea, 1);
    ui.layoutViewer->setStretchFactor(ui.GroupBox22, 1);
    // The zoom box floats in the chart's corner instead of widening the button row.
    new CornerOverlay(ui.GroupBox18, plot_);
    // Note labels are turned inward again for every layout: zoom, resize, printing.
    connect(plot_, &QCustomPlot::afterLayout, this, [this] {
        for (const auto& [text, arrow] : noteItems_)
            placeMarkInside(text, arrow, text->property("x").toDouble(),
                            text->property("y").toDouble(), noteArrowPixels);
    });
    plot_->setPlottingHint(QCP::phFastPolylines, true);
    plot_->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(new TimeSTicker));
    plot_->yAxis->setNumberFormat(QStringLiteral("f"));
    plot_->yAxis->setNumberPrecision(3);
    plot_->plotLayout()->insertRow(0);
    auto* title = new QCPTextElement(plot_, QString(), QFont(QString(), 10, QFont::Bold));
    title->setTextColor(Qt::blue);
    plot_->plotLayout()->addElement(0, 0, title);
    viewerOd_ =
        viewerCurve(plot_, QStringLiteral("ViewerOD"), Qt::darkGreen, QCPScatterStyle::ssDisc, 3);
    viewerCalcOd_ = viewerCurve(plot_, QStringLiteral("ViewerCalcOD"), Qt::darkGreen,
                                QCPScatterStyle::ssDisc, 3);
    compareOd_ =
        viewerCurve(plot_, QStringLiteral("CompareOD"), Qt::red, QCPScatterStyle::ssSquare, 2);
    compareCalcOd_ =
        viewerCurve(plot_, QStringLiteral("CompareCalcOD"), Qt::red, QCPScatterStyle::ssSquare, 2);

    zoom_ = new DragZoom(plot_);
    connect(zoom_, &DragZoom::zoomRequested, this, [this](const AxisRange& t, const AxisRange& v) {
        if (!beforeZoom_)
            beforeZoom_ =
                std::make_pair(AxisRange{plot_->xAxis->range().lower, plot_->xAxis->range().upper},
                               AxisRange{plot_->yAxis->range().lower, plot_->yAxis->range().upper});
        plot_->xAxis->setRange(t.minimum, t.maximum);
        plot_->yAxis->setRange(v.minimum, v.maximum);
        this->ui_.Label23->setText(zoomTimeSpanText(t.maximum - t.minimum));
        this->ui_.Label25->setText(zoomValueSpanText(v.maximum - v.minimum));
        this->ui_.GroupBox18->show();
    });
    connect(zoom_, &DragZoom::undoRequested, this, [this] {
        if (beforeZoom_) {
            plot_->xAxis->setRange(beforeZoom_->first.minimum, beforeZoom_->first.maximum);
            plot_->yAxis->setRange(beforeZoom_->second.minimum, beforeZoom_->second.maximum);
            beforeZoom_.reset();
        }
        this->ui_.GroupBox18->hide();
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
    plot_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(plot_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { menu_->popup(plot_->mapToGlobal(at)); });
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
    showNotes_->setEnabled(false);
}

void ViewerPage::buildPopupMenu() {
    menu_ = new QMenu(plot_);
    menu_->setObjectName(QStringLiteral("PopupMenuViewer"));
    const auto item = [this](const char* name, const QString& text) {
        QAction* action = menu_->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    connect(item("Load1", QStringLiteral("Open")), &QAction::triggered, this,
            &ViewerPage::openMeasurement);
    compare_ = item("Compare1", QStringLiteral("Compare"));
    compare_->setCheckable(true);
    connect(compare_, &QAction::triggered, this, [this](bool on) { setCompare(on); });
    showNotes_ = item("ShowNotes1", QStringLiteral("Show Notes"));
    showNotes_->setCheckable(true);
    showNotes_->setChecked(true);
    connect(showNotes_, &QAction::toggled, this, [this] { reloadViewerNoteMarks(); });
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
        menu_->findChild<QAction*>(QString::fromLatin1(name))->setEnabled(on);
    if (on)
        showNotes_->setEnabled(true); // once a file was opened it stays available
    for (QWidget* w :
         {static_cast<QWidget*>(ui_.RadioButton5), static_cast<QWidget*>(ui_.RadioButton8),
          static_cast<QWidget*>(ui_.RadioButton26)})
        w->setEnabled(on);
    for (QToolButton* b : {ui_.SpeedButton27, ui_.SpeedButton24, ui_.SpeedButton45}) {
        b->setEnabled(on);
        b->setVisible(on);
    }
}

// The state of a viewer with no file: OD chosen, nothing else available.
void ViewerPage::resetControls() {
    plot_->xAxis->setLabel(QString());
    plot_->yAxis->setLabel(QString());
    if (auto* title = qobject_cast<QCPTextElement*>(plot_->plotLayout()->element(0, 0)))
        title->setText(QString());
    beforeZoom_.reset();
    ui_.GroupBox18->hide();
    ui_.RadioButton5->setChecked(true);
    setAvailable(false);
    compare_->setChecked(false);
    ui_.GroupBox22->hide();
    ui_.ViewerArea->show();
    plot_->show();
    for (QCPGraph* g : {viewerOd_, viewerCalcOd_, compareOd_, compareCalcOd_})
        g->setVisible(false);
    plot_->clearItems();
    noteItems_.clear();
    stretch_ = nullptr;
    noteMarks_ = 0;
    growthLabel_->clear();
    growthLabel_->setToolTip(QString());
    growthLabel_->hide();
    plot_->replot();
}

void ViewerPage::openMeasurement() {
    resetControls();
    const QString chosen =
        prompts_.askOpenFileName(QStringLiteral("Load Brevimo Database"), QDir::homePath(),
                                 QStringLiteral("Talvessa|*.nph|ALL|*.*"));
    if (chosen.isEmpty())
        return;
    openFile(chosen);
}

bool ViewerPage::openFile(const QString& path) {
    resetControls();
    bool ok = true;
    QString reason;
    try {
        measurement_ = OpenedMeasurement::open(path);
    } catch (const std::exception& e) {
        ok = false;
        reason = QString::fromUtf8(e.what());
    }
    if (ok) {
        if (auto* title = qobject_cast<QCPTextElement*>(plot_->plotLayout()->element(0, 0)))
            title->setText(measurement_->titleLine);
        fill(viewerOd_, measurement_->rows, ChartParameter::OD);
        fill(viewerCalcOd_, measurement_->rows, ChartParameter::CalcOD);
        // One line under the chart, a second for what must not be missed; the intervals and
        // the method in full when pointed at.
        QString growth = GrowthTexts::joined(measurement_->growth, QStringLiteral("    "),
                                             GrowthTexts::Detail::OneLine);
        if (const QString caution = GrowthTexts::caution(measurement_->growth); !caution.isEmpty())
            growth += QLatin1Char('\n') + caution;
        growthLabel_->setText(growth);
        growthLabel_->setToolTip(GrowthTexts::joined(measurement_->growth, QStringLiteral("\n")));
        growthLabel_->show();
        setAvailable(true);
        showViewerParameter(ChartParameter::OD);
    } else {
        // The file's name and why, so that the user knows what to look at.
        prompts_.showMessage(QStringLiteral("Unable to open file!\n") + path +
                             (reason.isEmpty() ? QString() : QStringLiteral("\n") + reason));
        resetControls();
    }
    // The panes show the set of the last file that opened, even after a failed open.
    if (measurement_)
        loadPanes();
    return ok;
}

void ViewerPage::loadPanes() {
    ui_.RichEdit4->setPlainText(QStringLiteral("Log File Viewer"));
    ui_.RichEdit5->setPlainText(QStringLiteral("Statement File Viewer"));
    try {
        ui_.RichEdit4->setPlainText(RtfText::read(TextFile::read(measurement_->logPath)));
        QString statement = TextFile::decode(TextFile::read(measurement_->statementPath));
        statement.remove(QLatin1Char('\r'));
        ui_.RichEdit5->setPlainText(statement);
    } catch (const std::exception& e) {
        prompts_.showMessage(QString::fromUtf8(e.what()));
    }
}

void ViewerPage::showViewerParameter(ChartParameter parameter) {
    viewerParameter = parameter;
    if (parameter == ChartParameter::OD)
        ui_.RadioButton5->setChecked(true);
    else
        ui_.RadioButton8->setChecked(true);
    plot_->show();
    ui_.ViewerArea->show();
    ui_.GroupBox22->hide();
    plot_->yAxis->setLabel(parameter == ChartParameter::OD ? QStringLiteral("[OD]")
                                                           : QStringLiteral("[CalcOD]"));
    viewerOd_->setVisible(parameter == ChartParameter::OD);
    viewerCalcOd_->setVisible(parameter == ChartParameter::CalcOD);
    compareOd_->setVisible(false);
    compareCalcOd_->setVisible(false);
    if (measurement_)
        flat_ = testViewerFlat(measurement_->rows, parameter);
    plot_->rescaleAxes(true);
    if (flat_.flat)
        plot_->yAxis->setRange(flat_.firstValue - 0.01, flat_.firstValue + 0.01);
    if (compare_->isChecked()) {
        QCPGraph* curve = parameter == ChartParameter::OD ? compareOd_ : compareCalcOd_;
        fill(curve, engine_.table().allRows(), parameter);
        curve->setVisible(true);
        plot_->rescaleAxes(true);
    }
    reloadViewerNoteMarks();
}

void ViewerPage::refreshCompare() {
    if (!compare_->isChecked() || !measurement_)
        return;
    QCPGraph* curve = viewerParameter == ChartParameter::OD ? compareOd_ : compareCalcOd_;
    fill(curve, engine_.table().allRows(), viewerParameter);
    if (!beforeZoom_) // a zoomed view stays where the user put it
        plot_->rescaleAxes(true);
    plot_->replot();
}

void ViewerPage::setCompare(bool on) {
    compare_->setChecked(on);
    showViewerParameter(viewerParameter);
}

void ViewerPage::showLog() {
    plot_->hide();
    ui_.ViewerArea->hide();
    ui_.GroupBox22->show();
}

void ViewerPage::pageShown() {
    ui_.GroupBox18->hide();
}

void ViewerPage::reloadViewerNoteMarks() {
    plot_->clearItems();
    noteItems_.clear();
    stretch_ = nullptr;
    noteMarks_ = 0;
    markGrowthStretch();
    if (measurement_ && showNotes_->isChecked()) {
        for (const auto& row : measurement_->rows) {
            const auto point = chartPoint(row, viewerParameter);
            if (!(row.noteS > 0) || !point)
                continue;
            const double x = static_cast<float>(point->first);
            const double y = static_cast<float>(point->second);
            auto* arrow = new QCPItemLine(plot_);
            arrow->setHead(QCPLineEnding::esSpikeArrow);
            auto* text = new QCPItemText(plot_);
            text->setText(row.note);
            text->setBrush(QBrush(Qt::white));
            text->setPen(QPen(Qt::darkGray));
            text->setProperty("x", x);
            text->setProperty("y", y);
            placeMarkInside(text, arrow, x, y, noteArrowPixels);
            noteItems_.emplace_back(text, arrow);
            ++noteMarks_;
        }
    }
    plot_->replot();
}

// A light band over the stretch whose slope gave the growth rate, behind the curves.
void ViewerPage::markGrowthStretch() {
    if (!measurement_ || !measurement_->growth.growing)
        return;
    stretch_ = new QCPItemRect(plot_);
    stretch_->setObjectName(QStringLiteral("GrowthStretch"));
    stretch_->setLayer(QStringLiteral("background"));
    stretch_->setClipToAxisRect(true);
    stretch_->topLeft->setTypeX(QCPItemPosition::ptPlotCoords);
    stretch_->topLeft->setTypeY(QCPItemPosition::ptAxisRectRatio);
    stretch_->bottomRight->setTypeX(QCPItemPosition::ptPlotCoords);
    stretch_->bottomRight->setTypeY(QCPItemPosition::ptAxisRectRatio);
    stretch_->topLeft->setCoords(measurement_->growth.stretchStartMinutes, 0);
    stretch_->bottomRight->setCoords(measurement_->growth.stretchEndMinutes, 1);
    stretch_->setPen(Qt::NoPen);
    stretch_->setBrush(QColor(255, 200, 0, 60));
}

int ViewerPage::shownPointCount() const {
    return drawnPoints(viewerParameter == ChartParameter::OD ? viewerOd_ : viewerCalcOd_);
}

int ViewerPage::comparePointCount() const {
    const QCPGraph* curve = viewerParameter == ChartParameter::OD ? compareOd_ : compareCalcOd_;
    return curve->visible() ? drawnPoints(curve) : 0;
}
