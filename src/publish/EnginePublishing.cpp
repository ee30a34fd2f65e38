// SPDX-License-Identifier: GPL-3.0-or-later
#include "EnginePublishing.h"

#include "PublishMessages.h"
#include "PublishRecovery.h"
#include "lumo/Logger.h"
#include "workstation/TimerAlarmCountdown.h"

namespace {
constexpr int titleRestMilliseconds = 2000;

QString stateName(MeasurementEngine::RunState state) {
    switch (state) {
    case MeasurementEngine::RunState::Running:
        return QStringLiteral("running");
    case MeasurementEngine::RunState::Paused:
        return QStringLiteral("paused");
    default:
        return QStringLiteral("stopped");
    }
}
} // namespace

EnginePublishing::EnginePublishing(MeasurementEngine& engine, BrokerPublisher& publisher,
                                   QString device, QObject* parent)
    : QObject(parent), engine_(engine), publisher_(publisher), device_(std::move(device)),
      host_(BrokerSettings::hostName()) {
    queueUnqueuedRows();
    titleSettled_.setSingleShot(true);
    titleSettled_.setInterval(titleRestMilliseconds);
    connect(&titleSettled_, &QTimer::timeout, this, &EnginePublishing::publishState);
    connect(&engine_, &MeasurementEngine::measurementStarted, this, [this] {
        run_ = PublishMessages::runId(engine_.startTime(), host_);
        publisher_.beginRun(run_, engine_.startTime());
    });
    connect(&engine_, &MeasurementEngine::sampleTaken, this, &EnginePublishing::publishSample);
    connect(&engine_, &MeasurementEngine::runStateChanged, this, &EnginePublishing::publishState);
    connect(&engine_, &MeasurementEngine::formulaChanged, this, &EnginePublishing::publishState);
    connect(&engine_, &MeasurementEngine::titleChanged, this, [this] {
        const auto state = engine_.runState();
        if (state == MeasurementEngine::RunState::Running ||
            state == MeasurementEngine::RunState::Paused)
            titleSettled_.start();
    });
    connect(&engine_, &MeasurementEngine::noteAttached, this,
            [this](int counter, const QString& text, double rowNumber) {
                publisher_.queue("note",
                                 PublishMessages::note(run_, counter, text, rowNumber, now()));
            });
    connect(&engine_, &MeasurementEngine::alarmFired, this, [this] {
        alarmFired_ = true;
        const ODAlarm& alarm = engine_.alarm();
        PublishMessages::Alarm event{run_,
                                     QStringLiteral("od"),
                                     QStringLiteral("fired"),
                                     now(),
                                     true,
                                     engine_.od(),
                                     ODAlarm::filledThresholdText(alarm.thresholdText),
                                     alarm.direction == ODAlarm::Above ? QStringLiteral("above")
                                                                       : QStringLiteral("below")};
        publisher_.queue("alarm", PublishMessages::alarm(event));
    });
    connect(&engine_, &MeasurementEngine::alarmChanged, this,
            &EnginePublishing::publishAlarmChange);
    alarmOn_ = engine_.alarm().isOn();
}

QDateTime EnginePublishing::now() const {
    const QDateTime start = engine_.startTime();
    return start.isValid() ? start.addMSecs(engine_.elapsedMilliseconds())
                           : QDateTime::currentDateTime();
}

void EnginePublishing::queueUnqueuedRows() {
    const auto& mark = publisher_.mark();
    if (!mark)
        return;
    try {
        for (const auto& row : PublishRecovery::unqueuedRows(*mark, engine_.table().allRows()))
            publisher_.queueRow(PublishMessages::sample(row), row.number);
    } catch (const std::exception& e) {
        // The engine reports an unreadable working table itself.
        Talvessa::getLogStream() << "publishing: the working table cannot be read: " << e.what()
                                 << std::endl;
    }
}

void EnginePublishing::publishSample(const SampleReport& report) {
    PublishMessages::Sample row{run_,          report.number, report.minutes, report.od,
                                report.calcOd, now(),         engine_.title()};
    if (report.stored) {
        // The row as the table keeps it, as a message rebuilt from it after a kill would be.
        row.title = limitedText(row.title, RecordTable::titleLength);
        row.od = engine_.recordsOd() ? row.od : 0.0;
        row.calcOd = engine_.recordsCalcOd() ? row.calcOd : 0.0;
        if (run_.isEmpty())
            publisher_.queue("sample", PublishMessages::sample(row));
        else
            publisher_.queueRow(PublishMessages::sample(row), report.number);
    } else {
        publisher_.queue("error", PublishMessages::error(row, report.deviceError
                                                                  ? QStringLiteral("device error")
                                                                  : QStringLiteral("not stored")));
    }
}

void EnginePublishing::publishState() {
    titleSettled_.stop();
    const auto state = engine_.runState();
    if (state != MeasurementEngine::RunState::Running &&
        state != MeasurementEngine::RunState::Paused &&
        state != MeasurementEngine::RunState::Stopped)
        return;
    const ODFormula& formula = engine_.formula();
    const PublishMessages::State current{stateName(state), engine_.title(), engine_.startTime(),
                                         device_, formula.enabled ? formula.name : QString()};
    publisher_.queue("state", PublishMessages::state(current), true);
}

void EnginePublishing::publishAlarmChange() {
    const ODAlarm& alarm = engine_.alarm();
    QString event;
    if (alarmFired_ && !alarm.fired)
        event = QStringLiteral("acknowledged");
    else if (alarm.isOn() != alarmOn_)
        event = alarm.isOn() ? QStringLiteral("on") : QStringLiteral("off");
    alarmFired_ = alarm.fired;
    alarmOn_ = alarm.isOn();
    if (event.isEmpty())
        return;
    publishAlarm(QStringLiteral("od"), event);
}

void EnginePublishing::watchTimer(TimerAlarmCountdown& countdown) {
    connect(&countdown, &TimerAlarmCountdown::ringing, this, [this] {
        if (!timerRinging_) // it rings every second; one message says it
            publishAlarm(QStringLiteral("timer"), QStringLiteral("ringing"));
        timerRinging_ = true;
    });
    connect(&countdown, &TimerAlarmCountdown::stopped, this, [this] {
        if (timerRinging_)
            publishAlarm(QStringLiteral("timer"), QStringLiteral("stopped"));
        timerRinging_ = false;
    });
}

void EnginePublishing::publishAlarm(const QString& kind, const QString& event) {
    PublishMessages::Alarm change;
    change.run = run_;
    change.kind = kind;
    change.event = event;
    change.time = now();
    publisher_.queue("alarm", PublishMessages::alarm(change));
}
