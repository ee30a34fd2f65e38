// SPDX-License-Identifier: GPL-3.0-or-later
#include "WebJson.h"

#include "WebEventHub.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <cmath>

namespace WebJson {

namespace {

QJsonValue number(double value) {
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}

QJsonValue number(const std::optional<double>& value) {
    return value ? number(*value) : QJsonValue(QJsonValue::Null);
}

QJsonObject sampleObject(const RecordRow& row) {
    return QJsonObject{{QStringLiteral("number"), number(row.number)},
                       {QStringLiteral("minutes"), number(row.minutes)},
                       {QStringLiteral("od"), number(row.od)},
                       {QStringLiteral("calcOd"), number(row.calcOd)},
                       {QStringLiteral("note"), row.note}};
}

std::string text(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

} // namespace

QString elapsedText(std::int64_t milliseconds) {
    const std::int64_t seconds = milliseconds < 0 ? 0 : milliseconds / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

std::string status(const WebStatus& status,
                   const std::vector<std::pair<QString, QString>>& growth) {
    const WebAlarmState& alarm = status.alarm;
    const QJsonObject odAlarm{{QStringLiteral("on"), alarm.odOn},
                              {QStringLiteral("direction"),
                               alarm.odAbove ? QStringLiteral("above") : QStringLiteral("below")},
                              {QStringLiteral("threshold"), alarm.odThreshold},
                              {QStringLiteral("ringing"), alarm.odRinging}};
    const QJsonObject timerAlarm{{QStringLiteral("on"), alarm.timerOn},
                                 {QStringLiteral("remaining"), alarm.timerText},
                                 {QStringLiteral("ringing"), alarm.timerRinging}};
    QJsonArray growthLines;
    for (const auto& [name, value] : growth)
        growthLines.append(
            QJsonObject{{QStringLiteral("name"), name}, {QStringLiteral("value"), value}});
    return text(
        QJsonObject{{QStringLiteral("state"), status.state},
                    {QStringLiteral("title"), status.title},
                    {QStringLiteral("device"), status.device},
                    {QStringLiteral("samples"), status.samples},
                    {QStringLiteral("od"), number(status.od)},
                    {QStringLiteral("calcOd"), number(status.calcOd)},
                    {QStringLiteral("formulaName"), status.formulaName},
                    {QStringLiteral("elapsed"), elapsedText(status.elapsedMilliseconds)},
                    {QStringLiteral("startDate"), status.startDate},
                    {QStringLiteral("startTime"), status.startTime},
                    {QStringLiteral("alarm"), QJsonObject{{QStringLiteral("od"), odAlarm},
                                                          {QStringLiteral("timer"), timerAlarm}}},
                    {QStringLiteral("growth"), growthLines}});
}

std::string samples(const std::vector<RecordRow>& rows) {
    QJsonArray list;
    for (const auto& row : rows)
        list.append(sampleObject(row));
    return text(QJsonObject{{QStringLiteral("samples"), list}});
}

std::string sampleEvent(const RecordRow& row) {
    return text(sampleObject(row));
}

std::string stateEvent(const WebStatus& status) {
    return text(QJsonObject{{QStringLiteral("state"), status.state},
                            {QStringLiteral("samples"), status.samples}});
}

std::string error(const std::string& message) {
    return text(QJsonObject{{QStringLiteral("error"), QString::fromStdString(message)}});
}

} // namespace WebJson
