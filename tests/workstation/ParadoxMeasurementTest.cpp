// SPDX-License-Identifier: GPL-3.0-or-later
#include "ErrorOf.h"
#include "ParadoxWriter.h"
#include "TempDirectory.h"
#include "WorkbookSheet.h"
#include "workstation/MeasurementFile.h"
#include "workstation/OpenedMeasurement.h"
#include "workstation/RecordRowReader.h"
#include "workstation/TableExport.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <variant>
#include <vector>

namespace {

using namespace ParadoxWriter;

std::vector<FieldLayout> fieldsWith(const std::function<void(std::vector<FieldLayout>&)>& change) {
    auto fields = measurementFields;
    change(fields);
    return fields;
}

struct ParadoxMeasurementTest : testing::Test {
    TempDirectory temp;
    std::string file = temp.path("legacy.nph");
    QString path = QString::fromStdString(file);

    void writeSamples(int count) {
        std::vector<ParadoxRow> rows;
        for (int i = 0; i < count; ++i)
            rows.push_back(sampleRow(i));
        writeParadox(file, measurementFields, rows);
    }
};

const std::string notATable = "is not a measurement table";

} // namespace

TEST_F(ParadoxMeasurementTest, EveryColumnTypeReadsAsStored) {
    // Code page 1252: 0xE4 is "ä", so these texts fill their columns to the last character.
    const std::string title50 = "\xE4" + std::string(48, 'T') + "\xFC";
    const std::string note50 = "[1] " + std::string(45, 'n') + "\xDF";
    writeParadox(
        file, measurementFields,
        {{0L, 0.0, 0.0, -1.2345, timeOfDay(23, 59, 59), dayNumber(2026, 12, 10), title50,
          std::string(), std::string("0:00"), -5.0, 0.0, Cell{}},
         {timeOfDay(2, 5, 0), 1.0, 1565.0, 0.00004, timeOfDay(0, 0, 0), dayNumber(1999, 2, 28),
          std::string("B"), note50, std::string("1234567:30"), 1.0, 12.5, 0.75}});

    EXPECT_EQ(MeasurementFile::formatOf(path), MeasurementFile::Format::Paradox);
    const auto rows = MeasurementFile::readRows(path);
    ASSERT_EQ(rows.size(), 2u);
    const RecordRow& first = rows[0];
    EXPECT_EQ(first.allTime, QTime(0, 0, 0)) << "midnight is a value, not an empty cell";
    EXPECT_EQ(first.number, 0);
    EXPECT_EQ(first.minutes, 0);
    EXPECT_DOUBLE_EQ(first.od, -1.2345);
    EXPECT_EQ(first.startTime, QTime(23, 59, 59));
    EXPECT_EQ(first.startDate, QDate(2026, 12, 10));
    EXPECT_EQ(first.title, QString::fromUtf8("ä") + QString(48, 'T') + QString::fromUtf8("ü"));
    EXPECT_EQ(first.title.size(), 50);
    EXPECT_TRUE(first.note.isEmpty());
    EXPECT_EQ(first.timeS, "0:00");
    EXPECT_EQ(first.noteS, -5);
    EXPECT_EQ(first.calcOd, 0);
    EXPECT_FALSE(first.smoothOd.has_value());

    const RecordRow& second = rows[1];
    EXPECT_EQ(second.allTime, QTime(2, 5, 0));
    EXPECT_EQ(second.number, 1);
    EXPECT_EQ(second.minutes, 1565);
    EXPECT_DOUBLE_EQ(second.od, 0.00004);
    EXPECT_EQ(second.startTime, QTime(0, 0, 0));
    EXPECT_EQ(second.startDate, QDate(1999, 2, 28));
    EXPECT_EQ(second.note, "[1] " + QString(45, 'n') + QString::fromUtf8("ß"));
    EXPECT_EQ(second.timeS, "1234567:30");
    EXPECT_EQ(second.noteS, 1);
    EXPECT_DOUBLE_EQ(second.calcOd, 12.5);
    EXPECT_EQ(second.smoothOd, 0.75);
}

