// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordTable.h"

#include "ParadoxTable.h"
#include "TextFile.h"
#include "lumo/ProgramDirectory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

const char* const RecordTable::tableName = "Record1";

namespace {

struct Column {
    const char* name;
    const char* type;
};
const Column columns[] = {{"AllTime", "TEXT"}, {"Number", "REAL"},    {"Minutes", "REAL"},
                          {"OD", "REAL"},      {"StartTime", "TEXT"}, {"StartDate", "TEXT"},
                          {"Title", "TEXT"},   {"Note", "TEXT"},      {"TimeS", "TEXT"},
                          {"NoteS", "REAL"},   {"CalcOD", "REAL"},    {"SmoothOD", "REAL"}};

const char* const columnList = "AllTime, Number, Minutes, OD, StartTime, StartDate, Title, Note, "
                               "TimeS, NoteS, CalcOD, SmoothOD";

// The table as this program makes it; schema is empty or a schema name with its point.
QString createStatement(const QString& schema = {}) {
    QString statement = QStringLiteral("CREATE TABLE %1Record1 (").arg(schema);
    for (const Column& column : columns)
        statement +=
            QStringLiteral("%1 %2, ").arg(QLatin1String(column.name), QLatin1String(column.type));
    statement.chop(2);
    return statement + QLatin1Char(')');
}

// Statement texts compared without their blanks and case: what a tool's layout may change.
QString comparable(const QString& statement) {
    QString text = statement.toUpper();
    text.remove(QRegularExpression(QStringLiteral("\\s")));
    return text;
}

// The remedy a refused working table ends with.
const QString moveItAway =
    QStringLiteral(" Move it out of the program directory; the next start makes a new working "
                   "table.");
const QString moveItAwayReadable =
    QStringLiteral(" Move it out of the program directory (the viewer opens it as a saved "
                   "measurement); the next start makes a new working table.");

const QString timeFormat = QStringLiteral("HH:mm:ss");
const QString dateFormat = QStringLiteral("yyyy-MM-dd");

std::optional<double> optionalReal(const SqliteStatement& row, int column) {
    if (row.isNull(column))
        return std::nullopt;
    return row.real(column);
}

} // namespace

QString limitedText(const QString& text, int length) {
    if (text.size() <= length)
        return text;
    int cut = length;
    if (cut > 0 && text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut);
}

RecordTable::RecordTable(const QString& path, SqliteDatabase::Mode mode) : database_(path, mode) {}

std::unique_ptr<RecordTable> RecordTable::openWorking(const QString& programDirectory) {
    const QString path = QDir(programDirectory).filePath(QStringLiteral("Record1.db"));
    const bool missing = !QFileInfo::exists(path);
    // SQLite would open a write-protected table read-only without a word and fail at the first
    // sample; the journal needs the directory writable too.
    for (const QString& needed : {programDirectory, missing ? QString() : path}) {
        if (!needed.isEmpty() && ::access(QFile::encodeName(needed).constData(), W_OK) != 0) {
            const QString reason = QString::fromLocal8Bit(strerror(errno));
            throw std::runtime_error(
                QStringLiteral("The working table '%1' cannot be written: '%2' is not writable "
                               "(%3).\nThe working table, Temp.log, AutoSave and saved templates "
                               "are kept in the program directory '%4'; choose one you may write "
                               "with --program-dir DIR or the environment variable "
                               "NEPHODAR_PROGRAM_DIR, for example '%5'.")
                    .arg(path, needed, reason, programDirectory,
                         QString::fromStdString(Talvessa::userDataDirectory()))
                    .toStdString());
        }
    }
    std::unique_ptr<RecordTable> table(new RecordTable(
        path, missing ? SqliteDatabase::Mode::Create : SqliteDatabase::Mode::ReadWrite));
    // A start that died between creating the file and creating the table left an empty
    // database; it is made the working table, or no later start could open it.
    if (missing || table->holdsNoTables())
        table->createTable();
    else
        table->checkWorkingTable();
    // A rollback journal, so that every committed row is in Record1.db itself: a copy of that
    // one file, taken mid-run or rescued after a crash, holds the run. The journal is kept
    // between commits (only its header is cleared), which saves creating and deleting it on
    // every sample; synchronous=FULL makes each commit durable before the next sample. A table
    // left in write-ahead mode by an earlier version is folded back into its file here.
    table->database_.execute("PRAGMA journal_mode=PERSIST");
    table->database_.execute("PRAGMA synchronous=FULL");
    return table;
}

