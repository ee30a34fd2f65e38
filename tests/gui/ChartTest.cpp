// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartPage.h"
#include "EngineFakes.h"
#include "FakeSleeper.h"
#include "LiveChart.h"
#include "LogCapture.h"
#include "ProfileStoreFixture.h"
#include "TWorkForm.h"
#include "TimeSTicker.h"
#include "ui_TWorkForm.h"

#include <QAction>
#include <QMenu>
#include <QTest>
#include <cmath>
#include <qcustomplot.h>

namespace {

// The main window's chart over a connected source whose readings the test gives.
struct ChartTest : ProfileStoreFixture {
    void SetUp() override {
        ProfileStoreFixture::SetUp();
        openDefault();
        for (const char* sub : {"Objects", "buttons"})
            std::filesystem::copy(std::string(NEPHODAR_PROGRAM_DIR) + "/" + sub,
                                  temp_.path(std::string("program/") + sub));
        TempDirectory::writeFile(temp_.path("program/Templates/Template.txt"), "Lab:\n");
        engine = std::make_unique<MeasurementEngine>(program(), clock, tones, prompts);
        window = std::make_unique<TWorkForm>(*engine, prompts, program(), QStringList{});
        window->resize(1000, 700);
        window->show();
        auto owned = std::make_unique<ScriptedSource>();
        source = owned.get();
        source->next = [](int read) { return 0.1 * read; };
        engine->setSource(std::move(owned));
        engine->setInterval(1);
        driver = std::make_unique<TickDriver>(*engine, clock);
    }
    void TearDown() override {
        window.reset();
        engine.reset();
        ProfileStoreFixture::TearDown();
    }
    QString program() const { return QString::fromStdString(temp_.path("program")); }
    Ui::TWorkForm& ui() { return window->form(); }
    LiveChart& chart() { return window->chart(); }
    ChartPage& page() { return window->chartControls(); }
    void startAndSample(int n) {
        ui().StartButton->click();
        for (int i = 0; i < n; ++i) {
            clock.advance(60 * 1000); // a minute between samples
            ASSERT_TRUE(driver->untilNextSample());
        }
    }
    QAction* menuItem(const char* name) {
        return page().popupMenu()->findChild<QAction*>(QString::fromLatin1(name));
    }

    LogCapture log;
    FakeClock clock;
    RecordingTones tones;
    ScriptedPrompts prompts;
    std::unique_ptr<MeasurementEngine> engine;
    std::unique_ptr<TWorkForm> window;
    ScriptedSource* source = nullptr;
    std::unique_ptr<TickDriver> driver;
};

} // namespace

TEST_F(ChartTest, ZoomThenTraceFollowsTheNextSample) {
    startAndSample(5);
    EXPECT_EQ(chart().pointCount(), 5);
    EXPECT_FALSE(ui().GroupBox3->isVisibleTo(window.get()));

    page().zoomTo({1.0, 3.0}, {0.2, 0.5});
    EXPECT_TRUE(engine->chartState().zoomed);
    EXPECT_TRUE(ui().GroupBox3->isVisibleTo(window.get()));
    EXPECT_EQ(ui().GroupBox3->title(), "Zoom");
    EXPECT_TRUE(ui().NewTrace->isVisibleTo(window.get()));
    EXPECT_EQ(ui().Label44->text(), "0:02:00");
    EXPECT_EQ(ui().Label43->text(), "+/- 0.150");

    ui().NewTrace->click();
    EXPECT_EQ(ui().GroupBox3->title(), "Trace");
    EXPECT_FALSE(ui().NewTrace->isVisibleTo(window.get()));
    clock.advance(60 * 1000);
    ASSERT_TRUE(driver->untilNextSample());
    const double minutes = engine->windowInput().minutes;
    EXPECT_NEAR(chart().timeRange().minimum, minutes - 2.0, 1e-6);
    EXPECT_NEAR(chart().timeRange().maximum, minutes, 1e-6);
    EXPECT_NEAR(chart().valueRange().maximum - chart().valueRange().minimum, 0.3, 1e-6);

    page().zoomTo({0, 1}, {0, 1});
    EXPECT_FALSE(engine->chartState().traceMode) << "a new zoom ends follow mode";
    page().undoZoom();
    EXPECT_FALSE(engine->chartState().zoomed);
    EXPECT_FALSE(ui().GroupBox3->isVisibleTo(window.get()));
}