TEST_F(ParadoxMeasurementTest, EmptyCellsReadAsEmptyValues) {
    // Empty times and date next to filled cells: the bytes that follow must not matter.
    ParadoxRow gaps = sampleRow(4);
    gaps[0] = gaps[4] = gaps[5] = Cell{};
    writeParadox(file, measurementFields, {ParadoxRow(12, Cell{}), gaps});
    const auto rows = MeasurementFile::readRows(path);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_FALSE(rows[1].allTime.isValid());
    EXPECT_FALSE(rows[1].startTime.isValid());
    EXPECT_FALSE(rows[1].startDate.isValid());
    EXPECT_EQ(rows[1].number, 4);
    EXPECT_EQ(rows[1].title, "Culture A");
    const RecordRow& row = rows[0];
    EXPECT_FALSE(row.allTime.isValid());
    EXPECT_FALSE(row.startTime.isValid());
    EXPECT_FALSE(row.startDate.isValid());
    EXPECT_TRUE(row.title.isEmpty());
    EXPECT_TRUE(row.note.isEmpty());
    EXPECT_TRUE(row.timeS.isEmpty());
    // Empty numbers stay empty: a 0 would be a measured value in every chart and export.
    for (const double value : {row.number, row.minutes, row.od, row.noteS, row.calcOd})
        EXPECT_TRUE(std::isnan(value));
    EXPECT_FALSE(row.smoothOd.has_value());
    EXPECT_FALSE(chartPoint(row, ChartParameter::OD));
    EXPECT_FALSE(chartPoint(row, ChartParameter::CalcOD));
    EXPECT_TRUE(chartPoint(rows[1], ChartParameter::OD));

    const QString text = QString::fromStdString(temp.path("out.dat"));
    exportTableAscii(path, text, AsciiVariant::FileMenu);
    const std::string written = TempDirectory::readFile(text.toStdString());
    std::string emptyLine;
    for (int i = 0; i < 12; ++i)
        emptyLine += "\"\"\t";
    EXPECT_NE(written.find("\r\n" + emptyLine + "\r\n"), std::string::npos) << written;
    const QString workbook = QString::fromStdString(temp.path("out.xlsx"));
    exportTableExcel(path, workbook);
    EXPECT_TRUE(WorkbookSheet::cells(workbook)[2].empty()) << "every cell of the row left empty";
}

TEST_F(ParadoxMeasurementTest, GapsInACurveAreLeftOutOfItsCharts) {
    ParadoxRow noOd = sampleRow(0), noTime = sampleRow(2);
    noOd[3] = Cell{};
    noTime[2] = Cell{};
    ParadoxRow first = sampleRow(1), last = sampleRow(3);
    first[3] = 0.25;
    last[3] = 0.255;
    noTime[3] = 9.0; // would leave the band, but has no place on the time axis
    writeParadox(file, measurementFields, {noOd, first, noTime, last});
    const auto opened = OpenedMeasurement::open(path);
    const FlatTest flat = testViewerFlat(opened.rows, ChartParameter::OD);
    EXPECT_TRUE(flat.flat);
    EXPECT_FLOAT_EQ(flat.firstValue, 0.25f);
    int drawn = 0;
    for (const auto& row : opened.rows)
        drawn += chartPoint(row, ChartParameter::OD).has_value();
    EXPECT_EQ(drawn, 2);
}

