// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordRowReader.h"

#include "MeasurementFile.h"

#include <limits>
#include <stdexcept>

namespace {

// The stored forms, as RecordTable writes and reads them.
const QString timeFormat = QStringLiteral("HH:mm:ss");
const QString dateFormat = QStringLiteral("yyyy-MM-dd");

int twoDigits(const char* text) {
    if (text[0] < '0' || text[0] > '9' || text[1] < '0' || text[1] > '9')
        return -1;
    return (text[0] - '0') * 10 + (text[1] - '0');
}

} // namespace

RecordRowReader::RecordRowReader(const QString& path) {
    if (MeasurementFile::formatOf(path) == MeasurementFile::Format::Paradox) {
        paradox_ = std::make_unique<ParadoxTable>(path);
        return;
    }
    // The table's own check, with its message for a file that is no measurement table.
    RecordTable::openFile(path, true);
    database_.emplace(path, SqliteDatabase::Mode::ReadOnly);
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(database_->handle(),
                           "SELECT AllTime, Number, Minutes, OD, StartTime, StartDate, Title, "
                           "Note, TimeS, NoteS, CalcOD, SmoothOD FROM Record1 ORDER BY rowid",
                           -1, &statement, nullptr) != SQLITE_OK)
        database_->fail(QStringLiteral("Database error"));
    rows_.reset(statement);
}

int RecordRowReader::rowCount() {
    if (paradox_)
        return paradox_->rowCount();
    auto count = database_->prepare("SELECT count(*) FROM Record1");
    count.step();
    return static_cast<int>(count.integer(0));
}

QByteArray RecordRowReader::bytesAt(int column) const {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(rows_.get(), column));
    // Raw: only compared with the previous row's text, never kept beyond the step.
    return bytes ? QByteArray::fromRawData(bytes, sqlite3_column_bytes(rows_.get(), column))
                 : QByteArray();
}

// A time parsed as QTime::fromString(text, "HH:mm:ss") would, without its cost for the
// canonical form every row holds.
QTime RecordRowReader::timeAt(int column) const {
    const QByteArray text = bytesAt(column);
    if (text.size() == 8 && text[2] == ':' && text[5] == ':') {
        const int h = twoDigits(text.constData());
        const int m = twoDigits(text.constData() + 3);
        const int s = twoDigits(text.constData() + 6);
        if (h >= 0 && h < 24 && m >= 0 && m < 60 && s >= 0 && s < 60)
            return QTime(h, m, s);
    }
    return QTime::fromString(QString::fromUtf8(text), timeFormat);
}

bool RecordRowReader::next(RecordRow& row) {
    if (paradox_)
        return paradox_->next(row);
    sqlite3_stmt* const s = rows_.get();
    const int result = sqlite3_step(s);
    if (result == SQLITE_DONE)
        return false;
    if (result != SQLITE_ROW)
        database_->fail(QStringLiteral("Database error"));

    const auto text = [s](int column) {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
        return bytes ? QString::fromUtf8(bytes, sqlite3_column_bytes(s, column)) : QString();
    };
    // Compares the column with what it held in the previous row; a changed text is kept.
    const auto changed = [&](int column, QByteArray& last) {
        const QByteArray current = bytesAt(column);
        if (!first_ && current == last)
            return false;
        last = QByteArray(current.constData(), current.size());
        return true;
    };

    // A number column left empty (NULL) reads as empty (NaN), as in a Paradox table.
    const auto number = [s](int column) {
        return sqlite3_column_type(s, column) == SQLITE_NULL
                   ? std::numeric_limits<double>::quiet_NaN()
                   : sqlite3_column_double(s, column);
    };
    row.allTime = timeAt(0);
    row.number = number(1);
    row.minutes = number(2);
    row.od = number(3);
    if (changed(4, startTimeText_))
        startTime_ = timeAt(4);
    row.startTime = startTime_;
    if (changed(5, dateText_))
        date_ = QDate::fromString(text(5), dateFormat);
    row.startDate = date_;
    if (changed(6, titleText_))
        title_ = text(6);
    row.title = title_;
    row.note = text(7);
    row.timeS = text(8);
    row.noteS = number(9);
    row.calcOd = number(10);
    if (sqlite3_column_type(s, 11) == SQLITE_NULL)
        row.smoothOd.reset();
    else
        row.smoothOd = sqlite3_column_double(s, 11);
    first_ = false;
    return true;
}
