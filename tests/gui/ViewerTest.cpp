// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineFakes.h"
#include "GrowthCurves.h"
#include "LogCapture.h"
#include "ProfileStoreFixture.h"
#include "ReportPrinting.h"
#include "TWorkForm.h"
#include "ViewerPage.h"
#include "ui_TWorkForm.h"
#include "workstation/GrowthTexts.h"
#include "workstation/RtfText.h"
#include "workstation/TextFile.h"

#include <QDir>
#include <QLabel>

#include <QAction>
#include <QMenu>
#include <QTest>
#include <cmath>
#include <limits>
#include <qcustomplot.h>
#include <random>

namespace {

struct ViewerTest : ProfileStoreFixture {
    void SetUp() override {
        ProfileStoreFixture::SetUp();
        openDefault();
        TempDirectory::writeFile(temp_.path("program/Templates/Template.txt"), "Lab:\n");
        engine = std::make_unique<MeasurementEngine>(program(), clock, tones, prompts);
        window = std::make_unique<TWorkForm>(*engine, prompts, program(), QStringList{});
    }
    void TearDown() override {
        window.reset();
        engine.reset();
        ProfileStoreFixture::TearDown();
    }
    QString program() const { return QString::fromStdString(temp_.path("program")); }
    ViewerPage& viewer() { return window->viewer(); }
    Ui::TWorkForm& ui() { return window->form(); }

    // A saved measurement set: the table with these ODs (CalcOD = 2 OD), its log and statement.
    // Rows from skipFrom on are numbered two higher: two samples in between have no row.
    QString saveSet(const QString& name, const std::vector<double>& ods, bool companions = true,
                    std::size_t skipFrom = std::numeric_limits<std::size_t>::max()) {
        const QString directory =
            QString::fromStdString(temp_.path("sets/set" + std::to_string(++sets)));
        QDir().mkpath(directory);
        {
            auto table = RecordTable::openWorking(directory);
            for (std::size_t i = 0; i < ods.size(); ++i) {
                RecordRow row;
                const std::size_t number = i < skipFrom ? i : i + 2;
                row.number = static_cast<double>(number);
                row.minutes = number * 0.5;
                row.od = ods[i];
                row.calcOd = 2 * ods[i];
                row.startDate = QDate(2007, 12, 8);
                row.startTime = QTime(9, 5, 3);
                row.allTime = QTime(0, 0).addSecs(static_cast<int>(i * 30));
                row.title = "Run " + name;
                row.timeS = "0:00";
                if (i == 1) {
                    row.note = "[1] inoculated";
                    row.noteS = 1;
                }
                table->append(row);
            }
            table->snapshotTo(directory + "/" + name);
        }
        const QString nph = directory + "/" + name;
        if (companions) {
            QString base = nph;
            base.replace(".nph", "");
            TextFile::replace(base + ".log",
                              RtfText::write("8.12.2007 09:05  started measurement\n"));
            TextFile::replace(base + ".txt", "Lab: 4\r\nUsing no OD-formula: CalcOD = OD\r\n");
        }
        return nph;
    }
    QAction* item(const char* name) {
        return viewer().popupMenu()->findChild<QAction*>(QString::fromLatin1(name));
    }

    int sets = 0;
    LogCapture log;
    FakeClock clock;
    RecordingTones tones;
    ScriptedPrompts prompts;
    std::unique_ptr<MeasurementEngine> engine;
    std::unique_ptr<TWorkForm> window;
};

} // namespace