TEST_F(ParadoxMeasurementTest, ManyBlocksReadInOrderByEveryReader) {
    writeSamples(700); // several data blocks
    const auto rows = MeasurementFile::readRows(path);
    ASSERT_EQ(rows.size(), 700u);
    for (std::size_t i = 0; i < rows.size(); ++i)
        ASSERT_EQ(rows[i].number, static_cast<double>(i));

    RecordRowReader reader(path);
    EXPECT_EQ(reader.rowCount(), 700);
    RecordRow row;
    std::size_t count = 0;
    while (reader.next(row)) {
        ASSERT_LT(count, rows.size());
        EXPECT_EQ(row.number, rows[count].number);
        EXPECT_EQ(row.allTime, rows[count].allTime);
        EXPECT_EQ(row.timeS, rows[count].timeS);
        ++count;
    }
    EXPECT_EQ(count, rows.size());

    const auto opened = OpenedMeasurement::open(path);
    EXPECT_EQ(opened.rows.size(), 700u);
    EXPECT_EQ(opened.startDate, QDate(2026, 12, 10));
    EXPECT_EQ(opened.startTime, QTime(9, 5, 0));
    EXPECT_EQ(opened.duration, QTime(5, 49, 30));

    // The exports go through the streaming reader.
    const QString text = QString::fromStdString(temp.path("export.txt"));
    exportTableAscii(path, text, AsciiVariant::Viewer);
    const std::string written = TempDirectory::readFile(temp.path("export.txt"));
    EXPECT_NE(written.find("Culture A"), std::string::npos);
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 701);
}

TEST_F(ParadoxMeasurementTest, FormatIsDecidedByContentNotByName) {
    // A SQLite measurement under a Paradox-like name and a Paradox table under ours.
    const QString sqliteFile = QString::fromStdString(temp.path("Record1.DB"));
    {
        auto table = RecordTable::openWorking(QString::fromStdString(temp.path()));
        RecordRow row;
        row.number = 3;
        row.title = "sqlite";
        table->append(row);
        table->snapshotTo(sqliteFile);
    }
    writeSamples(2);
    const QString paradoxFile = QString::fromStdString(temp.path("saved.db"));
    std::filesystem::rename(file, paradoxFile.toStdString());

    EXPECT_EQ(MeasurementFile::formatOf(sqliteFile), MeasurementFile::Format::Sqlite);
    EXPECT_EQ(MeasurementFile::formatOf(paradoxFile), MeasurementFile::Format::Paradox);
    EXPECT_EQ(MeasurementFile::readRows(sqliteFile).at(0).title, "sqlite");
    EXPECT_EQ(MeasurementFile::readRows(paradoxFile).size(), 2u);
    EXPECT_EQ(RecordRowReader(sqliteFile).rowCount(), 1);
    EXPECT_EQ(RecordRowReader(paradoxFile).rowCount(), 2);
}

TEST_F(ParadoxMeasurementTest, CompatibleColumnLayoutsAreRead) {
    const struct {
        const char* what;
        std::vector<FieldLayout> fields;
    } cases[] = {
        {"names in another letter case and order", fieldsWith([](auto& f) {
             std::reverse(f.begin(), f.end());
             for (auto& field : f)
                 for (auto& c : field.name)
                     c = static_cast<char>(std::tolower(c));
         })},
        {"whole-number and currency columns", fieldsWith([](auto& f) {
             f[1] = {"Number", pxfLong, 4};
             f[9] = {"NoteS", pxfShort, 2};
             f[10] = {"CalcOD", pxfCurrency, 8};
         })},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<ParadoxRow> rows(1);
        for (const auto& field : c.fields) {
            const auto at = std::find_if(
                measurementFields.begin(), measurementFields.end(), [&](const FieldLayout& m) {
                    return QString::fromStdString(m.name).compare(
                               QString::fromStdString(field.name), Qt::CaseInsensitive) == 0;
                });
            Cell cell = sampleRow(7)[static_cast<std::size_t>(at - measurementFields.begin())];
            if ((field.type == pxfLong || field.type == pxfShort) &&
                std::holds_alternative<double>(cell))
                cell = static_cast<long>(std::get<double>(cell));
            rows[0].push_back(cell);
        }
        writeParadox(file, c.fields, rows);
        const auto read = MeasurementFile::readRows(path);
        ASSERT_EQ(read.size(), 1u);
        EXPECT_EQ(read[0].number, 7);
        EXPECT_EQ(read[0].noteS, -5);
        EXPECT_DOUBLE_EQ(read[0].calcOd, 1.75);
        EXPECT_DOUBLE_EQ(read[0].od, 7.1234);
        EXPECT_EQ(read[0].allTime, QTime(0, 3, 30));
        EXPECT_EQ(read[0].title, "Culture A");
    }
}

