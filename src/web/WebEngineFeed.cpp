// SPDX-License-Identifier: GPL-3.0-or-later
#include "WebEngineFeed.h"

#include "workstation/TimerAlarmCountdown.h"

WebEngineFeed::WebEngineFeed(MeasurementEngine& engine, WebEventHub& hub, QObject* parent)
    : QObject(parent), engine_(engine), hub_(hub) {
    connect(&engine_, &MeasurementEngine::sampleTaken, this, &WebEngineFeed::sampleStored);
    connect(&engine_, &MeasurementEngine::measurementStarted, this, &WebEngineFeed::reloadRows);
    // A note changes one row: the pages update that row instead of reloading the run.
    connect(&engine_, &MeasurementEngine::noteAttached, this,
            [this](int counter, const QString& text, double rowNumber) {
                hub_.setNote(rowNumber, RecordTable::storedNote(counter, text));
            });
    connect(&engine_, &MeasurementEngine::runStateChanged, this, &WebEngineFeed::publish);
    connect(&engine_, &MeasurementEngine::measurementEnded, this, &WebEngineFeed::publish);
    connect(&engine_, &MeasurementEngine::titleChanged, this, &WebEngineFeed::publish);
    connect(&engine_, &MeasurementEngine::formulaChanged, this, &WebEngineFeed::publish);
    connect(&engine_, &MeasurementEngine::alarmChanged, this, &WebEngineFeed::publish);
    connect(&engine_, &MeasurementEngine::alarmFired, this, &WebEngineFeed::publish);
    connect(&engine_, &MeasurementEngine::runningTimeChanged, this, &WebEngineFeed::refresh);
    reloadRows();
}

void WebEngineFeed::setDevice(const QString& device) {
    device_ = device;
    publish();
}

void WebEngineFeed::setTimerAlarm(TimerAlarmCountdown* timer) {
    timer_ = timer;
    if (!timer)
        return;
    connect(timer, &TimerAlarmCountdown::countdownTextChanged, this, &WebEngineFeed::refresh);
    connect(timer, &TimerAlarmCountdown::ringing, this, [this] {
        if (!timerRinging_)
            publish(); // the first ring only; it repeats every second
        timerRinging_ = true;
    });
    connect(timer, &TimerAlarmCountdown::stopped, this, [this] {
        timerRinging_ = false;
        publish();
    });
    publish();
}

void WebEngineFeed::reloadRows() {
    lastRowId_ = 0;
    hub_.resetRows(engine_.table().rowsSince(lastRowId_));
    publish();
}

void WebEngineFeed::sampleStored(const SampleReport& report) {
    // Waking the event streams sets up to 32 threads running on the engine's cores: after the
    // sampling tick, never inside it.
    rowsStored_ = rowsStored_ || report.stored;
    if (handOverQueued_)
        return;
    handOverQueued_ = true;
    QMetaObject::invokeMethod(this, &WebEngineFeed::handOverSamples, Qt::QueuedConnection);
}

void WebEngineFeed::handOverSamples() {
    handOverQueued_ = false;
    if (rowsStored_)
        hub_.appendRows(engine_.table().rowsSince(lastRowId_));
    rowsStored_ = false;
    refresh();
}

WebStatus WebEngineFeed::currentStatus() const {
    WebStatus status;
    status.state = engine_.statusText();
    if (status.state.isEmpty())
        status.state = engine_.runState() == MeasurementEngine::RunState::Ready
                           ? QStringLiteral("ready")
                           : QStringLiteral("not connected");
    status.title = engine_.title();
    status.device = device_;
    status.formulaName = engine_.formula().enabled ? engine_.formula().name : QString();
    const QDateTime started = engine_.startTime();
    if (started.isValid()) {
        status.startDate = started.date().toString(Qt::ISODate);
        status.startTime = started.time().toString(QStringLiteral("HH:mm:ss"));
    }
    status.samples = engine_.sampleNumber();
    if (status.samples > 0 && !engine_.deviceError()) {
        status.od = engine_.od();
        status.calcOd = engine_.calcOd();
    }
    status.elapsedMilliseconds = engine_.elapsedMilliseconds();
    const ODAlarm& alarm = engine_.alarm();
    status.alarm.odOn = alarm.isOn();
    status.alarm.odAbove = alarm.direction == ODAlarm::Above;
    status.alarm.odThreshold = ODAlarm::filledThresholdText(alarm.thresholdText);
    status.alarm.odRinging = alarm.fired;
    if (timer_) {
        status.alarm.timerOn = timer_->isOn();
        status.alarm.timerRinging = timer_->isRinging();
        status.alarm.timerText = timer_->countdownText();
    }
    return status;
}

void WebEngineFeed::publish() {
    hub_.publishStatus(currentStatus());
}

void WebEngineFeed::refresh() {
    hub_.setStatus(currentStatus());
}
