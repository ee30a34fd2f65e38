// SPDX-License-Identifier: GPL-3.0-or-later
#include "workstation/TableExport.h"
#include "ErrorOf.h"
#include "TempDirectory.h"
#include "WorkbookSheet.h"
#include "workstation/DisplayFormats.h"
#include "workstation/ExportTexts.h"
#include "workstation/RecordTable.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

struct TableExportTest : testing::Test {
    TempDirectory temp;
    QString dir = QString::fromStdString(temp.path());
    const QString date = DisplayFormats::shortDateText(QDate(2026, 12, 10));

    QString path(const QString& name) const { return dir + "/" + name; }
    static std::string read(const QString& file) {
        return TempDirectory::readFile(file.toStdString());
    }

    // A run started on 10 Dec 2026 at 09:05:03; the second sample carries a note, a title
    // with a tab in it and a SmoothOD value.
    static std::vector<RecordRow> samples() {
        RecordRow first;
        first.allTime = QTime(0, 0, 0);
        first.number = 0;
        first.minutes = 0;
        first.od = 0.1 + 0.2; // 0.30000000000000004: fifteen digits make it 0.3
        first.startTime = QTime(9, 5, 3);
        first.startDate = QDate(2026, 12, 10);
        first.title = "Culture A";
        first.timeS = "0:00";
        first.calcOd = 0.2468;
        RecordRow second = first;
        second.allTime = QTime(1, 30, 30);
        second.number = 1;
        second.minutes = 90.5;
        second.od = 1.2345;
        second.title = "Culture\tB";
        second.note = QString::fromUtf8("[1] \"added\" 5 µl"); // UTF-8 in the files
        second.timeS = "1:30";
        second.noteS = 1;
        second.calcOd = 12.5;
        second.smoothOd = 0.00001;
        return {first, second};
    }

    // Written to the working table and saved as Save does.
    QString measurement(const std::vector<RecordRow>& rows, const QString& name = "run.nph") {
        auto table = RecordTable::openWorking(dir);
        table->empty();
        for (const auto& row : rows)
            table->append(row);
        table->snapshotTo(path(name));
        return path(name);
    }
};

const std::string header = "\"AllTime\"\t\"Number\"\t\"Minutes\"\t\"OD\"\t\"StartTime\"\t"
                           "\"StartDate\"\t\"Title\"\t\"Note\"\t\"TimeS\"\t\"NoteS\"\t\"CalcOD\"\t"
                           "\"SmoothOD\"\t\r\n";

} // namespace

TEST_F(TableExportTest, TextExportWritesBothVariantsByteForByte) {
    // <date> stands for the desktop's short form of 10 Dec 2026.
    const struct {
        AsciiVariant variant;
        const char* rows;
    } cases[] = {
        {AsciiVariant::Viewer,
         " 00:00:00 \t 0 \t 0 \t 0.3 \t 09:05:03 \t <date> \t Culture A \t  \t 0:00 \t -5 \t "
         "0.2468 \t  \t\r\n"
         " 01:30:30 \t 1 \t 90.5 \t 1.2345 \t 09:05:03 \t <date> \t Culture B \t "
         "[1] \"added\" 5 µl \t 1:30 \t 1 \t 12.5 \t 1e-05 \t\r\n"},
        {AsciiVariant::FileMenu,
         "\"00:00:00\"\t\"0\"\t\"0\"\t\"0.3\"\t\"09:05:03\"\t\"<date>\"\t\"Culture A\"\t\"\"\t"
         "\"0:00\"\t\"-5\"\t\"0.2468\"\t\"\"\t\r\n"
         "\"01:30:30\"\t\"1\"\t\"90.5\"\t\"1.2345\"\t\"09:05:03\"\t\"<date>\"\t"
         "\"Culture B\"\t\"[1] \"\"added\"\" 5 µl\"\t\"1:30\"\t\"1\"\t\"12.5\"\t\"1e-05\"\t\r\n"},
    };
    const QString source = measurement(samples());
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.variant));
        // The viewer exports the rows it holds, the file menu reads the file: the same bytes.
        exportTableAscii(samples(), path("rows.dat"), c.variant);
        exportTableAscii(source, path("file.dat"), c.variant);
        const std::string expected =
            header + QString::fromUtf8(c.rows).replace("<date>", date).toStdString();
        EXPECT_EQ(read(path("rows.dat")), expected);
        EXPECT_EQ(read(path("file.dat")), expected);
    }
}

