// SPDX-License-Identifier: GPL-3.0-or-later
#include "workstation/TableExportFlow.h"
#include "EngineFakes.h"
#include "ParadoxWriter.h"
#include "TempDirectory.h"
#include "WorkbookSheet.h"
#include "workstation/RecordTable.h"
#include "workstation/TableExport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

struct RecordingPanel : ExportProgressPanel {
    void showPanel(const QString& caption, int maximum) override {
        events << QString("show|%1|%2").arg(caption).arg(maximum);
    }
    void showProgress(const QString& text, int position) override {
        events << QString("progress|%1|%2").arg(text).arg(position);
    }
    void hidePanel() override { events << "hide"; }
    QStringList events;
};

struct TableExportFlowTest : testing::Test {
    TempDirectory temp;
    QString dir = QString::fromStdString(temp.path());
    ScriptedPrompts prompts;
    RecordingPanel panel;
    QStringList opened;
    bool openerWorks = true;
    TableExportFlow flow{prompts, [this](const QString& workbook) {
                             opened << workbook;
                             return openerWorks;
                         }};

    QString path(const QString& name) const { return dir + "/" + name; }
    static std::string read(const QString& file) {
        return TempDirectory::readFile(file.toStdString());
    }

    // Two samples in the working table, saved as run.nph.
    QString measurement() {
        auto table = RecordTable::openWorking(dir);
        for (int i = 0; i < 2; ++i) {
            RecordRow row;
            row.allTime = QTime(0, i, 0);
            row.number = i;
            row.minutes = i;
            row.od = 0.25 * i;
            row.startTime = QTime(9, 5, 3);
            row.startDate = QDate(2026, 12, 10);
            row.title = "Culture A";
            row.timeS = QString("0:0%1").arg(i);
            table->append(row);
        }
        table->snapshotTo(path("run.nph"));
        return path("run.nph");
    }

    std::string exported(const QString& source, AsciiVariant variant) {
        exportTableAscii(source, path("expected.dat"), variant);
        return read(path("expected.dat"));
    }
};

} // namespace