std::unique_ptr<RecordTable> RecordTable::openFile(const QString& path, bool readOnly) {
    if (!QFileInfo(path).isFile())
        throw std::runtime_error(
            QStringLiteral("The table file '%1' does not exist.").arg(path).toStdString());
    std::unique_ptr<RecordTable> table(new RecordTable(
        path, readOnly ? SqliteDatabase::Mode::ReadOnly : SqliteDatabase::Mode::ReadWrite));
    table->checkColumns();
    return table;
}

void RecordTable::createTable() {
    database_.execute(createStatement().toUtf8().constData());
}

void RecordTable::checkWorkingTable() {
    const QString& path = database_.path();
    try {
        checkColumns();
    } catch (const std::runtime_error& e) {
        // An older installation may still hold its table in the old format.
        bool oldFormat = false;
        try {
            ParadoxTable old(path);
            oldFormat = true;
        } catch (const std::exception&) {
        }
        if (oldFormat)
            throw std::runtime_error(
                (QStringLiteral("The working table '%1' is an old-format (Paradox) table.")
                     .arg(path) +
                 moveItAwayReadable)
                    .toStdString());
        throw std::runtime_error(QString::fromUtf8(e.what()).append(moveItAway).toStdString());
    }
    if (const auto fault = foreignSchema())
        throw std::runtime_error(
            (QStringLiteral("The working table '%1' is not this program's table: %2.")
                 .arg(path, *fault) +
             moveItAwayReadable)
                .toStdString());
}

// Rows are written into the working table, so it must be exactly the table this program makes:
// an index, a trigger, a constraint or a column type of another tool would change what is
// stored, and a further table would be carried into every saved set.
std::optional<QString> RecordTable::foreignSchema() {
    const auto shown = [](const QString& name) { return limitedText(name, 60); };
    auto objects = database_.prepare("SELECT type, name FROM sqlite_master WHERE NOT "
                                     "(type = 'table' AND name = 'Record1' COLLATE NOCASE)");
    if (objects.step())
        return QStringLiteral("it holds the %1 '%2' besides the table Record1")
            .arg(objects.text(0), shown(objects.text(1)));
    auto info = database_.prepare("PRAGMA table_xinfo(Record1)");
    std::size_t index = 0;
    for (; info.step(); ++index) {
        const QString name = info.text(1);
        if (index >= std::size(columns))
            return QStringLiteral("it has a column %1 of its own").arg(shown(name));
        const Column& ours = columns[index];
        if (name.compare(QLatin1String(ours.name), Qt::CaseInsensitive) != 0)
            return QStringLiteral("it has the column %1 where %2 belongs")
                .arg(shown(name), QLatin1String(ours.name));
        const QString type = info.text(2);
        if (type.compare(QLatin1String(ours.type), Qt::CaseInsensitive) != 0)
            return QStringLiteral("its column %1 is declared '%2', not %3")
                .arg(QLatin1String(ours.name), shown(type), QLatin1String(ours.type));
        if (info.integer(3) != 0 || !info.isNull(4) || info.integer(5) != 0 || info.integer(6) != 0)
            return QStringLiteral("its column %1 carries a constraint or a default")
                .arg(QLatin1String(ours.name));
    }
    auto definition = database_.prepare("SELECT sql FROM sqlite_master WHERE type = 'table'");
    if (definition.step() && comparable(definition.text(0)) != comparable(createStatement()))
        return QStringLiteral("its table Record1 carries constraints or options of its own");
    return std::nullopt;
}

// A file that is no SQLite database is left to checkColumns, which says so.
bool RecordTable::holdsNoTables() {
    try {
        auto count = database_.prepare("SELECT count(*) FROM sqlite_master");
        return count.step() && count.integer(0) == 0;
    } catch (const std::exception&) {
        return false;
    }
}