TEST_F(ViewerTest, OpensASetWithItsLogAndStatement) {
    const QString file = saveSet("run.nph", {0.1, 0.3, 0.6, 0.9});
    prompts.chosenOpenFile = file;
    ui().Open1->trigger();
    ASSERT_TRUE(viewer().opened());
    EXPECT_TRUE(ui().GroupBox_Viewer->isVisibleTo(window.get()));
    EXPECT_EQ(prompts.openDialogs.last().section('|', 0, 0), "Load Brevimo Database");
    const auto& opened = *viewer().opened();
    EXPECT_TRUE(opened.logPath.endsWith("/run.log"));
    EXPECT_TRUE(opened.statementPath.endsWith("/run.txt"));
    EXPECT_EQ(opened.title, "Run run.nph");
    EXPECT_EQ(opened.duration, QTime(0, 1, 30));
    EXPECT_EQ(opened.fileLabel, file + "    ");
    EXPECT_TRUE(opened.titleLine.endsWith("    09:05:03    Run run.nph"));
    EXPECT_EQ(viewer().shownPointCount(), 4);
    EXPECT_EQ(viewer().noteMarkCount(), 1);
    EXPECT_EQ(viewer().chart()->yAxis->label(), "[OD]");
    EXPECT_TRUE(ui().SpeedButton27->isVisibleTo(window.get()));
    EXPECT_TRUE(item("Compare1")->isEnabled());
    EXPECT_EQ(ui().RichEdit4->toPlainText(), "8.12.2007 09:05  started measurement\n");
    EXPECT_EQ(ui().RichEdit5->toPlainText(), "Lab: 4\nUsing no OD-formula: CalcOD = OD\n");

    ui().RadioButton26->click();
    EXPECT_FALSE(viewer().chart()->isVisibleTo(window.get()));
    EXPECT_TRUE(ui().GroupBox22->isVisibleTo(window.get()));
    ui().RadioButton8->click();
    EXPECT_EQ(viewer().chart()->yAxis->label(), "[CalcOD]");
}

// Samples that have no row (the device did not answer) leave a break in the curve.
TEST_F(ViewerTest, SamplesWithoutARowBreakTheCurve) {
    ASSERT_TRUE(viewer().openFile(saveSet("gap.nph", {0.1, 0.2, 0.3, 0.4}, true, 2)));
    EXPECT_EQ(viewer().shownPointCount(), 4);
    const QCPGraph* od = viewer().chart()->graph(0);
    std::vector<double> values;
    for (auto it = od->data()->constBegin(); it != od->data()->constEnd(); ++it)
        values.push_back(it->value);
    ASSERT_EQ(values.size(), 5u);
    EXPECT_TRUE(std::isnan(values[2])) << "between minute 0.5 and 2";
}

