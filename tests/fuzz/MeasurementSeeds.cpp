// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the seeds of corpus/measurement_file into the directory given: measurement tables
// saved through the working table as the program saves them, and Paradox tables written as
// the tests write theirs.
#include "ParadoxWriter.h"
#include "SavedMeasurement.h"

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path target = argv[1];
    fs::create_directories(target);
    TempDirectory temp;

    RecordRow noted = SavedMeasurement::row(2, 1.0, 0.4, 0.45, QStringLiteral("Culture B"));
    noted.note = QStringLiteral("[1] added 5 \u00b5l");
    noted.noteS = 1;
    noted.smoothOd = 0.42;
    const QString sqlite = SavedMeasurement::write(
        temp.path(), "sqlite-3-rows",
        {SavedMeasurement::row(0, 0, 0.1, 0.12), SavedMeasurement::row(1, 0.5, 0.2, 0.25), noted},
        QString(), QString());
    fs::copy_file(sqlite.toStdString(), target / "sqlite-3-rows.nph",
                  fs::copy_options::overwrite_existing);

    using namespace ParadoxWriter;
    writeParadox((target / "paradox-2-rows.db").string(), measurementFields,
                 {sampleRow(0), sampleRow(1)});

    ParadoxRow gaps = sampleRow(4);
    gaps[0] = gaps[4] = gaps[5] = Cell{};
    gaps[7] = std::string("[1] \xB5l"); // code page text
    gaps[11] = 0.75;
    writeParadox((target / "paradox-empty-cells.db").string(), measurementFields,
                 {ParadoxRow(12, Cell{}), gaps});

    auto wholeNumbers = measurementFields;
    wholeNumbers[1] = {"Number", pxfLong, 4};
    wholeNumbers[9] = {"NoteS", pxfShort, 2};
    wholeNumbers[10] = {"CalcOD", pxfCurrency, 8};
    ParadoxRow row = sampleRow(7);
    row[1] = 7L;
    row[9] = -5L;
    writeParadox((target / "paradox-whole-numbers.db").string(), wholeNumbers, {row});

    // A finding: a view in the table's place whose rows never end once made the viewer and
    // the exports read until memory ran out.
    const fs::path view = target / "finding-endless-view.nph";
    fs::remove(view);
    SqliteDatabase(QString::fromStdString(view.string()), SqliteDatabase::Mode::Create)
        .execute("CREATE VIEW Record1 (AllTime, Number, Minutes, OD, StartTime, StartDate, Title, "
                 "Note, TimeS, NoteS, CalcOD, SmoothOD) AS WITH RECURSIVE n(x) AS (SELECT 1 "
                 "UNION ALL SELECT x + 1 FROM n) SELECT '00:00:00', x, x, 0.1, '08:15:00', "
                 "'2024-03-05', 'Endless', '', '0:00', -5, 0.1, NULL FROM n");
    return 0;
}
