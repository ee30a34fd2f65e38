// SPDX-License-Identifier: GPL-3.0-or-later
#include "PublishMessages.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace PublishMessages {

namespace {
QByteArray compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// JSON has no NaN or infinity; such a value goes out as null rather than as a made-up number.
QJsonValue number(double value) {
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue();
}

QJsonObject sampleFields(const Sample& row) {
    return {{QStringLiteral("run"), row.run},
            {QStringLiteral("number"), row.number},
            {QStringLiteral("minutes"), number(row.minutes)},
            {QStringLiteral("time"), isoTime(row.time)},
            {QStringLiteral("title"), row.title}};
}
} // namespace

QString isoTime(const QDateTime& time) {
    // Qt::ISODate writes "Z" for UTC and nothing for local time: the offset is spelt out.
    const QDateTime withOffset = time.toOffsetFromUtc(time.offsetFromUtc());
    QString text = withOffset.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
    const int offset = withOffset.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    text += QLatin1Char(offset < 0 ? '-' : '+') + QStringLiteral("%1:%2")
                                                      .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                                                      .arg(minutes % 60, 2, 10, QLatin1Char('0'));
    return text;
}

QString runId(const QDateTime& start, const QString& hostName) {
    return isoTime(start) + QLatin1Char('@') + hostName;
}

QByteArray sample(const Sample& row) {
    QJsonObject object = sampleFields(row);
    object.insert(QStringLiteral("od"), number(row.od));
    object.insert(QStringLiteral("calcOd"), number(row.calcOd));
    return compact(object);
}

QByteArray error(const Sample& row, const QString& reason) {
    QJsonObject object = sampleFields(row);
    object.insert(QStringLiteral("error"), reason);
    return compact(object);
}

QByteArray state(const State& current) {
    return compact({{QStringLiteral("state"), current.state},
                    {QStringLiteral("title"), current.title},
                    {QStringLiteral("start"),
                     current.start.isValid() ? QJsonValue(isoTime(current.start)) : QJsonValue()},
                    {QStringLiteral("device"), current.device},
                    {QStringLiteral("formula"), current.formula}});
}

QByteArray note(const QString& run, int counter, const QString& text, double rowNumber,
                const QDateTime& time) {
    return compact({{QStringLiteral("run"), run},
                    {QStringLiteral("note"), counter},
                    {QStringLiteral("text"), text},
                    {QStringLiteral("number"), number(rowNumber)},
                    {QStringLiteral("time"), isoTime(time)}});
}

QByteArray alarm(const Alarm& event) {
    QJsonObject object{{QStringLiteral("run"), event.run},
                       {QStringLiteral("kind"), event.kind},
                       {QStringLiteral("event"), event.event},
                       {QStringLiteral("time"), isoTime(event.time)}};
    if (event.hasOd) {
        object.insert(QStringLiteral("od"), number(event.od));
        object.insert(QStringLiteral("threshold"), event.threshold);
        object.insert(QStringLiteral("direction"), event.direction);
    }
    return compact(object);
}

} // namespace PublishMessages