TEST_F(ViewerTest, FileSetNamesAreDerivedWithTheirLetterCase) {
    const struct {
        const char* name;
        const char* log;
        const char* txt;
    } cases[] = {{"run.nph.nph", "/run.log", "/run.txt"},
                 {"RUN.NPH", "/RUN.NPH.log", "/RUN.NPH.txt"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(viewer().openFile(saveSet(c.name, {0.1, 0.2}, false)));
        EXPECT_TRUE(viewer().opened()->logPath.endsWith(c.log)) << c.name;
        EXPECT_TRUE(viewer().opened()->statementPath.endsWith(c.txt)) << c.name;
    }
    EXPECT_EQ(ui().RichEdit4->toPlainText(), "Log File Viewer")
        << "no log: the pane keeps its text";
}

TEST_F(ViewerTest, FlatCurvesGetAFixedBand) {
    ASSERT_TRUE(viewer().openFile(saveSet("flat.nph", {0.5, 0.505, 0.4951, 0.51})));
    EXPECT_TRUE(viewer().flatTest().flat);
    EXPECT_NEAR(viewer().chart()->yAxis->range().lower, 0.49, 1e-6);
    EXPECT_NEAR(viewer().chart()->yAxis->range().upper, 0.51, 1e-6);
    ASSERT_TRUE(viewer().openFile(saveSet("steep.nph", {0.5, 0.505, 0.5101})));
    EXPECT_FALSE(viewer().flatTest().flat) << "0.0101 above the first";
}

TEST_F(ViewerTest, GrowthPanelAndStretchBand) {
    // At the window's first size the panel's one line holds every figure it shows; pointed
    // at, it shows them all with their intervals, one a line.
    window->resize(1100, 720);
    window->show();
    prompts.chosenOpenFile = saveSet("growing.nph", GrowthCurves::noisyCulture());
    ui().Open1->trigger();
    QCoreApplication::processEvents();
    ASSERT_TRUE(viewer().opened());
    const QLabel* panel = viewer().growthPanel();
    EXPECT_FALSE(panel->isHidden());
    const GrowthAnalysis::Result& growth = viewer().opened()->growth;
    ASSERT_TRUE(growth.rateInterval);
    EXPECT_EQ(panel->text(),
              GrowthTexts::joined(growth, QStringLiteral("    "), GrowthTexts::Detail::OneLine));
    EXPECT_LE(panel->fontMetrics().horizontalAdvance(panel->text()), panel->contentsRect().width())
        << panel->text().toStdString();
    EXPECT_EQ(panel->toolTip(), GrowthTexts::joined(growth, QStringLiteral("\n")));

    QCPItemRect* band = viewer().stretchBand();
    ASSERT_NE(band, nullptr);
    EXPECT_EQ(band->topLeft->coords().x(), growth.stretchStartMinutes);
    EXPECT_EQ(band->bottomRight->coords().x(), growth.stretchEndMinutes);
    EXPECT_LT(growth.stretchStartMinutes, growth.stretchEndMinutes);
    ui().RadioButton8->click();
    EXPECT_NE(viewer().stretchBand(), nullptr) << "the stretch is a time span, marked on both";

    // A rise carried by a few readings says so on a line of its own.
    std::vector<double> jump(10, 0.03);
    for (const double od : {0.06, 0.15, 0.4})
        jump.push_back(od);
    jump.insert(jump.end(), 10, 0.5);
    ASSERT_TRUE(viewer().openFile(saveSet("jump.nph", jump)));
    ASSERT_TRUE(viewer().opened()->growth.fewReadingsInStretch());
    EXPECT_EQ(viewer().growthPanel()->text(),
              GrowthTexts::joined(viewer().opened()->growth, QStringLiteral("    "),
                                  GrowthTexts::Detail::OneLine) +
                  "\nfew readings in the growth phase");

    ASSERT_TRUE(viewer().openFile(saveSet("flat.nph", std::vector<double>(30, 0.3))));
    EXPECT_EQ(viewer().growthPanel()->text(), "growth rate: no growth");
    EXPECT_EQ(viewer().growthPanel()->toolTip(), "growth rate: no growth");
    EXPECT_EQ(viewer().stretchBand(), nullptr);

    const std::string junk = temp_.path("bad/junk.nph");
    TempDirectory::writeFile(junk, "no table");
    EXPECT_FALSE(viewer().openFile(QString::fromStdString(junk)));
    EXPECT_TRUE(viewer().growthPanel()->isHidden());
    EXPECT_EQ(viewer().growthPanel()->toolTip(), "");
}

TEST_F(ViewerTest, CompareLaysTheWorkingTableOver) {
    for (int i = 0; i < 3; ++i) {
        RecordRow row;
        row.number = i;
        row.minutes = i;
        row.od = 0.2 * i;
        engine->table().append(row);
    }
    ASSERT_TRUE(viewer().openFile(saveSet("run.nph", {0.1, 0.3, 0.6, 0.9})));
    EXPECT_EQ(viewer().comparePointCount(), 0);
    item("Compare1")->trigger();
    EXPECT_EQ(viewer().comparePointCount(), 3);
    ui().RadioButton8->click();
    EXPECT_EQ(viewer().parameter(), ChartParameter::CalcOD);
    EXPECT_EQ(viewer().comparePointCount(), 3) << "Compare stays on across the quantities";
    item("Compare1")->trigger();
    EXPECT_EQ(viewer().comparePointCount(), 0);
}

// The compare curve is the working table as it is: each stored sample appears, a Start
// empties it.
TEST_F(ViewerTest, CompareFollowsTheWorkingTable) {
    auto owned = std::make_unique<ScriptedSource>();
    engine->setSource(std::move(owned));
    engine->setInterval(1);
    ASSERT_TRUE(viewer().openFile(saveSet("run.nph", {0.1, 0.3, 0.6, 0.9})));
    item("Compare1")->trigger();
    TickDriver driver(*engine, clock);
    ASSERT_TRUE(engine->start());
    EXPECT_EQ(viewer().comparePointCount(), 0);
    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(driver.untilNextSample());
        EXPECT_EQ(viewer().comparePointCount(), i);
    }
    ASSERT_TRUE(engine->attachNote("lid opened", 0.0));
    EXPECT_EQ(viewer().comparePointCount(), 3);
    engine->shutDown();
    ASSERT_TRUE(engine->start());
    EXPECT_EQ(viewer().comparePointCount(), 0) << "Start empties the working table";
    ASSERT_TRUE(driver.untilNextSample());
    EXPECT_EQ(viewer().comparePointCount(), 1);
}