TEST_F(ChartTest, DraggingRightZoomsAndLeftUndoes) {
    startAndSample(5);
    QWidget* plot = chart().plot();
    const AxisRange before = chart().timeRange();
    QTest::mousePress(plot, Qt::LeftButton, {}, QPoint(200, 100));
    QTest::mouseMove(plot, QPoint(400, 250));
    QTest::mouseRelease(plot, Qt::LeftButton, {}, QPoint(400, 250));
    EXPECT_TRUE(engine->chartState().zoomed);
    EXPECT_LT(chart().timeRange().maximum - chart().timeRange().minimum,
              before.maximum - before.minimum);
    QTest::mousePress(plot, Qt::LeftButton, {}, QPoint(400, 250));
    QTest::mouseRelease(plot, Qt::LeftButton, {}, QPoint(200, 100));
    EXPECT_FALSE(engine->chartState().zoomed);
    EXPECT_DOUBLE_EQ(chart().timeRange().minimum, before.minimum) << "the earlier view is back";
}

TEST_F(ChartTest, NoteModeDoubleClickPutsTheNoteOnItsRow) {
    startAndSample(5);
    ui().ChartNote->setChecked(true);
    QCustomPlot* plot = chart().plot();
    plot->xAxis->setRange(0, 6);
    plot->replot();
    const auto rows = engine->table().allRows();
    // Between the third and the fourth row's time: the note goes to the fourth row.
    const double between = (rows[2].minutes + rows[3].minutes) / 2;
    const QPoint pixel(static_cast<int>(plot->xAxis->coordToPixel(between)), 100);
    page().doubleClickAt(pixel);
    EXPECT_TRUE(ui().Panel4->isVisibleTo(window.get()));
    EXPECT_NEAR(page().currentNotePosition(), between, 0.02);
    ui().Edit5->setText("inoculated");
    QTest::keyClick(ui().Edit5, Qt::Key_Return);
    EXPECT_FALSE(ui().Panel4->isVisibleTo(window.get()));
    EXPECT_TRUE(ui().ChartZoom->isChecked());
    EXPECT_EQ(engine->table().allRows()[3].note, "[1] inoculated");
    const auto marks = chart().noteMarks();
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].second, "[1] inoculated");
    EXPECT_NEAR(marks[0].first.x, rows[3].minutes, 1e-5);

    menuItem("ShowNotes2")->setChecked(false);
    EXPECT_TRUE(chart().noteMarks().empty());
}

TEST_F(ChartTest, ParameterSwitchShowsTheCalculatedCurve) {
    ODFormula formula = engine->formula();
    formula.enabled = true;
    formula.name = "Cells";
    engine->setFormula(formula);
    window->form().CheckBox4->setChecked(true);
    window->form().Edit25->setText("Cells");
    window->form().Edit8->setText("2");
    startAndSample(3);
    EXPECT_EQ(chart().titleText(), "");
    ui().RadioButton_Chart_CalcOD->setChecked(true);
    EXPECT_EQ(engine->chartState().parameter, ChartParameter::CalcOD);
    EXPECT_EQ(chart().plot()->yAxis->label(), "[CalcOD]");
    EXPECT_EQ(chart().titleText(), "Cells");
    menuItem("ODA1")->trigger();
    EXPECT_EQ(chart().plot()->yAxis->label(), "[OD]");
    EXPECT_TRUE(ui().RadioButton_Chart_OD->isChecked());
}

TEST_F(ChartTest, AveragingAndTheNewestValueMark) {
    menuItem("ShowLabels1")->setChecked(true);
    menuItem("Avarage101")->trigger(); // before any Start: only the size
    EXPECT_EQ(chart().averaging(), std::nullopt);
    startAndSample(4);
    ASSERT_TRUE(chart().lastValueMark());
    EXPECT_EQ(chart().lastValueMarkText(), "OD");

    menuItem("Avarage31")->trigger();
    EXPECT_EQ(chart().averaging(), 3);
    EXPECT_TRUE(chart().titleText().endsWith("\nAverage 3 Points"));
    EXPECT_FALSE(chart().lastValueMark()) << "one averaged point: no mark";
    for (int i = 0; i < 3; ++i) {
        clock.advance(60 * 1000);
        ASSERT_TRUE(driver->untilNextSample());
    }
    const auto averaged = chart().averagedPoints();
    ASSERT_EQ(averaged.size(), 2u) << "7 samples: two complete groups";
    const auto mark = chart().lastValueMark();
    ASSERT_TRUE(mark);
    EXPECT_DOUBLE_EQ(mark->x, averaged.back().x);
    EXPECT_NEAR(mark->y, (0.4 + 0.5 + 0.6) / 3, 1e-9);

    menuItem("AverageOFF1")->trigger();
    EXPECT_FALSE(chart().averaging());
    EXPECT_FALSE(chart().titleText().contains("Average"));
}

