// SPDX-License-Identifier: GPL-3.0-or-later
#include "workstation/RecordTable.h"
#include "ErrorOf.h"
#include "Subprocess.h"
#include "TempDirectory.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

struct RecordTableTest : testing::Test {
    TempDirectory temp;
    QString program = QString::fromStdString(temp.path());
    QString file = program + "/Record1.db";

    static RecordRow sample(int number, double minutes, const QString& title = "Culture A") {
        RecordRow row;
        row.allTime = QTime(0, 0).addSecs(static_cast<int>(minutes * 60));
        row.number = number;
        row.minutes = minutes;
        row.od = 0.1 * number;
        row.startTime = QTime(9, 5, 0);
        row.startDate = QDate(2026, 12, 10);
        row.title = title;
        row.timeS = "0:0" + QString::number(number);
        row.calcOd = 0.2 * number;
        return row;
    }
};

} // namespace

TEST_F(RecordTableTest, MissingWorkingTableIsCreatedAndRowsSurviveReopening) {
    {
        auto table = RecordTable::openWorking(program);
        EXPECT_EQ(table->fileName(), file);
        for (int i = 0; i < 5; ++i)
            table->append(sample(i, i * 0.5));
    }
    // A fresh connection, as after a crash or in another program, sees every row.
    auto reopened = RecordTable::openFile(file, true);
    const auto rows = reopened->allRows();
    ASSERT_EQ(rows.size(), 5u);
    const RecordRow& first = rows[0];
    EXPECT_EQ(first.number, 0);
    EXPECT_EQ(first.noteS, -5);
    EXPECT_TRUE(first.note.isEmpty());
    EXPECT_FALSE(first.smoothOd.has_value());
    EXPECT_EQ(first.startTime, QTime(9, 5, 0));
    EXPECT_EQ(first.startDate, QDate(2026, 12, 10));
    EXPECT_EQ(rows[4].allTime, QTime(0, 2, 0));
    EXPECT_DOUBLE_EQ(rows[4].od, 0.4);
    EXPECT_DOUBLE_EQ(rows[4].calcOd, 0.8);
    EXPECT_EQ(rows[4].timeS, "0:04");
}

TEST_F(RecordTableTest, TextsAreStoredExactlyAndCutToTheirColumns) {
    auto table = RecordTable::openWorking(program);
    const QString tricky = QString::fromUtf8("O'Brien \"x\"; DROP TABLE Record1; -- \\ ä");
    table->append(sample(0, 0, tricky));
    table->append(sample(1, 1, QString(80, 'T')));
    QString surrogates;
    for (int i = 0; i < 30; ++i)
        surrogates += QString::fromUtf8("😀");
    table->append(sample(2, 2, surrogates));
    const auto rows = table->allRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].title, tricky);
    EXPECT_EQ(rows[1].title, QString(50, 'T'));
    EXPECT_EQ(rows[2].title.size(), 50);
    EXPECT_FALSE(rows[2].title.back().isHighSurrogate());

    ASSERT_TRUE(table->attachNote(7, QString("it's; \"fine\" ") + QString(60, 'n'), 0.5));
    const auto noted = table->allRows()[1];
    EXPECT_EQ(noted.note, QString("[7] it's; \"fine\" ") + QString(33, 'n'));
    EXPECT_EQ(noted.note.size(), 50);
    EXPECT_EQ(noted.noteS, 7);
}

TEST_F(RecordTableTest, NoteGoesToTheRowItsTimeFallsOn) {
    auto table = RecordTable::openWorking(program);
    EXPECT_EQ(table->attachNote(1, "nothing yet", 1.0), std::nullopt) << "empty table";

    const double times[] = {0.0, 0.5, 1.0, 1.5, 2.0};
    for (int i = 0; i < 5; ++i)
        table->append(sample(i, times[i]));
    const struct {
        double x;
        double number;
    } cases[] = {
        {1.3, 3},  // between rows 3 and 4 (numbers 2 and 3)
        {1.0, 3},  // exactly on row 3's time: still the row after it
        {0.2, 1},  // just after the first row
        {-1.0, 4}, // left of the first row: the last row
        {2.0, 4},  // at the last row's time
        {99.0, 4}, // right of everything
    };
    int n = 0;
    for (const auto& c : cases)
        EXPECT_EQ(table->attachNote(++n, "note", c.x), c.number) << c.x;

    std::vector<double> noted;
    for (const auto& row : table->allRows())
        noted.push_back(row.noteS);
    EXPECT_EQ(noted, (std::vector<double>{-5, 3, -5, 2, 6}));

    table->empty();
    EXPECT_EQ(table->rowCount(), 0);
    table->append(sample(0, 0));
    EXPECT_EQ(table->attachNote(1, "only row", 5.0), 0) << "a single row takes the note";
}

