// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BrokerPublisher.h"
#include "workstation/MeasurementEngine.h"

#include <QObject>
#include <QTimer>

class TimerAlarmCountdown;

// What a measurement publishes: every stored row on "sample", a sample the table did not store
// on "error", the run's state (retained), notes and alarm events. Bound to the engine's
// signals; the sampling tick only hands its message to the publisher, which writes it after
// the tick. Made before a measurement starts, it first queues the rows of the last run that a
// killed program stored but never queued.
class EnginePublishing : public QObject {
    Q_OBJECT
public:
    EnginePublishing(MeasurementEngine& engine, BrokerPublisher& publisher, QString device,
                     QObject* parent = nullptr);

    // The window's timer alarm: its ringing and its stop are published too.
    void watchTimer(TimerAlarmCountdown& countdown);

    const QString& run() const { return run_; }
    // The connection type the window's device list now names.
    void setDevice(const QString& device) { device_ = device; }

private:
    void queueUnqueuedRows();
    void publishSample(const SampleReport& report);
    void publishState();
    void publishAlarmChange();
    void publishAlarm(const QString& kind, const QString& event);
    QDateTime now() const;

    MeasurementEngine& engine_;
    BrokerPublisher& publisher_;
    QString device_;
    QString host_;
    QString run_;
    QTimer titleSettled_; // a title being typed is published once it rests
    bool alarmOn_ = false;
    bool alarmFired_ = false;
    bool timerRinging_ = false;
};