// Reads only, so that a file which is no measurement table is left exactly as it was.
void RecordTable::checkColumns() {
    std::vector<QString> present;
    QString kind;
    try {
        // Only stored rows are read: a view or a virtual table of that name computes its rows,
        // and a view can compute them without end.
        auto schema = database_.prepare("SELECT type, sql FROM sqlite_master "
                                        "WHERE name = 'Record1' COLLATE NOCASE");
        if (schema.step()) {
            kind = schema.text(0);
            if (kind == QLatin1String("table") &&
                schema.text(1).simplified().startsWith(QLatin1String("CREATE VIRTUAL"),
                                                       Qt::CaseInsensitive))
                kind = QStringLiteral("virtual table");
        }
        auto info = database_.prepare("PRAGMA table_info(Record1)");
        while (info.step())
            present.push_back(info.text(1));
    } catch (const std::exception& e) {
        throw std::runtime_error(QStringLiteral("The file '%1' is not a measurement table: %2")
                                     .arg(database_.path(), QString::fromUtf8(e.what()))
                                     .toStdString());
    }
    if (!kind.isEmpty() && kind != QLatin1String("table"))
        throw std::runtime_error(
            QStringLiteral(
                "The file '%1' is not a measurement table: its Record1 is not a table (%2).")
                .arg(database_.path(), kind)
                .toStdString());
    for (const Column& column : columns) {
        const bool found = std::any_of(present.begin(), present.end(), [&](const QString& name) {
            return name.compare(QLatin1String(column.name), Qt::CaseInsensitive) == 0;
        });
        if (!found)
            throw std::runtime_error(
                QStringLiteral("The file '%1' is not a measurement table: it has no column %2.")
                    .arg(database_.path(), QLatin1String(column.name))
                    .toStdString());
    }
}

void RecordTable::empty() {
    database_.execute("DELETE FROM Record1");
}

void RecordTable::append(const RecordRow& row) {
    if (!insert_)
        insert_.emplace(database_.prepare(
            "INSERT INTO Record1 (AllTime, Number, Minutes, OD, StartTime, StartDate, Title, "
            "Note, TimeS, NoteS, CalcOD, SmoothOD) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)"));
    auto& s = *insert_;
    s.bind(1, row.allTime.toString(timeFormat))
        .bind(2, row.number)
        .bind(3, row.minutes)
        .bind(4, row.od)
        .bind(5, row.startTime.toString(timeFormat))
        .bind(6, row.startDate.toString(dateFormat))
        .bind(7, limitedText(row.title, titleLength))
        .bind(8, limitedText(row.note, noteLength))
        .bind(9, limitedText(row.timeS, timeSLength))
        .bind(10, row.noteS)
        .bind(11, row.calcOd);
    if (row.smoothOd)
        s.bind(12, *row.smoothOd);
    else
        s.bindNull(12);
    s.run();
}

QString RecordTable::storedNote(int n, const QString& text) {
    return limitedText(QStringLiteral("[%1] %2").arg(n).arg(text), noteLength);
}

std::optional<double> RecordTable::attachNote(int n, const QString& text, double x) {
    std::optional<double> candidate;
    {
        auto rows = database_.prepare("SELECT Number, Minutes FROM Record1 ORDER BY rowid");
        // Compared as stored: a time cut to single precision can exceed the very position it
        // was taken from and stop the search rows early.
        double previous = 0;
        double current = 0;
        bool first = true;
        while (rows.step()) {
            const double minutes = rows.real(1);
            if (first) {
                current = minutes;
                first = false;
            }
            previous = current;
            current = minutes;
            candidate = rows.real(0);
            if (previous <= x && x < current)
                break;
        }
    }
    if (!candidate || !attachNoteToRow(n, text, *candidate))
        return std::nullopt;
    return candidate;
}

bool RecordTable::attachNoteToRow(int n, const QString& text, double number) {
    bool found = false;
    database_.inTransaction([&] {
        auto update = database_.prepare("UPDATE Record1 SET Note=?, NoteS=? WHERE Number=?");
        update.bind(1, storedNote(n, text)).bind(2, static_cast<double>(n)).bind(3, number).run();
        found = sqlite3_changes(database_.handle()) > 0;
    });
    return found;
}