// Rows of a short interval share their time: a position on the last row's time is the last
// row, though the time in single precision lies above it; a note by number finds its row.
TEST_F(RecordTableTest, NoteOnTheRowItNames) {
    auto table = RecordTable::openWorking(program);
    const double times[] = {0.0, 0.001, 0.003, 0.003, 0.003};
    for (int i = 0; i < 5; ++i)
        table->append(sample(i, times[i]));
    EXPECT_EQ(table->attachNote(1, "at the end", 0.003), 4);
    EXPECT_TRUE(table->attachNoteToRow(2, "third", 2));
    EXPECT_FALSE(table->attachNoteToRow(3, "never taken", 7));
    std::vector<QString> notes;
    for (const auto& row : table->allRows())
        notes.push_back(row.note);
    EXPECT_EQ(notes, (std::vector<QString>{"", "", "[2] third", "", "[1] at the end"}));
}

TEST_F(RecordTableTest, ChartSideReadsOnlyNewRows) {
    auto table = RecordTable::openWorking(program);
    sqlite3_int64 last = 0;
    EXPECT_TRUE(table->chartRowsSince(last).empty());
    table->append(sample(0, 0));
    table->append(sample(1, 0.5));
    auto rows = table->chartRowsSince(last);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].minutes, 0.5);
    EXPECT_EQ(rows[1].timeS, "0:01");
    EXPECT_FALSE(rows[1].smoothOd.has_value());
    table->append(sample(2, 1.0));
    rows = table->chartRowsSince(last);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].number, 2);
    EXPECT_TRUE(table->chartRowsSince(last).empty());
}

TEST_F(RecordTableTest, FilesThatAreNoMeasurementTablesAreRefusedUntouched) {
    const std::string junkPath = (program + "/junk.nph").toStdString();
    const std::string junk = "this is not a database, just some text\n";
    TempDirectory::writeFile(junkPath, junk);
    try {
        RecordTable::openFile(QString::fromStdString(junkPath), false);
        FAIL() << "opened";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind(
                      "The file '" + junkPath + "' is not a measurement table", 0),
                  0u)
            << e.what();
    }
    EXPECT_EQ(TempDirectory::readFile(junkPath), junk);

    // A database without every column, as the working table of the program directory.
    {
        SqliteDatabase other(file, SqliteDatabase::Mode::Create);
        other.execute("CREATE TABLE Record1 (AllTime TEXT, Number REAL)");
    }
    const std::string before = TempDirectory::readFile(file.toStdString());
    try {
        RecordTable::openWorking(program);
        FAIL() << "opened";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "The file '" + file.toStdString() +
                                             "' is not a measurement table: it has no column "
                                             "Minutes. Move it out of the program directory; "
                                             "the next start makes a new working table.");
    }
    EXPECT_EQ(TempDirectory::readFile(file.toStdString()), before);
    EXPECT_THROW(RecordTable::openFile(program + "/none.nph", true), std::runtime_error);
}

namespace {

const std::string ourTable =
    "CREATE TABLE Record1 (AllTime TEXT, Number REAL, Minutes REAL, OD REAL, StartTime TEXT, "
    "StartDate TEXT, Title TEXT, Note TEXT, TimeS TEXT, NoteS REAL, CalcOD REAL, SmoothOD REAL);";

// Another program's hand on the file: the sqlite3 command, with its own connection.
void runSqliteTool(const QString& file, const std::string& sql) {
    Subprocess tool("/usr/bin/sqlite3", {file.toStdString(), sql});
    ASSERT_EQ(tool.wait(), 0) << tool.errorOutput();
}

} // namespace

