// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "WebEventHub.h"
#include "workstation/MeasurementEngine.h"

#include <QObject>
#include <QPointer>

class TimerAlarmCountdown;

// Passes what the engine shows to the status server's hub, on the engine's thread: rows as
// they are stored, notes, the run state, the title, the formula and the alarms. It reads only
// the rows appended since the last sample and never waits for a client. Samples are handed
// over once the sampling tick is done, from the thread's event loop.
class WebEngineFeed : public QObject {
    Q_OBJECT
public:
    WebEngineFeed(MeasurementEngine& engine, WebEventHub& hub, QObject* parent = nullptr);

    // The device's connection type, as the page names it.
    void setDevice(const QString& device);
    // The main window's timer alarm, when there is one.
    void setTimerAlarm(TimerAlarmCountdown* timer);
    // The working table read anew (a new run, or the feed began mid-run).
    void reloadRows();

private:
    void sampleStored(const SampleReport& report);
    void handOverSamples();
    WebStatus currentStatus() const;
    void publish();
    void refresh();

    MeasurementEngine& engine_;
    WebEventHub& hub_;
    QPointer<TimerAlarmCountdown> timer_;
    QString device_;
    sqlite3_int64 lastRowId_ = 0;
    bool timerRinging_ = false;
    bool handOverQueued_ = false;
    bool rowsStored_ = false;
};