// The labels of the newest value and of the notes are turned inward: drawn whole inside the
// plot even for a point in its top right corner.
TEST_F(ChartTest, MarkLabelsStayInsideThePlot) {
    menuItem("ShowLabels1")->setChecked(true);
    startAndSample(5);
    ASSERT_TRUE(engine->attachNote("top right", 1e9));
    QCustomPlot* plot = chart().plot();
    const auto rows = engine->table().allRows();
    plot->xAxis->setRange(0, rows.back().minutes);
    plot->yAxis->setRange(0, rows.back().od);
    plot->replot();
    const QRect inside = plot->axisRect()->rect();
    int checked = 0;
    for (int i = 0; i < plot->itemCount(); ++i) {
        auto* text = qobject_cast<QCPItemText*>(plot->item(i));
        if (!text || !text->visible())
            continue;
        const QRectF box(text->topLeft->pixelPosition(), text->bottomRight->pixelPosition());
        EXPECT_TRUE(QRectF(inside).contains(box))
            << text->text().toStdString() << " at " << box.x() << "," << box.y() << " "
            << box.width() << "x" << box.height();
        ++checked;
    }
    EXPECT_EQ(checked, 2) << "the newest value's mark and the note's";
}

// "Show Labels" shows the newest value's mark at once, during the run and after End.
TEST_F(ChartTest, ShowLabelsTakesEffectAtOnce) {
    startAndSample(2);
    EXPECT_FALSE(chart().lastValueMark());
    menuItem("ShowLabels1")->setChecked(true);
    EXPECT_TRUE(chart().lastValueMark()) << "no new sample needed";
    prompts.answerYes = false;
    ui().Stop2->trigger();
    menuItem("ShowLabels1")->setChecked(false);
    EXPECT_FALSE(chart().lastValueMark());
    menuItem("ShowLabels1")->setChecked(true);
    EXPECT_TRUE(chart().lastValueMark()) << "after End too";
}

// The plot takes the chart page's room and follows the window's size; the strip above it
// and the scaling panel below keep to the height of their controls.
TEST_F(ChartTest, ThePlotGrowsWithTheWindow) {
    std::vector<int> heights;
    for (const QSize size : {QSize(1024, 768), QSize(1280, 900), QSize(1920, 1080)}) {
        window->resize(size);
        QCoreApplication::processEvents();
        const int plot = chart().plot()->height();
        EXPECT_GT(plot, ui().GroupBox_Chart->height() * 2 / 3)
            << size.width() << "x" << size.height() << ": plot " << plot << " of "
            << ui().GroupBox_Chart->height();
        EXPECT_LE(ui().Panel11->height(), ui().Panel11->sizeHint().height());
        heights.push_back(plot);
    }
    EXPECT_GT(heights[1] - heights[0], 100);
    EXPECT_GT(heights[2] - heights[1], 150);

    startAndSample(2); // a zoom box in the corner takes nothing from the plot
    QCoreApplication::processEvents();
    const int plotTop = ui().ChartArea->y();
    QTest::mousePress(chart().plot(), Qt::LeftButton, {}, QPoint(200, 100));
    QTest::mouseMove(chart().plot(), QPoint(400, 250));
    QTest::mouseRelease(chart().plot(), Qt::LeftButton, {}, QPoint(400, 250));
    QCoreApplication::processEvents();
    ASSERT_TRUE(ui().GroupBox3->isVisible());
    EXPECT_EQ(ui().ChartArea->y(), plotTop) << "the strip above the chart did not grow";
    EXPECT_TRUE(chart().plot()->rect().contains(ui().GroupBox3->geometry()));
}

// The note panel opens by the double-clicked point, moved in just enough to be whole.
TEST_F(ChartTest, TheNotePanelStaysInsideTheChart) {
    startAndSample(3);
    ui().ChartNote->setChecked(true);
    QCustomPlot* plot = chart().plot();
    for (const QPoint at : {QPoint(plot->width() - 5, plot->height() - 5), QPoint(3, 3),
                            QPoint(plot->width() / 2, plot->height() / 2)}) {
        page().doubleClickAt(at);
        ASSERT_TRUE(ui().Panel4->isVisible());
        EXPECT_TRUE(plot->rect().contains(ui().Panel4->geometry()))
            << at.x() << "," << at.y() << " gives " << ui().Panel4->x() << "," << ui().Panel4->y();
        ui().SpeedButton_AbortNote->click();
    }
    page().doubleClickAt(QPoint(plot->width() / 2, plot->height() / 2));
    EXPECT_EQ(ui().Panel4->pos(), QPoint(plot->width() / 2 - 105, plot->height() / 2 + 10))
        << "where there is room it stays where it belongs";
}