// A working table is written to at every sample and copied into every saved set: only the
// table exactly as this program makes it is taken.
TEST_F(RecordTableTest, ForeignWorkingTablesAreRefusedUntouched) {
    const std::string row = "INSERT INTO Record1 (Number, OD, Title) VALUES (0, 0.5, 'A');";
    const struct {
        std::string sql;
        std::string fault;
    } cases[] = {
        {ourTable + "CREATE TRIGGER Keep AFTER INSERT ON Record1 BEGIN UPDATE Record1 SET OD = 9; "
                    "DELETE FROM Record1 WHERE Number = 0; END;",
         "it holds the trigger 'Keep' besides the table Record1"},
        {ourTable + "CREATE TABLE Secrets (x);",
         "it holds the table 'Secrets' besides the table Record1"},
        {ourTable + "CREATE INDEX ByNumber ON Record1 (Number);",
         "it holds the index 'ByNumber' besides the table Record1"},
        {"CREATE TABLE Record1 (AllTime TEXT, Number REAL, Minutes REAL, OD TEXT, StartTime TEXT, "
         "StartDate TEXT, Title TEXT, Note TEXT, TimeS TEXT, NoteS REAL, CalcOD REAL, "
         "SmoothOD REAL);",
         "its column OD is declared 'TEXT', not REAL"},
        {"CREATE TABLE Record1 (AllTime TEXT, Number REAL, Minutes REAL, OD REAL, StartTime TEXT, "
         "StartDate TEXT, Title TEXT, Note TEXT, TimeS TEXT, NoteS REAL, CalcOD REAL, "
         "SmoothOD REAL, Extra REAL);",
         "it has a column Extra of its own"},
        {"CREATE TABLE Record1 (AllTime TEXT, Number REAL, Minutes REAL, OD REAL, StartTime TEXT, "
         "StartDate TEXT, Title TEXT DEFAULT 'x', Note TEXT, TimeS TEXT, NoteS REAL, CalcOD REAL, "
         "SmoothOD REAL);",
         "its column Title carries a constraint or a default"},
        {"CREATE TABLE Record1 (AllTime TEXT, Number REAL, Minutes REAL, OD REAL CHECK (OD < 1), "
         "StartTime TEXT, StartDate TEXT, Title TEXT, Note TEXT, TimeS TEXT, NoteS REAL, "
         "CalcOD REAL, SmoothOD REAL);",
         "its table Record1 carries constraints or options of its own"},
    };
    for (const auto& c : cases) {
        QFile::remove(file);
        runSqliteTool(file, c.sql + row);
        const std::string before = TempDirectory::readFile(file.toStdString());
        EXPECT_EQ(errorOf([&] { RecordTable::openWorking(program); }),
                  "The working table '" + file.toStdString() +
                      "' is not this program's table: " + c.fault +
                      ". Move it out of the program directory (the viewer opens it as a saved "
                      "measurement); the next start makes a new working table.");
        EXPECT_EQ(TempDirectory::readFile(file.toStdString()), before) << c.fault;
    }
    // The same table written by another tool is this program's table.
    QFile::remove(file);
    runSqliteTool(file, "create  table Record1(AllTime text, Number real, Minutes real, OD real, "
                        "StartTime text, StartDate text, Title text, Note text, TimeS text, "
                        "NoteS real, CalcOD real, SmoothOD real);" +
                            row);
    EXPECT_EQ(RecordTable::openWorking(program)->rowCount(), 1);
}

