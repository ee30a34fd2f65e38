// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "workstation/RecordTable.h"

#include <QString>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// The alarms as the status page shows them.
struct WebAlarmState {
    bool odOn = false;
    bool odAbove = true;
    QString odThreshold;
    bool odRinging = false;
    bool timerOn = false;
    bool timerRinging = false;
    QString timerText; // what is left, "1:29:59", or empty
};

// The run as the status page shows it: what the main window's header shows.
struct WebStatus {
    QString state; // "running", "paused", "stopped", "ready" or "not connected"
    QString title;
    QString device;
    QString formulaName;
    QString startDate; // empty before the first start
    QString startTime;
    int samples = 0;
    std::optional<double> od; // nothing before the first sample or after a device error
    std::optional<double> calcOd;
    std::int64_t elapsedMilliseconds = 0;
    WebAlarmState alarm;
};

// One server-sent event: its id, its name and its data (one line of JSON).
struct WebEvent {
    std::uint64_t id = 0;
    std::string name;
    std::string data;
};

// What the engine's thread hands to the status server's threads. The engine side only takes
// the lock to copy a row or a status in and to wake one relay thread; it never waits for a
// client. The relay wakes the waiting event streams: waking 32 of them costs the waker half
// a millisecond, which must not fall on a sampling tick. The server side copies out what it
// serves.
class WebEventHub {
public:
    // Events older than the last keptEvents are dropped; a stream that fell that far behind
    // is told to load everything again (a "reset" event).
    explicit WebEventHub(std::size_t keptEvents = 4096);
    ~WebEventHub();
    WebEventHub(const WebEventHub&) = delete;
    WebEventHub& operator=(const WebEventHub&) = delete;

    // The status without an event (the running time, the countdown of the timer alarm).
    void setStatus(const WebStatus& status);
    // The status with a "state" event: the run state, the title, the formula or an alarm
    // changed.
    void publishStatus(const WebStatus& status);
    // A new run, or a table read anew: the rows replace the ones held, with a "reset" event.
    void resetRows(std::vector<RecordRow> rows);
    // Rows just stored, one "sample" event each.
    void appendRows(const std::vector<RecordRow>& rows);
    // A note went to the row with the Number given: a "note" event.
    void setNote(double rowNumber, const QString& note);

    WebStatus status() const;
    std::vector<RecordRow> rows() const;
    // The rows whose Number is at least the one given.
    std::vector<RecordRow> rowsFrom(int number) const;
    // Grows with every change of the rows, for those who keep something computed from them.
    std::uint64_t rowsRevision() const;
    std::uint64_t lastEventId() const;

    // The events after the id given, waiting at most the time for one to come. A stream whose
    // next event was already dropped gets a "reset" event instead. Empty after the time or
    // when wakeWaiters() ended the wait.
    std::vector<WebEvent> eventsAfter(std::uint64_t id, std::chrono::milliseconds wait) const;

    // Ends every wait in progress at once (the server stops).
    void wakeWaiters();

private:
    void addEvent(std::string name, std::string data); // with the lock held
    void wakeStreams(); // after addEvent, with the lock released: the relay's turn
    void relayWakeUps();

    const std::size_t keptEvents_;
    mutable std::mutex mutex_;
    mutable std::condition_variable eventCame_;
    WebStatus status_;
    std::vector<RecordRow> rows_;
    std::uint64_t rowsRevision_ = 0;
    std::deque<WebEvent> events_;
    std::uint64_t nextEventId_ = 1;
    std::uint64_t wakeGeneration_ = 0;
    std::condition_variable relayCall_;
    bool relayCalled_ = false;
    bool relayEnds_ = false;
    std::thread relay_; // last: it starts once everything above is ready
};