TEST_F(ParadoxMeasurementTest, OtherColumnsAndWrongTypesAreRefused) {
    const struct {
        const char* what;
        std::vector<FieldLayout> fields;
        const char* reason;
    } cases[] = {
        {"an extra column", fieldsWith([](auto& f) {
             f.push_back({"Remark", pxfAlpha, 20});
         }),
         "it has the column Remark, which a measurement does not have."},
        {"a missing column", fieldsWith([](auto& f) { f.pop_back(); }),
         "it has no column SmoothOD."},
        {"a column twice", fieldsWith([](auto& f) {
             f[11] = {"OD", pxfNumber, 8};
         }),
         "it has the column OD twice."},
        {"a text column as number", fieldsWith([](auto& f) {
             f[6] = {"Title", pxfNumber, 8};
         }),
         "its column Title has the wrong type."},
        {"a number column as text", fieldsWith([](auto& f) {
             f[3] = {"OD", pxfAlpha, 8};
         }),
         "its column OD has the wrong type."},
        {"a time column as date", fieldsWith([](auto& f) {
             f[0] = {"AllTime", pxfDate, 4};
         }),
         "its column AllTime has the wrong type."},
        {"a date column as time", fieldsWith([](auto& f) {
             f[5] = {"StartDate", pxfTime, 4};
         }),
         "its column StartDate has the wrong type."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeParadox(file, c.fields, {});
        const std::string expected =
            "The file '" + file + "' is not a measurement table: " + c.reason;
        EXPECT_EQ(errorOf([&] { MeasurementFile::readRows(path); }), expected);
        EXPECT_EQ(errorOf([&] { RecordRowReader reader(path); }), expected);
        EXPECT_EQ(errorOf([&] { OpenedMeasurement::open(path); }), expected);
    }
}

TEST_F(ParadoxMeasurementTest, TablesProtectedWithTheProgramsPasswordReadEverywhere) {
    std::vector<ParadoxRow> samples;
    for (int i = 0; i < 300; ++i) // several blocks, each decrypted with its own number
        samples.push_back(sampleRow(i));
    writeParadox(file, measurementFields, samples, "lumivarek");
    ASSERT_EQ(TempDirectory::readFile(file).find("Culture A"), std::string::npos)
        << "the fixture must be encrypted";

    const auto opened = OpenedMeasurement::open(path);
    ASSERT_EQ(opened.rows.size(), 300u);
    EXPECT_EQ(opened.rows[299].number, 299);
    EXPECT_DOUBLE_EQ(opened.rows[299].od, 299.1234);
    EXPECT_EQ(opened.title, "Culture A");
    EXPECT_EQ(opened.startTime, QTime(9, 5, 0));
    RecordRowReader reader(path);
    EXPECT_EQ(reader.rowCount(), 300);
    exportTableAscii(path, QString::fromStdString(temp.path("out.txt")), AsciiVariant::Viewer);
    const std::string text = TempDirectory::readFile(temp.path("out.txt"));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 301);
    exportTableExcel(path, QString::fromStdString(temp.path("out.xlsx")));

    // Another password, or a protected table cut short, is refused before any row is read.
    writeParadox(file, measurementFields, samples, "other");
    EXPECT_EQ(errorOf([&] { OpenedMeasurement::open(path); }),
              "The file '" + file +
                  "' is not a measurement table: it is protected with a password other than the "
                  "program's.");
    writeParadox(file, measurementFields, samples, "lumivarek");
    std::string bytes = TempDirectory::readFile(file);
    bytes.resize(bytes.size() - 100);
    TempDirectory::writeFile(file, bytes);
    EXPECT_NE(errorOf([&] { RecordRowReader cut(path); }).find(notATable), std::string::npos);
}