TEST_F(ChartTest, ScalingButtons) {
    startAndSample(3);
    ui().SpeedButton16->click(); // 0.1
    EXPECT_EQ(ui().Label43->text(), "+/- 0.1");
    EXPECT_NEAR(chart().valueRange().minimum, engine->od() - 0.2, 1e-9);
    EXPECT_NEAR(chart().valueRange().maximum, engine->od() + 0.2, 1e-9);
    ui().SpeedButton32->click(); // 2 min
    EXPECT_EQ(ui().Label44->text(), "Time 2min");
    EXPECT_NEAR(chart().timeRange().maximum - chart().timeRange().minimum, 2.0, 1e-9);
    ui().SpeedButton31->click(); // Reset XY
    EXPECT_FALSE(engine->chartState().zoomed);
    ui().SpeedButton20->click();
    EXPECT_EQ(ui().Label44->text(), "Time Auto");
}

// A device pulled for two samples: the run goes on, the user is told once in plain words, and
// the curve breaks where no rows exist instead of drawing a line across.
TEST_F(ChartTest, APulledDeviceLeavesAGapInTheCurve) {
    for (int read : {3, 4})
        source->faults[read] = ScriptedSource::Fault::Line;
    startAndSample(6);
    EXPECT_EQ(engine->sampleNumber(), 6);
    EXPECT_EQ(chart().pointCount(), 4);
    EXPECT_EQ(chart().gapCount(), 1);
    std::vector<std::pair<double, double>> drawn;
    const QCPGraph* od = chart().plot()->graph(0);
    for (auto it = od->data()->constBegin(); it != od->data()->constEnd(); ++it)
        drawn.emplace_back(it->key, it->value);
    ASSERT_EQ(drawn.size(), 5u);
    EXPECT_TRUE(std::isnan(drawn[2].second)) << "the line breaks between minute 2 and 5";
    EXPECT_GT(drawn[2].first, drawn[1].first);
    EXPECT_LT(drawn[2].first, drawn[3].first);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith("The photometer does not answer"));

    ui().EndButton->click();
    ui().StartButton->click();
    ASSERT_TRUE(driver->untilNextSample());
    EXPECT_EQ(chart().gapCount(), 0) << "a new run starts whole";
}

// The time axis of any span reads differently at every tick: seconds on the first minutes'
// axes, whole minutes, hours or days on longer ones.
TEST(TimeAxis, EveryTickHasItsOwnLabel) {
    const struct {
        double minutes;
        QStringList labels;
    } cases[] = {
        {0.5, {"0:00:00", "0:00:10", "0:00:20", "0:00:30"}},
        {1, {"0:00:00", "0:00:15", "0:00:30", "0:00:45", "0:01:00"}},
        {4, {"0:00", "0:01", "0:02", "0:03", "0:04"}},
        {75, {"0:00", "0:15", "0:30", "0:45", "1:00", "1:15"}},
        {480, {"0:00", "2:00", "4:00", "6:00", "8:00"}},
        {8000, {"0:00", "48:00", "96:00"}},
    };
    for (const auto& c : cases) {
        TimeSTicker ticker;
        const QCPRange range(0, c.minutes);
        QVector<double> ticks, subTicks;
        QVector<QString> labels;
        ticker.generate(range, QLocale::c(), QLatin1Char('g'), 6, ticks, &subTicks, &labels);
        QStringList inRange;
        for (int i = 0; i < ticks.size(); ++i)
            if (range.contains(ticks[i]))
                inRange << labels[i];
        EXPECT_EQ(inRange, c.labels) << c.minutes << " minutes";
    }
}

// The first minute of a run, a sample every ten seconds: the chart's time axis does not
// repeat "0:00".
TEST_F(ChartTest, TheFirstMinuteHasDistinctTimeLabels) {
    ui().StartButton->click();
    for (int i = 0; i < 7; ++i) {
        clock.advance(10 * 1000);
        ASSERT_TRUE(driver->untilNextSample());
    }
    chart().plot()->replot();
    QStringList shown;
    const QCPRange range = chart().plot()->xAxis->range();
    const auto ticks = chart().plot()->xAxis->tickVector();
    const auto labels = chart().plot()->xAxis->tickVectorLabels();
    for (int i = 0; i < ticks.size(); ++i)
        if (range.contains(ticks[i]))
            shown << labels[i];
    ASSERT_GE(shown.size(), 3);
    EXPECT_EQ(shown.removeDuplicates(), 0) << shown.join(' ').toStdString();
}
