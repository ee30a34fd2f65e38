// SPDX-License-Identifier: GPL-3.0-or-later
#include "PublishOutbox.h"

#include <QDir>
#include <QTimeZone>

namespace {
SqliteDatabase& prepared(SqliteDatabase& database) {
    database.execute("CREATE TABLE IF NOT EXISTS Outbox (Id INTEGER PRIMARY KEY AUTOINCREMENT, "
                     "Topic TEXT NOT NULL, Payload TEXT NOT NULL, Retain INTEGER NOT NULL)");
    // One row at most. StartOffset is empty for a start in local time, whose offset follows
    // the clock changes during the run as the live messages' times do.
    database.execute("CREATE TABLE IF NOT EXISTS Mark (Id INTEGER PRIMARY KEY CHECK (Id = 1), "
                     "Run TEXT NOT NULL, Start INTEGER NOT NULL, StartOffset INTEGER, "
                     "Number INTEGER NOT NULL)");
    // Messages the broker refused (an ACL that denies their topic): set aside, so that they
    // hold back nothing, and kept for whoever has to find out what the broker did not take.
    database.execute("CREATE TABLE IF NOT EXISTS Refused (Id INTEGER PRIMARY KEY AUTOINCREMENT, "
                     "Topic TEXT NOT NULL, Payload TEXT NOT NULL, Retain INTEGER NOT NULL, "
                     "Reason TEXT NOT NULL, RefusedAt TEXT NOT NULL)");
    // As durable as the working table: a write-ahead log flushed on every commit. The commits
    // come after the sampling tick, one per batch of messages, never one per row inside it.
    database.execute("PRAGMA journal_mode=WAL");
    database.execute("PRAGMA synchronous=FULL");
    return database;
}
} // namespace

QString PublishOutbox::filePath(const QString& programDirectory) {
    return QDir(programDirectory).filePath(QStringLiteral("Outbox1.db"));
}

PublishOutbox::PublishOutbox(const QString& programDirectory)
    : hold_(WorkingTableLock::acquire(programDirectory)),
      database_(filePath(programDirectory), SqliteDatabase::Mode::Create),
      insert_(prepared(database_).prepare(
          "INSERT INTO Outbox (Topic, Payload, Retain) VALUES (?, ?, ?)")),
      select_(database_.prepare(
          "SELECT Id, Topic, Payload, Retain FROM Outbox WHERE Id > ? ORDER BY Id LIMIT ?")),
      delete_(database_.prepare("DELETE FROM Outbox WHERE Id = ?")),
      markWrite_(database_.prepare("INSERT OR REPLACE INTO Mark (Id, Run, Start, StartOffset, "
                                   "Number) VALUES (1, ?, ?, ?, ?)")) {
    recount();
    readMark();
}

void PublishOutbox::recount() {
    auto counting = database_.prepare("SELECT count(*) FROM Outbox");
    if (counting.step())
        waiting_ = static_cast<int>(counting.integer(0));
}

void PublishOutbox::readMark() {
    auto reading = database_.prepare("SELECT Run, Start, StartOffset, Number FROM Mark");
    if (!reading.step())
        return;
    const qint64 start = reading.integer(1);
    Mark mark;
    mark.run = reading.text(0);
    mark.start = reading.isNull(2) ? QDateTime::fromMSecsSinceEpoch(start)
                                   : QDateTime::fromMSecsSinceEpoch(
                                         start, QTimeZone(static_cast<int>(reading.integer(2))));
    mark.number = static_cast<int>(reading.integer(3));
    mark_ = mark;
}

void PublishOutbox::insert(const QString& topic, const QByteArray& payload, bool retain) {
    insert_.bind(1, topic);
    insert_.bind(2, QString::fromUtf8(payload)); // the messages are UTF-8 JSON
    insert_.bind(3, static_cast<sqlite3_int64>(retain ? 1 : 0));
    insert_.run();
}

void PublishOutbox::writeMark(const Mark& mark) {
    markWrite_.bind(1, mark.run);
    markWrite_.bind(2, static_cast<sqlite3_int64>(mark.start.toMSecsSinceEpoch()));
    if (mark.start.timeSpec() == Qt::LocalTime)
        markWrite_.bindNull(3);
    else
        markWrite_.bind(3, static_cast<sqlite3_int64>(mark.start.offsetFromUtc()));
    markWrite_.bind(4, static_cast<sqlite3_int64>(mark.number));
    markWrite_.run();
}

sqlite3_int64 PublishOutbox::append(const QString& topic, const QByteArray& payload, bool retain) {
    insert(topic, payload, retain);
    ++waiting_;
    return sqlite3_last_insert_rowid(database_.handle());
}

void PublishOutbox::append(const std::vector<Message>& messages, const std::optional<Mark>& mark) {
    if (messages.empty() && !mark)
        return;
    database_.inTransaction(
        [&] {
            for (const Message& message : messages)
                insert(message.topic, message.payload, message.retain);
            if (mark)
                writeMark(*mark);
        },
        "BEGIN IMMEDIATE");
    waiting_ += static_cast<int>(messages.size());
    if (mark)
        mark_ = mark;
}

std::vector<PublishOutbox::Message> PublishOutbox::after(sqlite3_int64 id, int limit) {
    std::vector<Message> messages;
    select_.bind(1, id).bind(2, static_cast<sqlite3_int64>(limit));
    try {
        while (select_.step())
            messages.push_back({select_.integer(0), select_.text(1), select_.text(2).toUtf8(),
                                select_.integer(3) != 0});
    } catch (...) {
        select_.reset();
        throw;
    }
    select_.reset();
    return messages;
}

void PublishOutbox::remove(const std::vector<sqlite3_int64>& ids) {
    if (ids.empty())
        return;
    int removed = 0;
    try {
        database_.inTransaction(
            [&] {
                for (const sqlite3_int64 id : ids) {
                    delete_.bind(1, id);
                    delete_.run();
                    removed += sqlite3_changes(database_.handle());
                }
            },
            "BEGIN IMMEDIATE");
    } catch (...) {
        recount();
        throw;
    }
    waiting_ -= removed;
}

void PublishOutbox::setAside(sqlite3_int64 id, const QString& reason, const QDateTime& time) {
    int moved = 0;
    database_.inTransaction(
        [&] {
            database_
                .prepare("INSERT INTO Refused (Topic, Payload, Retain, Reason, RefusedAt) SELECT "
                         "Topic, Payload, Retain, ?, ? FROM Outbox WHERE Id = ?")
                .bind(1, reason)
                .bind(2, time.toString(Qt::ISODateWithMs))
                .bind(3, id)
                .run();
            database_.prepare("DELETE FROM Outbox WHERE Id = ?").bind(1, id).run();
            moved = sqlite3_changes(database_.handle());
            // A broker that refuses everything for months must not fill the disk.
            database_.prepare("DELETE FROM Refused WHERE Id <= (SELECT max(Id) FROM Refused) - ?")
                .bind(1, static_cast<sqlite3_int64>(refusedKept))
                .run();
        },
        "BEGIN IMMEDIATE");
    waiting_ -= moved;
}