TEST_F(TableExportTest, WorkbookHoldsBoldHeaderNumberCellsAndTextCells) {
    const QString source = measurement(samples());
    std::vector<QString> progress;
    exportTableExcel(source, path("run.xlsx"), [&](const ExcelProgress& p) {
        progress.push_back(QString("%1|%2|%3").arg(p.text).arg(p.position).arg(p.maximum));
    });
    EXPECT_EQ(progress, (std::vector<QString>{"Excel Export|0|2", "Proceed: 3 Lines|2|2",
                                              "Proceed: 4 Lines|2|2"}));
    EXPECT_TRUE(WorkbookSheet::member(path("run.xlsx"), "xl/workbook.xml")
                    .contains("<sheet name=\"Measuring Data\""));

    const QStringList expected[] = {
        {"AllTime", "Number", "Minutes", "OD", "StartTime", "StartDate", "Title", "Note", "TimeS",
         "NoteS", "CalcOD", "SmoothOD"},
        {"00:00:00", "0", "0", "0.3", "09:05:03", date, "Culture A", "", "0:00", "-5", "0.2468",
         ""},
        {"01:30:30", "1", "90.5", "1.2345", "09:05:03", date, "Culture\tB",
         QString::fromUtf8("[1] \"added\" 5 µl"), "1:30", "1", "12.5", "1e-05"},
    };
    exportTableExcel(samples(), path("rows.xlsx")); // as the viewer exports
    for (const QString& workbook : {path("run.xlsx"), path("rows.xlsx")}) {
        const auto grid = WorkbookSheet::cells(workbook);
        ASSERT_EQ(grid.size(), 3u);
        for (int row = 1; row <= 3; ++row) {
            for (int column = 0; column < 12; ++column) {
                SCOPED_TRACE(QString("%1 %2 %3").arg(workbook).arg(row).arg(column).toStdString());
                const auto found = grid.at(row).find(column);
                const WorkbookSheet::Cell cell =
                    found == grid.at(row).end() ? WorkbookSheet::Cell{} : found->second;
                const QString& value = expected[row - 1][column];
                EXPECT_EQ(cell.bold, row == 1);
                // Number columns hold numbers a spreadsheet can sum, whatever its locale;
                // times, the date and texts stay texts ("0:00" must not become a time).
                const bool number = row > 1 && ExportTexts::isNumberColumn(column);
                if (number && !value.isEmpty()) {
                    EXPECT_EQ(cell.type, "");
                    EXPECT_DOUBLE_EQ(cell.text.toDouble(), value.toDouble());
                } else {
                    EXPECT_EQ(cell.text, value);
                    if (!value.isEmpty()) {
                        EXPECT_EQ(cell.type, "inlineStr");
                    }
                }
            }
        }
    }
}

TEST_F(TableExportTest, EmptyTableExportsTheHeaderOnly) {
    const QString source = measurement({});
    exportTableAscii(source, path("run.dat"), AsciiVariant::FileMenu);
    EXPECT_EQ(read(path("run.dat")), header);
    exportTableExcel(source, path("run.xlsx"));
    const auto grid = WorkbookSheet::cells(path("run.xlsx"));
    ASSERT_EQ(grid.size(), 1u);
    EXPECT_EQ(grid.at(1).size(), 12u);
}

TEST_F(TableExportTest, ExportingAgainReplacesTheEarlierFile) {
    const QString source = measurement(samples());
    TempDirectory::writeFile(path("run.dat").toStdString(), std::string(100000, 'x'));
    exportTableAscii(source, path("run.dat"), AsciiVariant::Viewer);
    const std::string once = read(path("run.dat"));
    exportTableAscii(source, path("run.dat"), AsciiVariant::Viewer);
    EXPECT_EQ(read(path("run.dat")), once);
    EXPECT_EQ(once.rfind(header, 0), 0u);
}

TEST_F(TableExportTest, FailedExportsSayWhyAndLeaveAnEarlierFileAlone) {
    const QString source = measurement(samples());
    const std::string text = path("no/such/dir/run.dat").toStdString();
    EXPECT_EQ(errorOf([&] {
                  exportTableAscii(source, path("no/such/dir/run.dat"), AsciiVariant::Viewer);
              }).rfind("Can't write the file '" + text + "': ", 0),
              0u);
    const std::string workbook = path("no/such/dir/run.xlsx").toStdString();
    EXPECT_EQ(errorOf([&] {
                  exportTableExcel(source, path("no/such/dir/run.xlsx"));
              }).rfind("Can't write the workbook '" + workbook + "': ", 0),
              0u);

    // A source that is no measurement fails before the target is touched.
    TempDirectory::writeFile(path("notes.txt").toStdString(), "not a table");
    TempDirectory::writeFile(path("earlier.dat").toStdString(), "earlier export");
    TempDirectory::writeFile(path("earlier.xlsx").toStdString(), "earlier workbook");
    EXPECT_THROW(exportTableAscii(path("notes.txt"), path("earlier.dat"), AsciiVariant::Viewer),
                 std::runtime_error);
    EXPECT_THROW(exportTableExcel(path("notes.txt"), path("earlier.xlsx")), std::runtime_error);
    EXPECT_EQ(read(path("earlier.dat")), "earlier export");
    EXPECT_EQ(read(path("earlier.xlsx")), "earlier workbook");
}

TEST_F(TableExportTest, TheMeasurementFileIsNeverChanged) {
    const QString source = measurement(samples());
    QDir(dir).remove("Record1.db");
    QDir(dir).remove("Record1.db-journal");
    const std::string before = read(source);
    exportTableAscii(source, path("run.dat"), AsciiVariant::FileMenu);
    exportTableExcel(source, path("run.xlsx"));
    EXPECT_EQ(read(source), before);
    EXPECT_EQ(QDir(dir).entryList(QDir::Files), (QStringList{"run.dat", "run.nph", "run.xlsx"}));

    // Not even when the chosen target is the measurement file, by its name or through a link.
    QFile::link(source, path("link.nph"));
    for (const QString& target : {source, path("link.nph")}) {
        EXPECT_THROW(exportTableAscii(source, target, AsciiVariant::Viewer), std::runtime_error);
        EXPECT_THROW(exportTableExcel(source, target), std::runtime_error);
    }
    EXPECT_EQ(read(source), before);
}

TEST_F(TableExportTest, WorkingTableBeingFilledExportsEveryCommittedRow) {
    auto table = RecordTable::openWorking(dir);
    for (const auto& row : samples())
        table->append(row);
    exportTableAscii(path("Record1.db"), path("now.dat"), AsciiVariant::Viewer);
    exportTableAscii(samples(), path("expected.dat"), AsciiVariant::Viewer);
    EXPECT_EQ(read(path("now.dat")), read(path("expected.dat")));
    // The export holds no lock: the measurement goes on.
    EXPECT_NO_THROW(table->append(samples().front()));
    EXPECT_EQ(table->rowCount(), 3);
}