// On a real window size the chart takes the page: the growth figures keep to their lines, the
// zoom box takes no room from the chart, and in Log mode the panes take the chart's place.
TEST_F(ViewerTest, TheChartFillsThePage) {
    window->resize(1280, 900);
    window->show();
    prompts.chosenOpenFile = saveSet("run.nph", {0.1, 0.3, 0.6, 0.9});
    ui().Open1->trigger();
    QCoreApplication::processEvents();
    const int page = ui().GroupBox_Viewer->height();
    const int chartHeight = viewer().chart()->height();
    EXPECT_GT(chartHeight, page * 3 / 4) << "chart " << chartHeight << " of " << page;
    // Its figures on one line, and a second where a caution must not be missed (this short run
    // has few readings).
    const QLabel* panel = viewer().growthPanel();
    const auto lines = panel->text().count(QLatin1Char('\n')) + 1;
    EXPECT_EQ(lines, 2);
    EXPECT_LE(panel->height(), (lines + 1) * panel->fontMetrics().height());

    QTest::mousePress(viewer().chart(), Qt::LeftButton, {}, QPoint(200, 100));
    QTest::mouseMove(viewer().chart(), QPoint(400, 250));
    QTest::mouseRelease(viewer().chart(), Qt::LeftButton, {}, QPoint(400, 250));
    QCoreApplication::processEvents();
    ASSERT_TRUE(ui().GroupBox18->isVisible());
    EXPECT_EQ(viewer().chart()->height(), chartHeight) << "the zoom box takes no room";
    EXPECT_TRUE(viewer().chart()->rect().contains(ui().GroupBox18->geometry()));

    ui().RadioButton26->click();
    QCoreApplication::processEvents();
    EXPECT_GT(ui().GroupBox22->height(), page * 3 / 4) << "the panes take the chart's place";
}

// A note on the highest point keeps its label inside the chart, below the point.
TEST_F(ViewerTest, ANoteAtTheTopKeepsItsLabelInside) {
    window->resize(1000, 700);
    window->show();
    prompts.chosenOpenFile = saveSet("peak.nph", {0.1, 0.9, 0.2});
    ui().Open1->trigger();
    QCoreApplication::processEvents();
    QCustomPlot* plot = viewer().chart();
    plot->replot();
    QCPItemText* label = nullptr;
    for (int i = 0; i < plot->itemCount(); ++i)
        if (auto* text = qobject_cast<QCPItemText*>(plot->item(i)))
            label = text;
    ASSERT_NE(label, nullptr);
    const QRectF box(label->topLeft->pixelPosition(), label->bottomRight->pixelPosition());
    EXPECT_TRUE(QRectF(plot->axisRect()->rect()).contains(box))
        << box.x() << "," << box.y() << " " << box.width() << "x" << box.height();
}

TEST_F(ViewerTest, AMeasurementWithoutSamplesOpensWithEmptyCharts) {
    ASSERT_TRUE(viewer().openFile(saveSet("empty.nph", {})));
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('|').toStdString();
    EXPECT_EQ(viewer().shownPointCount(), 0);
    EXPECT_TRUE(ui().SpeedButton27->isEnabled()) << "the report is available";
    EXPECT_TRUE(item("CreateReport")->isEnabled());
    EXPECT_TRUE(viewer().opened()->title.isEmpty());
    ui().RadioButton8->click();
    EXPECT_EQ(viewer().shownPointCount(), 0);
}

