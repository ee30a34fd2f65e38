// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "workstation/SqliteDatabase.h"
#include "workstation/WorkingTableLock.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

// The messages waiting for the broker's acknowledgement, in an SQLite file beside the working
// table (Outbox1.db), kept as durably as the table's rows: every append is flushed to disk
// before it returns, so a message survives a killed program, a power cut and a lost network.
// Messages leave it in the order they came, and only once the broker has acknowledged them.
// The program directory's hold guards it: two programs never share an outbox.
class PublishOutbox {
public:
    struct Message {
        sqlite3_int64 id = 0;
        QString topic;
        QByteArray payload;
        bool retain = false;
    };

    // The run whose rows are being published and the highest row Number queued for it, kept
    // with the messages: rows of the working table beyond it were stored but never queued.
    struct Mark {
        QString run;     // the "run" its messages carry
        QDateTime start; // the run's start, as the engine took it
        int number = -1; // -1 before the first row
    };

    static QString filePath(const QString& programDirectory);

    // Takes (or shares) this process's hold of the program directory; refused with the
    // holder's name when another program has it.
    explicit PublishOutbox(const QString& programDirectory);

    // Throws SqliteError (a full disk, a file-size limit) and keeps nothing then.
    sqlite3_int64 append(const QString& topic, const QByteArray& payload, bool retain);
    // The messages in order and the mark when given, in one transaction: all or nothing.
    void append(const std::vector<Message>& messages, const std::optional<Mark>& mark);
    // Up to limit messages after the given id, oldest first.
    std::vector<Message> after(sqlite3_int64 id, int limit);
    // The acknowledged messages, all in one transaction.
    void remove(const std::vector<sqlite3_int64>& ids);
    // Moves a message the broker refused from the outbox to the table Refused, with the
    // broker's reason and the time, in one transaction. The newest refusedKept stay there.
    void setAside(sqlite3_int64 id, const QString& reason, const QDateTime& time);
    static constexpr int refusedKept = 10000;
    int count() const { return waiting_; }
    // Nothing for an outbox that never published a run (or one of an earlier version).
    const std::optional<Mark>& mark() const { return mark_; }
    const QString& fileName() const { return database_.path(); }

private:
    void insert(const QString& topic, const QByteArray& payload, bool retain);
    void writeMark(const Mark& mark);
    void readMark();
    void recount();

    std::shared_ptr<WorkingTableLock> hold_;
    SqliteDatabase database_;
    SqliteStatement insert_;
    SqliteStatement select_;
    SqliteStatement delete_;
    SqliteStatement markWrite_;
    int waiting_ = 0;
    std::optional<Mark> mark_;
};