TEST_F(TableExportFlowTest, FileMenuTextExportAsksForSourceAndTargetAndQuotesValues) {
    const QString source = measurement();
    prompts.chosenOpenFile = source;
    prompts.chosenFile = path("out.dat");
    EXPECT_TRUE(flow.exportChosenAscii());
    EXPECT_EQ(prompts.openDialogs,
              QStringList{"Load Brevimo Database|" + QDir::homePath() + "|Talvessa|*.nph|ALL|*.*"});
    EXPECT_EQ(prompts.saveDialogs,
              QStringList{"Export Database to Ansi|" + dir + "|" + path("run.dat")});
    EXPECT_EQ(prompts.saveFilters, QStringList{"All|*.*"});
    EXPECT_EQ(read(path("out.dat")), exported(source, AsciiVariant::FileMenu));
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(TableExportFlowTest, ViewerTextExportWritesTheOpenedRowsWithBlanks) {
    const auto openedRun = OpenedMeasurement::open(measurement());
    prompts.chosenFile = path("out.dat");
    EXPECT_TRUE(flow.exportOpenedAscii(openedRun));
    EXPECT_EQ(prompts.saveDialogs,
              QStringList{"Export Database to Ansi|" + dir + "|" + path("run.dat")});
    EXPECT_EQ(read(path("out.dat")), exported(openedRun.chosenPath, AsciiVariant::Viewer));
}

TEST_F(TableExportFlowTest, ViewerWorkbookExportShowsProgressThenOpensTheWorkbook) {
    const auto measurementFile = OpenedMeasurement::open(measurement());
    prompts.answerYes = true;
    prompts.chosenFile = path("out.xlsx");
    EXPECT_TRUE(flow.confirmAndExportOpenedExcel(measurementFile, panel));
    EXPECT_EQ(prompts.questions, QStringList{"Export to Excel?"});
    EXPECT_EQ(prompts.saveDialogs,
              QStringList{"Export Database to Excel|" + dir + "|" + path("run.xlsx")});
    EXPECT_EQ(panel.events,
              (QStringList{"show|Export to MicroSoft Excel|2", "progress|Excel Export|0",
                           "progress|Proceed: 3 Lines|2", "progress|Proceed: 4 Lines|2", "hide"}));
    EXPECT_EQ(opened, QStringList{path("out.xlsx")});
    EXPECT_EQ(WorkbookSheet::cells(path("out.xlsx")).at(3).at(3).text, "0.25");

    // The pop-up entry exports without asking; the file menu reads the chosen file.
    prompts.questions.clear();
    EXPECT_TRUE(flow.exportOpenedExcel(measurementFile, panel));
    prompts.chosenOpenFile = measurementFile.chosenPath;
    EXPECT_TRUE(flow.exportChosenExcel());
    EXPECT_TRUE(prompts.questions.isEmpty());
    EXPECT_EQ(opened.size(), 3);
}

TEST_F(TableExportFlowTest, FileMenuWorkbookExportReadsAParadoxTable) {
    const QString source = path("legacy.nph");
    ParadoxWriter::writeParadox(source.toStdString(), ParadoxWriter::measurementFields,
                                {ParadoxWriter::sampleRow(0), ParadoxWriter::sampleRow(1)});
    prompts.chosenOpenFile = source;
    prompts.chosenFile = path("legacy.xlsx");
    EXPECT_TRUE(flow.exportChosenExcel());
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("\n").toStdString();
    EXPECT_EQ(opened, QStringList{path("legacy.xlsx")});
    const auto sheet = WorkbookSheet::cells(path("legacy.xlsx"));
    EXPECT_EQ(sheet.size(), 3u);
    EXPECT_EQ(sheet.at(3).at(6).text, "Culture A");
}

TEST_F(TableExportFlowTest, CancellingAnyQuestionWritesNothing) {
    const auto measurementFile = OpenedMeasurement::open(measurement());
    const struct {
        const char* name;
        bool openChosen, saveChosen, yes;
        std::function<bool(TableExportFlow&)> command;
    } cases[] = {
        {"file menu text, no source", false, true, true,
         [](TableExportFlow& f) { return f.exportChosenAscii(); }},
        {"file menu text, no target", true, false, true,
         [](TableExportFlow& f) { return f.exportChosenAscii(); }},
        {"file menu workbook, no source", false, true, true,
         [](TableExportFlow& f) { return f.exportChosenExcel(); }},
        {"file menu workbook, no target", true, false, true,
         [](TableExportFlow& f) { return f.exportChosenExcel(); }},
        {"viewer text, no target", true, false, true,
         [&](TableExportFlow& f) { return f.exportOpenedAscii(measurementFile); }},
        {"viewer workbook, answered No", true, true, false,
         [&](TableExportFlow& f) { return f.confirmAndExportOpenedExcel(measurementFile, panel); }},
        {"viewer workbook, no target", true, false, true,
         [&](TableExportFlow& f) { return f.exportOpenedExcel(measurementFile, panel); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        prompts.chosenOpenFile = c.openChosen ? measurementFile.chosenPath : QString();
        prompts.chosenFile = c.saveChosen ? path("out") : QString();
        prompts.answerYes = c.yes;
        prompts.saveDialogs.clear();
        EXPECT_FALSE(c.command(flow));
        if (!c.openChosen || !c.yes) {
            EXPECT_TRUE(prompts.saveDialogs.isEmpty());
        }
    }
    EXPECT_FALSE(QFile::exists(path("out")));
    EXPECT_TRUE(panel.events.isEmpty());
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(TableExportFlowTest, FailuresAreShownAndNeverReportedAsWritten) {
    const auto measurementFile = OpenedMeasurement::open(measurement());
    prompts.answerYes = true;

    prompts.chosenFile = path("gone/out.dat");
    EXPECT_FALSE(flow.exportOpenedAscii(measurementFile));
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith("Can't write the file '" + path("gone/out.dat")))
        << prompts.messages[0].toStdString();

    // The progress panel goes away with a failed workbook too, and nothing is opened.
    prompts.chosenFile = path("gone/out.xlsx");
    EXPECT_FALSE(flow.exportOpenedExcel(measurementFile, panel));
    EXPECT_EQ(panel.events.first(), "show|Export to MicroSoft Excel|2");
    EXPECT_EQ(panel.events.last(), "hide");
    EXPECT_TRUE(opened.isEmpty());
    ASSERT_EQ(prompts.messages.size(), 2);
    EXPECT_TRUE(prompts.messages[1].startsWith("Can't write the workbook"));

    // A source that is no measurement is reported before a workbook name is asked for.
    TempDirectory::writeFile(path("notes.nph").toStdString(), "not a table");
    prompts.chosenOpenFile = path("notes.nph");
    prompts.saveDialogs.clear();
    EXPECT_FALSE(flow.exportChosenExcel());
    EXPECT_TRUE(prompts.saveDialogs.isEmpty());
    ASSERT_EQ(prompts.messages.size(), 3);
    EXPECT_TRUE(prompts.messages[2].contains("is not a measurement table"));

    // Written but not opened: the user learns where the workbook is.
    openerWorks = false;
    prompts.chosenFile = path("out.xlsx");
    EXPECT_TRUE(flow.exportOpenedExcel(measurementFile, panel));
    ASSERT_EQ(prompts.messages.size(), 4);
    EXPECT_EQ(prompts.messages[3], "The workbook '" + path("out.xlsx") +
                                       "' was written, but no spreadsheet program could open it.");
}

TEST_F(TableExportFlowTest, TheMeasurementFileItselfIsNeitherProposedNorOverwritten) {
    measurement();
    const QString working = path("Record1.db");
    const std::string before = read(working);
    prompts.chosenOpenFile = working;
    prompts.chosenFile = working;
    EXPECT_FALSE(flow.exportChosenAscii());
    EXPECT_FALSE(flow.exportChosenExcel());
    EXPECT_EQ(prompts.saveDialogs,
              (QStringList{"Export Database to Ansi|" + dir + "|" + working + ".dat",
                           "Export Database to Excel|" + dir + "|" + working + ".xlsx"}));
    // Nor from the viewer, which holds the rows already.
    const auto viewed = OpenedMeasurement::open(working);
    EXPECT_FALSE(flow.exportOpenedAscii(viewed));
    EXPECT_FALSE(flow.exportOpenedExcel(viewed, panel));
    ASSERT_EQ(prompts.messages.size(), 4);
    for (const QString& message : prompts.messages)
        EXPECT_TRUE(message.startsWith("The export can't be written over the measurement file '" +
                                       working + "'"))
            << message.toStdString();
    EXPECT_TRUE(panel.events.isEmpty());
    EXPECT_EQ(read(working), before);
    EXPECT_EQ(RecordTable::openFile(working, true)->rowCount(), 2);
    EXPECT_TRUE(opened.isEmpty());
}