TEST_F(ViewerTest, FilesThatAreNoMeasurementsResetTheViewer) {
    ASSERT_TRUE(viewer().openFile(saveSet("good.nph", {0.1, 0.2})));
    std::mt19937 random(3);
    std::string junk(5000, '\0');
    for (auto& c : junk)
        c = static_cast<char>(random());
    const std::string good = TempDirectory::readFile(viewer().opened()->filePath.toStdString());
    const std::pair<const char*, std::string> bad[] = {
        {"random.nph", junk},
        {"truncated.nph", good.substr(0, good.size() / 3)},
        {"empty.nph", ""},
    };
    for (const auto& [name, content] : bad) {
        const std::string path = temp_.path(std::string("bad/") + name);
        TempDirectory::writeFile(path, content);
        prompts.messages.clear();
        EXPECT_FALSE(viewer().openFile(QString::fromStdString(path))) << name;
        // The fixed text, then which file and why.
        ASSERT_EQ(prompts.messages.size(), 1) << name;
        const QStringList lines = prompts.messages[0].split('\n');
        ASSERT_GE(lines.size(), 3) << prompts.messages[0].toStdString();
        EXPECT_EQ(lines[0], "Unable to open file!");
        EXPECT_EQ(lines[1], QString::fromStdString(path));
        EXPECT_FALSE(lines[2].isEmpty());
        EXPECT_FALSE(ui().SpeedButton27->isVisibleTo(window.get()));
        EXPECT_FALSE(item("Compare1")->isEnabled());
        EXPECT_TRUE(item("ShowNotes1")->isEnabled()) << "stays available once a file opened";
        EXPECT_EQ(viewer().shownPointCount(), 2) << "the last good file's values stay";
        EXPECT_FALSE(viewer().chart()->graph(0)->visible());
    }
    // Another database that is no measurement table.
    const QString other = QString::fromStdString(temp_.path("bad/other.nph"));
    {
        SqliteDatabase db(other, SqliteDatabase::Mode::Create);
        db.execute("CREATE TABLE Samples (x REAL)");
    }
    EXPECT_FALSE(viewer().openFile(other));
    EXPECT_EQ(TempDirectory::readFile(viewer().opened()->filePath.toStdString()), good)
        << "no export or open ever changes a measurement file";
}

TEST_F(ViewerTest, ExportButtonsWriteTheOpenedFile) {
    ASSERT_TRUE(viewer().openFile(saveSet("run.nph", {0.1, 0.3})));
    const QString target = QString::fromStdString(temp_.path("out.dat"));
    prompts.chosenFile = target;
    ui().SpeedButton45->click();
    const std::string text = TempDirectory::readFile(target.toStdString());
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3) << "header and two rows";
    EXPECT_NE(text.find(" Run run.nph \t"), std::string::npos);

    prompts.chosenOpenFile = viewer().opened()->filePath;
    prompts.chosenFile = QString::fromStdString(temp_.path("menu.dat"));
    ui().toASCII1->trigger();
    EXPECT_NE(TempDirectory::readFile(temp_.path("menu.dat")).find("\"Run run.nph\"\t"),
              std::string::npos);
}

namespace {
struct RecordingPrintDialogs : PrintDialogs {
    int prints = 0, previews = 0, settings = 0;
    bool askPrint(QPrinter&, QWidget*) override {
        ++prints;
        return false; // cancelled: nothing goes to a printer
    }
    void askPrinterSettings(QPrinter&, QWidget*) override { ++settings; }
    void showPreview(QPrinter&, const std::function<void(QPrinter&)>&, const std::function<void()>&,
                     QWidget*) override {
        ++previews;
    }
};
} // namespace

TEST_F(ViewerTest, ReportAndPrintCommandsReachThePrinting) {
    RecordingPrintDialogs dialogs;
    window->setPrintDialogs(dialogs);
    ASSERT_TRUE(viewer().openFile(saveSet("run.nph", {0.1, 0.3})));
    ui().SpeedButton27->click();
    EXPECT_EQ(dialogs.previews, 1);
    item("Print2")->trigger();
    ui().Print4->trigger();
    EXPECT_EQ(dialogs.prints, 2);
    ui().PrinterSettings1->trigger();
    EXPECT_EQ(dialogs.settings, 1);
}