// What another program adds to the working table while it is held never acts on the rows and
// never reaches a saved set.
TEST_F(RecordTableTest, WhatAnotherToolAddsMidRunStaysOutOfRowsAndSavedSets) {
    auto table = RecordTable::openWorking(program);
    table->append(sample(0, 0));
    runSqliteTool(file, "CREATE TRIGGER Keep AFTER INSERT ON Record1 BEGIN UPDATE Record1 SET OD "
                        "= 9, Title = 'changed'; DELETE FROM Record1 WHERE Number = 0; END; "
                        "CREATE TABLE Secrets (x); INSERT INTO Secrets VALUES ('kept');");
    table->append(sample(1, 1));
    const auto rows = table->allRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_DOUBLE_EQ(rows[1].od, 0.1);
    EXPECT_EQ(rows[1].title, "Culture A");

    const QString copy = program + "/run.nph";
    table->snapshotTo(copy);
    SqliteDatabase saved(copy, SqliteDatabase::Mode::ReadOnly);
    auto objects = saved.prepare("SELECT group_concat(type || ' ' || name) FROM sqlite_master");
    ASSERT_TRUE(objects.step());
    EXPECT_EQ(objects.text(0), "table Record1");
    table.reset();
    // The saved copy is a working table as this program makes it, rows in their order.
    QDir().mkpath(program + "/again");
    ASSERT_TRUE(QFile::copy(copy, program + "/again/Record1.db"));
    const auto again = RecordTable::openWorking(program + "/again")->allRows();
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[0].number, 0);
    EXPECT_EQ(again[1].number, 1);
}

TEST_F(RecordTableTest, ViewInTheTablesPlaceIsRefusedUnread) {
    // Every column there, and rows without end: reading them would never finish.
    const QString viewFile = program + "/view.nph";
    SqliteDatabase(viewFile, SqliteDatabase::Mode::Create)
        .execute("CREATE VIEW record1 (AllTime, Number, Minutes, OD, StartTime, StartDate, Title, "
                 "Note, TimeS, NoteS, CalcOD, SmoothOD) AS WITH RECURSIVE n(x) AS (SELECT 1 "
                 "UNION ALL SELECT x + 1 FROM n) SELECT '', x, x, 0, '', '', '', '', '', 0, 0, "
                 "NULL FROM n");
    EXPECT_EQ(errorOf([&] { RecordTable::openFile(viewFile, true)->allRows(); }),
              "The file '" + viewFile.toStdString() +
                  "' is not a measurement table: its Record1 is not a table (view).");
}

TEST_F(RecordTableTest, SnapshotIsAStandaloneTable) {
    auto table = RecordTable::openWorking(program);
    for (int i = 0; i < 3; ++i)
        table->append(sample(i, i));
    const QString copy = program + "/run.nph";
    table->snapshotTo(copy);
    table->append(sample(3, 3));
    auto saved = RecordTable::openFile(copy, true);
    EXPECT_EQ(saved->rowCount(), 3) << "the copy does not follow the working table";
    EXPECT_FALSE(QFile::exists(copy + "-wal"));
    EXPECT_FALSE(QFile::exists(copy + ".part"));
}

// A copy of the table file alone, taken mid-run or rescued after a crash, holds every row
// committed so far: nothing waits in a file beside it.
TEST_F(RecordTableTest, TheTableFileAloneHoldsEveryCommittedRow) {
    auto table = RecordTable::openWorking(program);
    for (int i = 0; i < 5; ++i)
        table->append(sample(i, i));
    const QString copy = program + "/copied/Record1.db";
    QDir().mkpath(program + "/copied");
    ASSERT_TRUE(QFile::copy(program + "/Record1.db", copy));
    EXPECT_EQ(RecordTable::openFile(copy, true)->rowCount(), 5);
    EXPECT_FALSE(QFile::exists(program + "/Record1.db-wal"));
}

// A working table left in write-ahead mode by an earlier version keeps its rows, and from
// then on they live in the table file.
TEST_F(RecordTableTest, AnOlderWriteAheadTableIsFoldedIntoItsFile) {
    {
        auto table = RecordTable::openWorking(program);
        table->append(sample(0, 0.5));
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((program + "/Record1.db").toUtf8().constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA journal_mode=WAL; INSERT INTO Record1 (Number) VALUES (1)",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    // Left as a crash leaves it: the last row only in the log beside the table.
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_close(db);
    ASSERT_TRUE(QFile::exists(program + "/Record1.db-wal"));
    auto table = RecordTable::openWorking(program);
    EXPECT_EQ(table->rowCount(), 2);
    table->append(sample(2, 0.7));
    table.reset();
    QFile::remove(program + "/Record1.db-wal");
    EXPECT_EQ(RecordTable::openFile(program + "/Record1.db", true)->rowCount(), 3);
}