TEST_F(ParadoxMeasurementTest, DamagedFilesAreRefusedWithoutReadingPastTheirEnd) {
    writeSamples(300);
    const std::string good = TempDirectory::readFile(file);
    const auto le16 = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(good[at])) |
               static_cast<unsigned>(static_cast<unsigned char>(good[at + 1])) << 8;
    };
    const std::size_t headerSize = le16(2);
    const std::size_t blockSize = static_cast<unsigned char>(good[5]) * 0x400u;
    const std::size_t blocks = le16(0x0C);
    ASSERT_GE(blocks, 2u) << "the fixture must span several blocks";
    ASSERT_EQ(good.size(), headerSize + blocks * blockSize);
    const auto put16 = [](std::string& bytes, std::size_t at, unsigned value) {
        bytes[at] = static_cast<char>(value & 0xFF);
        bytes[at + 1] = static_cast<char>(value >> 8);
    };
    const std::size_t firstBlock = headerSize;
    const std::size_t secondBlock = headerSize + blockSize;

    const struct {
        const char* what;
        std::function<void(std::string&)> damage;
    } cases[] = {
        {"empty file", [](std::string& b) { b.clear(); }},
        {"text file", [](std::string& b) { b = "AllTime\tNumber\r\n0:00:00\t0\r\n"; }},
        {"header cut short", [&](std::string& b) { b.resize(headerSize / 2); }},
        {"last block cut short", [&](std::string& b) { b.resize(b.size() - blockSize / 2); }},
        {"only the header", [&](std::string& b) { b.resize(headerSize); }},
        {"more blocks than the file holds",
         [&](std::string& b) { put16(b, 0x0C, static_cast<unsigned>(blocks + 5)); }},
        {"block chain beyond the blocks",
         [&](std::string& b) { put16(b, firstBlock, static_cast<unsigned>(blocks + 1)); }},
        {"block chain in a circle", [&](std::string& b) { put16(b, secondBlock, 1); }},
        {"first block beyond the blocks", [&](std::string& b) { put16(b, 0x0E, 0xFFFF); }},
        {"block claiming more records than fit",
         [&](std::string& b) { put16(b, firstBlock + 4, 0x7FF0); }},
        {"block size not in whole records",
         [&](std::string& b) { put16(b, firstBlock + 4, le16(firstBlock + 4) + 1); }},
        {"row count of the header", [&](std::string& b) { b[6] = static_cast<char>(b[6] + 1); }},
        {"record size", [&](std::string& b) { put16(b, 0, le16(0) + 1); }},
        {"header size beyond the file", [&](std::string& b) { put16(b, 2, 0xFFFF); }},
        {"unknown block size", [&](std::string& b) { b[5] = 5; }},
        {"unknown file type", [&](std::string& b) { b[4] = 1; }},
        {"field names without their end",
         [&](std::string& b) {
             for (std::size_t i = 0x78; i < headerSize; ++i)
                 if (b[i] == '\0')
                     b[i] = 'A';
         }},
        {"time beyond a day",
         [&](std::string& b) {
             b[firstBlock + 6] = '\x7F'; // AllTime of the first row, sign bit cleared: negative
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = good;
        c.damage(bytes);
        TempDirectory::writeFile(file, bytes);
        const std::string error = errorOf([&] { MeasurementFile::readRows(path); });
        EXPECT_NE(error.find(notATable), std::string::npos) << error;
        EXPECT_NE(errorOf([&] {
                      RecordRowReader reader(path);
                      RecordRow row;
                      while (reader.next(row)) {
                      }
                  }).find(notATable),
                  std::string::npos);
    }
}

// An older installation's working table in the program directory: named for what it is, with
// what to do, and left as it was.
TEST_F(ParadoxMeasurementTest, AnOldFormatWorkingTableIsNamedWithWhatToDo) {
    const std::string working = temp.path("program/Record1.db");
    std::filesystem::create_directories(temp.path("program"));
    writeParadox(working, measurementFields, {sampleRow(0), sampleRow(1)});
    const std::string before = TempDirectory::readFile(working);
    EXPECT_EQ(
        errorOf([&] { RecordTable::openWorking(QString::fromStdString(temp.path("program"))); }),
        "The working table '" + working +
            "' is an old-format (Paradox) table. Move it out of the program directory (the "
            "viewer opens it as a saved measurement); the next start makes a new working "
            "table.");
    EXPECT_EQ(TempDirectory::readFile(working), before);
}