std::vector<ChartRow> RecordTable::chartRowsSince(sqlite3_int64& lastRowId) {
    auto rows = database_.prepare("SELECT rowid, Number, Minutes, OD, CalcOD, TimeS, SmoothOD, "
                                  "NoteS, Note FROM Record1 WHERE rowid > ? ORDER BY rowid");
    rows.bind(1, lastRowId);
    std::vector<ChartRow> result;
    while (rows.step()) {
        ChartRow row;
        row.rowId = rows.integer(0);
        row.number = rows.real(1);
        row.minutes = rows.real(2);
        row.od = rows.real(3);
        row.calcOd = rows.real(4);
        row.timeS = rows.text(5);
        row.smoothOd = optionalReal(rows, 6);
        row.noteS = rows.real(7);
        row.note = rows.text(8);
        lastRowId = row.rowId;
        result.push_back(std::move(row));
    }
    return result;
}

std::vector<RecordRow> RecordTable::allRows() {
    sqlite3_int64 fromStart = 0;
    return rowsSince(fromStart);
}

std::vector<RecordRow> RecordTable::rowsSince(sqlite3_int64& lastRowId) {
    auto rows = database_.prepare("SELECT AllTime, Number, Minutes, OD, StartTime, StartDate, "
                                  "Title, Note, TimeS, NoteS, CalcOD, SmoothOD, rowid FROM "
                                  "Record1 WHERE rowid > ? ORDER BY rowid");
    rows.bind(1, lastRowId);
    std::vector<RecordRow> result;
    while (rows.step()) {
        RecordRow row;
        row.allTime = QTime::fromString(rows.text(0), timeFormat);
        row.number = rows.real(1);
        row.minutes = rows.real(2);
        row.od = rows.real(3);
        row.startTime = QTime::fromString(rows.text(4), timeFormat);
        row.startDate = QDate::fromString(rows.text(5), dateFormat);
        row.title = rows.text(6);
        row.note = rows.text(7);
        row.timeS = rows.text(8);
        row.noteS = rows.real(9);
        row.calcOd = rows.real(10);
        row.smoothOd = optionalReal(rows, 11);
        lastRowId = rows.integer(12);
        result.push_back(std::move(row));
    }
    return result;
}

int RecordTable::rowCount() {
    auto count = database_.prepare("SELECT count(*) FROM Record1");
    count.step();
    return static_cast<int>(count.integer(0));
}

void RecordTable::writeCopy(const QString& path, const QString& shownName) {
    const auto removeCopy = [&path] {
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-journal"));
    };
    removeCopy();
    QString reason = copyInto(path);
    if (reason.isEmpty() && !TextFile::syncToDisk(path))
        reason = QString::fromLocal8Bit(strerror(errno));
    if (reason.isEmpty())
        return;
    removeCopy();
    throw std::runtime_error(
        QStringLiteral("Can't write '%1': %2").arg(shownName, reason).toStdString());
}

QString RecordTable::copyInto(const QString& path) {
    // An empty file is an empty database; the copy is attached to this connection, which may
    // have been opened without the right to create files.
    const int created =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (created < 0 || ::close(created) != 0)
        return QString::fromLocal8Bit(strerror(errno));
    try {
        database_.prepare("ATTACH ? AS saved").bind(1, path).run();
    } catch (const SqliteError& e) {
        return e.reason;
    }
    QString reason;
    try {
        // Nothing is written beside the copy: a failed one is removed whole.
        database_.execute("PRAGMA saved.journal_mode=MEMORY");
        database_.execute("PRAGMA saved.synchronous=OFF");
        // Made from this program's own definition and filled with the rows in order, not
        // copied page by page: whatever else another tool put into the working table stays
        // out of every saved set.
        database_.inTransaction([&] {
            database_.execute(createStatement(QStringLiteral("saved.")).toUtf8().constData());
            database_.execute(QStringLiteral("INSERT INTO saved.Record1 (%1) SELECT %1 FROM "
                                             "main.Record1 ORDER BY rowid")
                                  .arg(QLatin1String(columnList))
                                  .toUtf8()
                                  .constData());
        });
    } catch (const SqliteError& e) {
        reason = e.reason;
    }
    sqlite3_exec(database_.handle(), "DETACH saved", nullptr, nullptr, nullptr);
    return reason;
}

void RecordTable::snapshotTo(const QString& path) {
    const QString temporary = path + QStringLiteral(".part");
    writeCopy(temporary, path);
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) !=
        0) {
        const QString reason = QString::fromLocal8Bit(strerror(errno));
        QFile::remove(temporary);
        throw std::runtime_error(
            QStringLiteral("Can't write '%1': %2").arg(path, reason).toStdString());
    }
}
