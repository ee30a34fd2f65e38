// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The JSON messages of the topics, compact UTF-8. Times are ISO 8601 with their offset from
// UTC. Every message of a measurement carries its "run": the start and the host, the same
// for all of the run's rows, so a receiver can drop a repeated message by ("run", "number").
namespace PublishMessages {

QString isoTime(const QDateTime& time);
QString runId(const QDateTime& start, const QString& hostName);

struct Sample {
    QString run;
    int number = 0;
    double minutes = 0;
    double od = 0;
    double calcOd = 0;
    QDateTime time;
    QString title;
};
QByteArray sample(const Sample& row);

// A sample the table did not store: a device error, or a row that could not be written.
QByteArray error(const Sample& row, const QString& reason);

struct State {
    QString state; // "running", "paused", "stopped"
    QString title;
    QDateTime start;
    QString device;
    QString formula; // the OD formula's name, empty when none is used
};
QByteArray state(const State& current);

QByteArray note(const QString& run, int counter, const QString& text, double rowNumber,
                const QDateTime& time);

// "kind" is "od" or "timer"; "event" what happened ("fired", "acknowledged", "on", "off",
// "ringing", "stopped"). The OD alarm's own fields (od, threshold, direction) come with it.
struct Alarm {
    QString run;
    QString kind;
    QString event;
    QDateTime time;
    bool hasOd = false;
    double od = 0;
    QString threshold;
    QString direction;
};
QByteArray alarm(const Alarm& event);

} // namespace PublishMessages
